// Signing and encoding of awkward values: the emulator checks every signature and echoes the
// values as it decoded them.
#include "rtm/ServiceAddress.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/utils.h>

namespace {
class SigningTest : public EmulatorTest {};

TEST_F(SigningTest, AwkwardValuesArriveIntactAndSigned) {
    const std::map<wxString, wxString> values = {
        {wxT("phrase"), wxT("word & word")},
        {wxT("marks"), wxT("a-b~c.d_e")},
        {wxT("umlaut"), wxString::FromUTF8("\xC3\xA4")},
        {wxT("symbols"), wxT("100% = 50%+50%? #1 /x\\ \"q\" 'a' <b>")},
        {wxT("emoji"), wxString::FromUTF8("\xF0\x9F\x8D\xBC milk")},
        {wxT("empty"), wxString()},
        {wxT("Zeta"), wxT("upper-case names sort first")},
        {wxT("_under"), wxT("then the underscore")},
    };
    RTMParams params = EchoParams();
    for (const auto& value : values)
        params[value.first] = value.second;
    auto connection = Connection();
    wxString reply;
    const uint32_t status = connection->CallMethod(params, reply);
    ASSERT_EQ(status, RTM_OK);
    ASSERT_NE(connection->ParseReply(status, wxT("rtm.test.echo"), reply), nullptr);
    EXPECT_TRUE(host().messages.empty());

    const auto requests = emulator->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].signatureChecked);
    EXPECT_TRUE(requests[0].signatureValid);
    for (const auto& value : values) {
        const std::string name(value.first.utf8_str());
        ASSERT_EQ(requests[0].params.count(name), 1u) << name;
        EXPECT_EQ(wxString::FromUTF8(requests[0].params.find(name)->second.c_str()), value.second) << name;
    }
    const std::string& target = requests[0].target;
    EXPECT_NE(target.find("phrase=word%20%26%20word&"), std::string::npos) << target;
    EXPECT_NE(target.find("marks=a%2Db%7Ec.d_e&"), std::string::npos) << target;
    EXPECT_NE(target.find("umlaut=%C3%A4&"), std::string::npos) << target;
    EXPECT_NE(target.find("emoji=%F0%9F%8D%BC%20milk&"), std::string::npos) << target;
    EXPECT_NE(target.find("empty=&"), std::string::npos) << target;
    // Names in code-value order ("Z" < "_" < "a"), api_sig last.
    EXPECT_EQ(target.rfind("/services/rest/?Zeta=", 0), 0u) << target;
    EXPECT_LT(target.find("_under="), target.find("api_key="));
    EXPECT_NE(target.find("&api_sig="), std::string::npos);
    EXPECT_EQ(target.find("&api_sig="), target.rfind("&"));
}

TEST_F(SigningTest, TamperedSignatureIsRejectedByTheService) {
    // The emulator keeps the client honest: a request signed with another secret fails with 96.
    rtmemu::EmulatorOptions options;
    options.sharedSecret = "another secret";
    rtmemu::Emulator strict(options);
    ASSERT_TRUE(strict.Start());
    UseAddress(wxString::FromUTF8(strict.BaseUrl().c_str()));
    auto connection = Connection();
    wxString reply;
    EXPECT_EQ(
        connection->ParseReply(connection->CallMethod(EchoParams(), reply), wxT("rtm.test.echo"), reply),
        nullptr);
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_TRUE(host().messages[0].text.EndsWith(wxT("Call \"rtm.test.echo\" failed:\nInvalid signature")));
    strict.Stop();
}
}  // namespace
