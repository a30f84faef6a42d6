// The token is only ever sent to a verified server and never written to a log.
#include "plugin/ConfigTokenStore.h"
#include "rtm/BrowserLauncher.h"
#include "tests/support/EmulatorFixture.h"
#include "tests/support/TestCertificate.h"

#include <httplib.h>

namespace {
class TlsTest : public EmulatorTest {
  protected:
    rtmemu::EmulatorOptions Options() override {
        rtmemu::EmulatorOptions options;
        const std::string dir(tempDir.utf8_str());
        EXPECT_TRUE(WriteSelfSignedCertificate(dir, options.certificateFile, options.privateKeyFile));
        return options;
    }
};

TEST_F(TlsTest, SelfSignedServerNeverSeesTheToken) {
    ASSERT_EQ(emulator->BaseUrl().rfind("https://", 0), 0u);
    // The emulator does answer over TLS to a client that skips verification...
    httplib::SSLClient probe("127.0.0.1", emulator->Port());
    probe.enable_server_certificate_verification(false);
    auto answer = probe.Get("/services/rest/?method=rtm.test.echo");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    emulator->ClearRequests();

    // ...but the plug-in refuses the unverified peer before sending anything.
    RTMParams params = EchoParams();
    params[wxT("auth_token")] = wxT("0123456789abcdef0123456789abcdef01234567");
    auto connection = Connection();
    wxString reply;
    EXPECT_EQ(connection->CallMethod(params, reply), RTM_NO_CONNECTION);
    EXPECT_EQ(connection->LastOutcome(), CallOutcome::NOT_SENT);
    EXPECT_TRUE(emulator->Requests().empty());
    ASSERT_EQ(host().messages.size(), 1u);
    const wxString report = WithoutTime(host().messages[0].text);
    EXPECT_TRUE(report.StartsWith(wxT("Remember The Milk Error (Work)!\nServer returned result: (60) 0 ")))
        << report;
    EXPECT_EQ(connection->ParseReply(RTM_OK, wxT("rtm.test.echo"), reply), nullptr);
}

class TokenLogTest : public EmulatorTest {};

TEST_F(TokenLogTest, TokenAppearsInNoLogLineAtTheHighestLevel) {
    host().logLevel = 31;
    SetLauncher([this](const wxString& url) { return emulator->ApprovePage(std::string(url.utf8_str())); });
    ConfigTokenStore store(Handler().GetConfig(), Handler().GetSection());
    ASSERT_TRUE(Connection()->Authorise(store));  // getFrob, getToken (the reply carries the token)
    const wxString token = Stored(wxT("AuthToken"));
    ASSERT_EQ(token.length(), 40u);
    ASSERT_TRUE(Connection()->Authorise(store));  // checkToken: the token in the query and the reply
    RTMParams params = EchoParams();              // a call on the user's behalf; the echo returns it
    params[wxT("auth_token")] = token;
    auto connection = Connection();
    wxString reply;
    ASSERT_EQ(connection->CallMethod(params, reply), RTM_OK);
    ASSERT_TRUE(reply.Contains(token));

    ASSERT_GT(host().CountLogs(wxT("CURLINFO_HEADER_OUT")), 0u);
    for (const FakeLogLine& line : host().logs) {
        EXPECT_FALSE(line.raw.Contains(token)) << line.raw;
    }
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("auth_token=<REMOVED FROM LOG>&method=rtm.auth.checkToken")));
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("<token><REMOVED FROM LOG></token>")));
    EXPECT_TRUE(host().HasLog(LOG_TRACE, wxT("CURLINFO_HEADER_OUT: GET /services/rest/?api_key=")));
    for (const FakeMessage& message : host().messages)
        EXPECT_FALSE(message.text.Contains(token));
}
}  // namespace
