// The method call against the emulator: every failure is reported once, with the right text and
// the right status, by the layer that detects it.
#include "rtm/ServiceAddress.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/utils.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {
const wxString ECHO = wxT("rtm.test.echo");
const wxString CONNECT_TEXT = wxT(
    "Unable to connect to the server. Make sure that your network is working and that your firewall is not "
    "blocking the connection");

class MethodCallTest : public EmulatorTest {
  protected:
    // One call of the echo method; the status, and the reply in `reply`.
    uint32_t Call(CRTMConnection& connection) { return connection.CallMethod(EchoParams(), reply); }

    std::vector<wxString> Reports() {
        std::vector<wxString> texts;
        for (const FakeMessage& message : host().messages)
            texts.push_back(WithoutTime(message.text));
        return texts;
    }

    wxString reply;
};

TEST_F(MethodCallTest, SuccessGivesThePayloadNodeAndTheTraceNeedsTheDebugBit) {
    host().logLevel = 1 | 2 | 4 | 8;
    auto connection = Connection();
    uint32_t status = Call(*connection);
    ASSERT_EQ(status, RTM_OK);
    wxXmlNode* node = connection->ParseReply(status, ECHO, reply);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetName(), wxT("api_key"));
    EXPECT_TRUE(host().messages.empty());
    EXPECT_TRUE(
        host().HasLog(LOG_INFO, wxT("Work: Url: ") + Services().address.RestEndpoint() + wxT("?api_key=")));
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("Work: Result: (0) 200 OK.")));
    EXPECT_EQ(host().CountLogs(wxT("CURLINFO_")) + host().CountLogs(wxT("Curl error: ")), 0u);

    host().logLevel = 31;
    EXPECT_EQ(Call(*connection), RTM_OK);
    EXPECT_TRUE(host().HasLog(LOG_TRACE, wxT("Work: CURLINFO_HEADER_OUT: GET /services/rest/?api_key=")));
    EXPECT_TRUE(host().HasLog(LOG_TRACE, wxT("Work: CURLINFO_HEADER_IN: HTTP/1.1 200 OK")));
}

TEST_F(MethodCallTest, UnavailablePageIsReportedOnceWithStatusSeven) {
    emulator->InjectFault(rtmemu::Fault::Of(rtmemu::Fault::UnavailablePage));
    auto connection = Connection();
    const uint32_t status = Call(*connection);
    EXPECT_EQ(status, RTM_UNAVAILABLE);
    EXPECT_EQ(connection->ParseReply(status, ECHO, reply), nullptr);
    EXPECT_EQ(connection->LastWorkResult(), RTM_RETRY_LATER);
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(Reports()[0], wxT("Remember The Milk Error (Work)!\nThe service is temporarily unavailable."));
    EXPECT_EQ(host().messages[0].style, MSG_STYLE_ERROR);
    EXPECT_TRUE(host().messages[0].returnAtOnce);
    EXPECT_TRUE(host().messages[0].text.StartsWith(wxT("[")));
}

TEST_F(MethodCallTest, UnreachableServiceIsNoConnectionReportedOnce) {
    const std::pair<wxString, wxString> cases[] = {
        {wxString::Format(wxT("http://127.0.0.1:%d"), ClosedPort()),
         wxT("Server returned result: (7) 0 ") + CONNECT_TEXT + wxT(".")},
        {wxT("http://host.invalid"), wxT("Server returned result: (6) 0 Unable to resolve the host.")}};
    for (const auto& c : cases) {
        host().messages.clear();
        UseAddress(c.first);
        auto connection = Connection();
        const uint32_t status = Call(*connection);
        EXPECT_EQ(status, RTM_NO_CONNECTION);
        EXPECT_EQ(connection->LastOutcome(), CallOutcome::NOT_SENT);
        EXPECT_EQ(connection->ParseReply(status, ECHO, reply), nullptr);
        ASSERT_EQ(host().messages.size(), 1u);
        EXPECT_TRUE(Reports()[0].StartsWith(wxT("Remember The Milk Error (Work)!\n") + c.second))
            << Reports()[0];
    }
}

