// `corvane-host authorise` as a person runs it, against an emulator that approves at once.
#include "emulator/Emulator.h"

#include <gtest/gtest.h>
#include <wx/ffile.h>
#include <wx/fileconf.h>
#include <wx/filename.h>

#include <sys/wait.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
struct RunResult {
    int status = -1;
    std::string output;  // standard output and error together
};

class AuthoriseCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvane-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dataDir = pattern;
        rtmemu::EmulatorOptions options;
        options.autoApprove = true;
        emulator = std::make_unique<rtmemu::Emulator>(options);
        ASSERT_TRUE(emulator->Start());
    }
    void TearDown() override {
        emulator->Stop();
        wxFileName::Rmdir(wxString::FromUTF8(dataDir.c_str()), wxPATH_RMDIR_RECURSIVE);
    }

    // Runs the host with no desktop session and no terminal on standard input.
    RunResult Host(const std::string& arguments, const std::string& service = std::string()) {
        const std::string command =
            "env -u DISPLAY -u WAYLAND_DISPLAY -u RTM_CALL_SPACING_MS " + std::string(CORVANE_BIN_DIR) +
            "/corvane-host --data '" + dataDir + "' --log-level 31 --service " +
            (service.empty() ? emulator->BaseUrl() : service) + " " + arguments + " </dev/null 2>&1";
        RunResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return result;
        char buffer[4096];
        size_t count;
        while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            result.output.append(buffer, count);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    wxString Stored(const wxString& key) {
        wxFileConfig config(wxT("Corvane"), wxEmptyString,
                            wxString::FromUTF8((dataDir + "/corvane.ini").c_str()), wxEmptyString,
                            wxCONFIG_USE_LOCAL_FILE);
        return config.Read(wxT("/Remember The Milk/") + key, wxString());
    }

    std::string LogFile() {
        wxFFile file(wxString::FromUTF8((dataDir + "/corvane.log").c_str()));
        wxString text;
        if (file.IsOpened())
            file.ReadAll(&text, wxConvUTF8);
        return std::string(text.utf8_str());
    }

    std::vector<std::string> Methods() {
        std::vector<std::string> methods;
        for (const auto& request : emulator->Requests()) {
            if (!request.method.empty())
                methods.push_back(request.method);
        }
        return methods;
    }

    std::string dataDir;
    std::unique_ptr<rtmemu::Emulator> emulator;
};

using Calls = std::vector<std::string>;

TEST_F(AuthoriseCommandTest, StoresChecksAndRenewsTheToken) {
    // First run: a new frob, the page address shown at the terminal, a token stored.
    RunResult first = Host("authorise Work");
    ASSERT_EQ(first.status, 0) << first.output;
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.getFrob", "rtm.auth.getToken"}));
    const auto tokens = emulator->State().Tokens();
    ASSERT_EQ(tokens.size(), 1u);
    const std::string token = tokens[0];
    EXPECT_EQ(std::string(Stored(wxT("AuthToken")).utf8_str()), token);
    EXPECT_EQ(Stored(wxT("AuthFrob")), wxString());
    EXPECT_NE(first.output.find("Please log in to Remember The Milk."), std::string::npos) << first.output;
    EXPECT_NE(
        first.output.find("Open this address in a web browser and allow access:\n  " + emulator->BaseUrl() +
                          "/services/auth/?api_key=" + rtmemu::DEFAULT_API_KEY + "&frob="),
        std::string::npos)
        << first.output;
    EXPECT_NE(first.output.find("Authorised: the token is stored in "), std::string::npos);
    // Nothing from GTK about the missing display.
    EXPECT_EQ(first.output.find("CRITICAL"), std::string::npos) << first.output;

    // Every request signed; the two calls a second apart, as for the real service.
    const auto requests = emulator->Requests();
    for (const auto& request : requests)
        EXPECT_TRUE(request.signatureValid) << request.target;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_GE(requests[1].time - requests[0].time, std::chrono::milliseconds(1000));

    // Second run: the stored token is checked, nothing else.
    emulator->ClearRequests();
    RunResult second = Host("authorise Work");
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.checkToken"}));
    EXPECT_EQ(std::string(Stored(wxT("AuthToken")).utf8_str()), token);

    // Revoked: a new frob and a new token in one run.
    emulator->State().Revoke();
    emulator->ClearRequests();
    RunResult third = Host("authorise Work");
    ASSERT_EQ(third.status, 0) << third.output;
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.checkToken", "rtm.auth.getFrob", "rtm.auth.getToken"}));
    const std::string renewed(Stored(wxT("AuthToken")).utf8_str());
    EXPECT_FALSE(renewed.empty());
    EXPECT_NE(renewed, token);

    // At log level 31 neither the terminal nor the log file shows a token.
    const std::string log = LogFile();
    EXPECT_NE(log.find("CURLINFO_HEADER_OUT"), std::string::npos);
    for (const std::string& secret : {token, renewed}) {
        EXPECT_EQ(log.find(secret), std::string::npos);
        EXPECT_EQ(first.output.find(secret), std::string::npos);
        EXPECT_EQ(second.output.find(secret), std::string::npos);
        EXPECT_EQ(third.output.find(secret), std::string::npos);
    }
}

TEST_F(AuthoriseCommandTest, UnreachableServiceFailsClearly) {
    emulator->SetRefusing(true);
    RunResult result = Host("authorise Work");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("Unable to connect to the server."), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("corvane-host: not authorised: no token was stored"), std::string::npos)
        << result.output;
    EXPECT_EQ(Stored(wxT("AuthToken")), wxString());
}

TEST_F(AuthoriseCommandTest, NeedsExactlyOneCalendar) {
    for (const char* arguments : {"authorise", "authorise A B", "authorise --what Work"}) {
        RunResult result = Host(arguments);
        EXPECT_EQ(result.status, 1) << arguments;
        EXPECT_NE(result.output.find("corvane-host: "), std::string::npos) << result.output;
    }
    EXPECT_TRUE(emulator->Requests().empty());
}
}  // namespace
