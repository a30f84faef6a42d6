// The token is only ever sent to a verified server (tests/data/tls holds a self-signed certificate
// for 127.0.0.1, made for this test alone).
#include "tests/support/EmulatorFixture.h"

#include <httplib.h>

namespace {
class TlsTest : public EmulatorTest {
  protected:
    rtmemu::EmulatorOptions Options() override {
        rtmemu::EmulatorOptions options;
        options.certificateFile = CORVANE_TEST_DATA_DIR "/tls/cert.pem";
        options.privateKeyFile = CORVANE_TEST_DATA_DIR "/tls/key.pem";
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
}
}  // namespace
