// The proxy: its options reach the wire, and a proxy that cannot be reached is left for a direct
// connection when the user allows it.
#include "rtm/ServiceAddress.h"
#include "tests/support/EmulatorFixture.h"

#include <httplib.h>
#include <wx/utils.h>

#include <thread>

namespace {
class ProxyTest : public EmulatorTest {
  protected:
    void UseProxy(const wxString& server, bool fallBack) {
        host().network.proxyServer = server;
        host().network.fallBackToDirect = fallBack;
    }
    wxString RefusingProxy() { return wxString::Format(wxT("127.0.0.1:%d"), ClosedPort()); }
    wxString reply;
};

TEST_F(ProxyTest, FallsBackToDirectQuietlyAndStaysDirect) {
    UseProxy(RefusingProxy(), true);
    auto connection = Connection();
    EXPECT_EQ(connection->CallMethod(EchoParams(), reply), RTM_OK);
    EXPECT_TRUE(connection->BypassesProxy());
    EXPECT_TRUE(host().messages.empty());
    EXPECT_EQ(host().CountLogs(wxT("Work: Result: (7) 0")), 1u);
    EXPECT_EQ(emulator->CountCalls("rtm.test.echo"), 1u);

    // The next call goes direct at once, as does any call of a connection made to bypass it.
    EXPECT_EQ(connection->CallMethod(EchoParams(), reply), RTM_OK);
    EXPECT_EQ(Connection(true)->CallMethod(EchoParams(), reply), RTM_OK);
    EXPECT_EQ(host().CountLogs(wxT("Work: Result: (7) 0")), 1u);
    EXPECT_EQ(emulator->CountCalls("rtm.test.echo"), 3u);
}

TEST_F(ProxyTest, WithoutFallBackOrADirectRouteTheFailureIsReportedOnce) {
    for (const bool fallBack : {false, true}) {
        host().messages.clear();
        DropHandler();  // the handler takes the network parameters when it is made
        UseProxy(RefusingProxy(), fallBack);
        if (fallBack)
            UseAddress(wxString::Format(wxT("http://127.0.0.1:%d"), ClosedPort()));
        auto connection = Connection();
        EXPECT_EQ(connection->CallMethod(EchoParams(), reply), RTM_NO_CONNECTION);
        EXPECT_EQ(connection->BypassesProxy(), fallBack);
        ASSERT_EQ(host().messages.size(), 1u);
        EXPECT_TRUE(WithoutTime(host().messages[0].text)
                        .StartsWith(wxT("Remember The Milk Error (Work)!\nServer returned result: (7) 0 ")));
    }
    EXPECT_EQ(host().CountLogs(wxT("Work: Result: (7) 0")), 3u);  // once, then both routes
    EXPECT_EQ(emulator->Requests().size(), 0u);
}

// A proxy that answers every request itself and keeps what it was sent.
class RecordingProxy {
  public:
    RecordingProxy() {
        m_Server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            target = request.target;
            authorization = request.get_header_value("Proxy-Authorization");
            response.set_content("<rsp stat=\"ok\"><via>proxy</via></rsp>", "text/xml");
        });
        port = m_Server.bind_to_any_port("127.0.0.1");
        m_Thread = std::thread([this] { m_Server.listen_after_bind(); });
        while (!m_Server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~RecordingProxy() {
        m_Server.stop();
        m_Thread.join();
    }
    int port = 0;
    std::string target, authorization;

  private:
    httplib::Server m_Server;
    std::thread m_Thread;
    std::mutex m_Mutex;
};

TEST_F(ProxyTest, HttpProxyGetsTheRequestAndBasicCredentials) {
    RecordingProxy proxy;
    UseProxy(wxString::Format(wxT("127.0.0.1:%d"), proxy.port), true);
    host().network.proxyType = 3;  // anything but 1 and 2 is an HTTP proxy
    host().network.proxyUser = wxT("ann");
    host().network.proxyPassword = wxT("s3cret");
    auto connection = Connection();
    EXPECT_EQ(connection->CallMethod(EchoParams(), reply), RTM_OK);
    EXPECT_TRUE(reply.Contains(wxT("<via>proxy</via>")));
    EXPECT_EQ(proxy.target.rfind(emulator->BaseUrl() + "/services/rest/?api_key=", 0), 0u) << proxy.target;
    EXPECT_EQ(proxy.authorization, "Basic YW5uOnMzY3JldA==");  // ann:s3cret
    EXPECT_FALSE(connection->BypassesProxy());
    host().network.proxyUser = wxString();
    DropHandler();
    EXPECT_EQ(Connection()->CallMethod(EchoParams(), reply), RTM_OK);
    EXPECT_TRUE(proxy.authorization.empty()) << "no user, no credentials";
}

TEST_F(ProxyTest, RunAuthorisationDecodesTheHandlersProxyPassword) {
    RecordingProxy proxy;
    UseProxy(wxString::Format(wxT("127.0.0.1:%d"), proxy.port), false);
    host().network.proxyUser = wxT("ann");
    host().network.proxyPassword = wxT("terces3");  // the fake host decodes by reversing
    Store(wxT("AuthToken"), wxT("abc"));
    Handler().RunAuthorisation(nullptr);
    EXPECT_EQ(proxy.authorization, "Basic YW5uOjNzZWNyZXQ=");  // ann:3secret
    EXPECT_EQ(Handler().Settings().network.proxyPassword,
              wxT("terces3"));  // the handler's own stays as given
}
}  // namespace
