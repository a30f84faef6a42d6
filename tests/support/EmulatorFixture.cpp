#include "tests/support/EmulatorFixture.h"

#include <wx/memconf.h>
#include <wx/utils.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

void EmulatorTest::SetUp() {
    FakeHostTest::SetUp();
    emulator = std::make_unique<rtmemu::Emulator>(Options());
    std::string error;
    ASSERT_TRUE(emulator->Start(&error)) << error;
    // The emulator is not the real service: the suite may go without the one-second spacing.
    m_Address = ServiceAddress(wxString::FromUTF8(emulator->BaseUrl().c_str()));
    m_Launcher = [](const wxString&) { return false; };
}

void EmulatorTest::TearDown() {
    m_Handler.reset();
    m_Config.reset();
    if (emulator)
        emulator->Stop();
    emulator.reset();
    FakeHostTest::TearDown();
}

wxConfigBase& EmulatorTest::Config() {
    if (!m_Config)
        m_Config = std::make_unique<wxMemoryConfig>();
    return *m_Config;
}

CRTMHandler& EmulatorTest::Handler() {
    if (!m_Handler) {
        m_Handler = std::make_unique<CRTMHandler>(&Config(), wxT("Work"), RTM_PLUGIN_NAME);
        m_Handler->SetServiceContext(Services());
    }
    return *m_Handler;
}

void EmulatorTest::DropHandler() {
    m_Handler.reset();
}

std::unique_ptr<CRTMConnection> EmulatorTest::Connection(bool bypassProxy) {
    return std::make_unique<CRTMConnection>(&Handler().GetLogger(), &Handler().Settings(), bypassProxy,
                                            Services());
}

ServiceContext EmulatorTest::Services() {
    ServiceContext services;
    services.address = m_Address;
    services.spacing = &m_Spacing;
    services.launcher = m_Launcher;
    return services;
}

void EmulatorTest::UseAddress(const wxString& base) {
    m_Address = ServiceAddress(base);
    if (m_Handler)
        m_Handler->SetServiceContext(Services());
}

void EmulatorTest::SetLauncher(BrowserLauncher launcher) {
    m_Launcher = std::move(launcher);
    if (m_Handler)
        m_Handler->SetServiceContext(Services());
}

void EmulatorTest::Store(const wxString& key, const wxString& value) {
    Config().Write(wxString(wxT("/")) + RTM_PLUGIN_NAME + wxT("/") + key, value);
}

wxString EmulatorTest::Stored(const wxString& key) {
    return Config().Read(wxString(wxT("/")) + RTM_PLUGIN_NAME + wxT("/") + key, wxString());
}

std::string EmulatorTest::GrantedToken() {
    rtmemu::AccountState& state = emulator->State();
    const std::string frob = state.NewFrob(rtmemu::DEFAULT_API_KEY);
    state.ApproveFrob(frob, rtmemu::Perms::Delete);
    return state.ExchangeFrob(frob)->token;
}

std::vector<std::string> EmulatorTest::Methods() const {
    std::vector<std::string> methods;
    for (const auto& request : emulator->Requests())
        if (!request.method.empty())
            methods.push_back(request.method);
    return methods;
}

std::string EmulatorTest::Param(const std::string& method, const std::string& name) const {
    std::string value = "<absent>";
    for (const auto& request : emulator->Requests()) {
        const auto found = request.params.find(name);
        if (request.method == method)
            value = found == request.params.end() ? "<absent>" : found->second;
    }
    return value;
}

RTMParams EmulatorTest::EchoParams() {
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("method")] = wxT("rtm.test.echo");
    return params;
}

int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);  // bound but never listening: nothing accepts on it now
    return port;
}

wxString WithoutTime(const wxString& report) {
    if (!report.StartsWith(wxT("[")))
        return report;
    const size_t end = report.find(wxT("] "));
    return end == wxString::npos ? report : report.substr(end + 2);
}