TEST_F(MethodCallTest, ServerErrorPagesAreReportedWithTheirStatus) {
    struct Case {
        int status;
        std::string body;
        wxString expected;
        uint32_t work;  // what the failure means for the queued change
    };
    const Case cases[] = {
        {503, "",
         wxT("The service is temporarily unavailable.\nServer returned result: (0) 503 Service "
             "Unavailable."),
         RTM_RETRY_LATER},
        // A page that is XML but no envelope is still the one failure already reported.
        {503, "<html><body>Service unavailable</body></html>",
         wxT("The service is temporarily unavailable.\nServer returned result: (0) 503 Service "
             "Unavailable."),
         RTM_RETRY_LATER},
        {500, "Internal failure", wxT("Server returned result: (0) 500 Internal Server Error."),
         RTM_RETRY_LATER},
        {404, "Not here", wxT("Server returned result: (0) 404 Not Found."), RTM_FAILED},
        {418, "teapot", wxT("Server returned result: (0) 418 Unknown error."), RTM_FAILED},
    };
    for (const Case& c : cases) {
        host().messages.clear();
        emulator->InjectFault(rtmemu::Fault::Status(c.status, c.body));
        auto connection = Connection();
        EXPECT_EQ(Call(*connection), RTM_OK) << c.status;
        ASSERT_EQ(host().messages.size(), 1u) << c.status;
        EXPECT_EQ(Reports()[0], wxT("Remember The Milk Error (Work)!\n") + c.expected);
        EXPECT_EQ(connection->ParseReply(RTM_OK, ECHO, reply), nullptr);
        EXPECT_EQ(host().messages.size(), 1u) << c.status;
        EXPECT_EQ(connection->LastWorkResult(), c.work) << c.status;
    }
}

TEST_F(MethodCallTest, EnvelopeChecks) {
    auto connection = Connection();
    // Not an "rsp" envelope.
    emulator->InjectFault(rtmemu::Fault::Status(200, "<html><body>Hello</body></html>"));
    EXPECT_EQ(connection->ParseReply(Call(*connection), ECHO, reply), nullptr);
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(Reports()[0],
              wxT("Remember The Milk Error (Work)!\nUnknown response for call \"rtm.test.echo\"."));

    // A failure envelope with the service's message, injected or the service's own.
    host().messages.clear();
    emulator->InjectFault(rtmemu::Fault::Envelope(105));
    EXPECT_EQ(connection->ParseReply(Call(*connection), ECHO, reply), nullptr);
    EXPECT_EQ(connection->LastOutcome(), CallOutcome::REFUSED);
    RTMParams params = EchoParams();
    params[wxT("api_key")] = wxT("0000");
    EXPECT_EQ(connection->ParseReply(connection->CallMethod(params, reply), ECHO, reply), nullptr);
    ASSERT_EQ(host().messages.size(), 2u);
    EXPECT_EQ(Reports()[0], wxT("Remember The Milk Error (Work)!\nCall \"rtm.test.echo\" failed:\nService "
                                "currently unavailable"));
    EXPECT_EQ(Reports()[1],
              wxT("Remember The Milk Error (Work)!\nCall \"rtm.test.echo\" failed:\nInvalid API Key"));

    // "fail" without an err element, a body that is not XML, a truncated one, an empty one: null, no report.
    host().messages.clear();
    emulator->InjectFault(rtmemu::Fault::Status(200, "<rsp stat=\"fail\"></rsp>"));
    emulator->InjectFault(rtmemu::Fault::Of(rtmemu::Fault::NonXmlBody));
    emulator->InjectFault(rtmemu::Fault::Of(rtmemu::Fault::TruncatedBody));
    emulator->InjectFault(rtmemu::Fault::Of(rtmemu::Fault::EmptyBody));
    for (int i = 0; i < 4; ++i) {
        const uint32_t status = Call(*connection);
        EXPECT_EQ(status, RTM_OK);
        EXPECT_EQ(connection->ParseReply(status, ECHO, reply), nullptr) << i;
    }
    EXPECT_TRUE(reply.empty());
    EXPECT_TRUE(host().messages.empty());

    // Any stat but "fail" (or none) gives the payload.
    emulator->InjectFault(rtmemu::Fault::Status(200, "<rsp stat=\"odd\"><frob>abc</frob></rsp>"));
    emulator->InjectFault(rtmemu::Fault::Status(200, "<rsp><frob>def</frob></rsp>"));
    for (const wxChar* frob : {wxT("abc"), wxT("def")}) {
        wxXmlNode* node = connection->ParseReply(Call(*connection), ECHO, reply);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetNodeContent(), frob);
    }
    EXPECT_TRUE(host().messages.empty());
}

TEST_F(MethodCallTest, SuppressedErrorsGoToTheLog) {
    Handler().Settings().suppressErrors = true;
    emulator->InjectFault(rtmemu::Fault::Status(404, "100% gone"));
    auto connection = Connection();
    EXPECT_EQ(Call(*connection), RTM_OK);
    EXPECT_TRUE(host().messages.empty());
    EXPECT_TRUE(host().HasLog(
        LOG_ERROR, wxT("Remember The Milk Error (Work)!\nServer returned result: (0) 404 Not Found.")));
    // The reply itself is logged with its "%" doubled for the host's formatting.
    bool found = false;
    for (const FakeLogLine& line : host().logs)
        found = found || (line.level == LOG_DEBUG && line.raw == wxT("100%% gone"));
    EXPECT_TRUE(found);
}

TEST_F(MethodCallTest, StalledServiceEndsAtTheLowSpeedLimit) {
    emulator->InjectFault(rtmemu::Fault::StallFor(10000));
    auto connection = Connection();
    TransferLimits limits;
    limits.lowSpeedSeconds = 1;
    connection->SetTransferLimits(limits);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Call(*connection), RTM_NO_CONNECTION);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The request went out: the service may have acted, so the call is not simply repeated.
    EXPECT_EQ(connection->LastOutcome(), CallOutcome::UNANSWERED);
    EXPECT_EQ(connection->LastWorkResult(), RTM_RETRY_LATER);
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(
        Reports()[0],
        wxT("Remember The Milk Error (Work)!\nServer returned result: (28) 0 The timeout time was reached."));
}

TEST_F(MethodCallTest, AbortCheckEndsTheTransferWithoutAReport) {
    emulator->InjectFault(rtmemu::Fault::StallFor(10000));
    auto connection = Connection();
    const auto start = std::chrono::steady_clock::now();
    connection->SetAbortCheck(
        [start] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200); });
    EXPECT_EQ(Call(*connection), RTM_NO_CONNECTION);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("Work: Result: (42) 0 Aborted by callback.")));
    EXPECT_TRUE(host().messages.empty());
    // With the predicate false, calls go through as before.
    connection->SetAbortCheck([] { return false; });
    EXPECT_EQ(Call(*connection), RTM_OK);
    EXPECT_TRUE(reply.Contains(wxT("<rsp stat=\"ok\">")));
}

TEST_F(MethodCallTest, ConnectionMayOutliveItsHandler) {
    auto handler = std::make_unique<CRTMHandler>(&Config(), wxT("Other"), RTM_PLUGIN_NAME);
    auto connection =
        std::make_unique<CRTMConnection>(&handler->GetLogger(), &handler->Settings(), false, Services());
    EXPECT_EQ(Call(*connection), RTM_OK);
    handler.reset();
    const size_t lines = host().logs.size();
    connection.reset();  // closing traces nothing through the handler that is gone
    EXPECT_EQ(host().logs.size(), lines);
}

}  // namespace

namespace {
// A server that keeps connections alive, answers every call with an envelope, and closes the
// connection without an answer when asked to add a task; it counts the adds that reached it.
class DroppingServer {
  public:
    DroppingServer() {
        m_Socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_Socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_Port = ntohs(address.sin_port);
        listen(m_Socket, 4);
        m_Thread = std::thread([this] { Serve(); });
    }
    // The client's connections must be closed first (destroy the connection before the server).
    ~DroppingServer() {
        m_Stop = true;
        shutdown(m_Socket, SHUT_RDWR);
        close(m_Socket);
        m_Thread.join();
    }
    int Port() const { return m_Port; }
    int adds() const { return m_Adds; }

  private:
    void Serve() {
        std::vector<std::thread> connections;
        for (int client; !m_Stop && (client = accept(m_Socket, nullptr, nullptr)) >= 0;)
            connections.emplace_back([this, client] { Answer(client); });
        for (std::thread& t : connections)
            t.join();
    }
    void Answer(int client) {
        std::string request;
        char buffer[4096];
        ssize_t n;
        while ((n = recv(client, buffer, sizeof buffer, 0)) > 0) {
            request.append(buffer, static_cast<size_t>(n));
            const size_t end = request.find("\r\n\r\n");
            if (end == std::string::npos)
                continue;
            if (request.find("method=rtm.tasks.add") < end) {
                ++m_Adds;
                break;  // carried out, but the answer is lost with the connection
            }
            const std::string body = "<rsp stat=\"ok\"><timeline>1</timeline></rsp>";
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                                       std::to_string(body.size()) + "\r\n\r\n" + body;
            send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
            request.erase(0, end + 4);
        }
        close(client);
    }
    int m_Socket = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::atomic<int> m_Adds{0};
    std::thread m_Thread;
};
}  // namespace

TEST_F(MethodCallTest, ACallThatChangesTheServiceIsNeverSentAgainByTheTransport) {
    DroppingServer server;
    UseAddress(wxString::Format(wxT("http://127.0.0.1:%d"), server.Port()));
    auto connection = Connection();
    RTMParams params = EchoParams();
    params[wxT("method")] = wxT("rtm.timelines.create");
    ASSERT_EQ(connection->CallMethod(params, reply), RTM_OK);  // leaves a connection to reuse
    params[wxT("method")] = wxT("rtm.tasks.add");
    connection->CallMethod(params, reply);
    EXPECT_EQ(server.adds(), 1);
    EXPECT_EQ(connection->LastOutcome(), CallOutcome::UNANSWERED);
    EXPECT_EQ(connection->LastWorkResult(), RTM_RETRY_LATER);
    connection.reset();
}
