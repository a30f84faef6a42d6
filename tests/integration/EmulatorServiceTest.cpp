// The emulator answers as the service does: envelopes, error codes and the checks before a method.
#include "emulator/Emulator.h"
#include "emulator/Signature.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace {
class EmulatorServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(emulator.Start()); }
    void TearDown() override { emulator.Stop(); }

    // A GET of the REST endpoint with these parameters, signed unless told otherwise.
    std::string Rest(std::multimap<std::string, std::string> params, bool sign = true) {
        if (sign)
            params.emplace("api_sig", rtmemu::ComputeSignature(rtmemu::DEFAULT_SHARED_SECRET, params));
        httplib::Params query(params.begin(), params.end());
        httplib::Client client(emulator.BaseUrl());
        auto result = client.Get("/services/rest/", query, httplib::Headers());
        if (!result)
            return "no answer";
        EXPECT_EQ(result->status, 200);
        EXPECT_EQ(result->get_header_value("Content-Type"), "text/xml; charset=\"utf-8\"");
        return result->body;
    }
    static std::string Fail(int code, const std::string& msg) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rsp stat=\"fail\"><err code=\"" +
               std::to_string(code) + "\" msg=\"" + msg + "\"/></rsp>";
    }
    std::multimap<std::string, std::string> Call(const std::string& method) {
        return {{"api_key", rtmemu::DEFAULT_API_KEY}, {"method", method}};
    }

    rtmemu::Emulator emulator;
};

TEST_F(EmulatorServiceTest, ChecksComeInTheServicesOrder) {
    EXPECT_EQ(Rest(Call("rtm.test.ech")), Fail(112, "Method &quot;rtm.test.ech&quot; not found"));
    auto badKey = Call("rtm.auth.getFrob");
    badKey.find("api_key")->second = "nope";
    EXPECT_EQ(Rest(badKey), Fail(100, "Invalid API Key"));
    EXPECT_EQ(Rest(Call("rtm.auth.getFrob"), false), Fail(97, "Missing signature"));
    auto forged = Call("rtm.auth.getFrob");
    forged.emplace("api_sig", "0123");
    EXPECT_EQ(Rest(forged, false), Fail(96, "Invalid signature"));
    auto json = Call("rtm.auth.getFrob");
    json.emplace("format", "json");
    EXPECT_EQ(Rest(json), Fail(111, "Format &quot;json&quot; not found"));
}

TEST_F(EmulatorServiceTest, FrobAndTokenExchange) {
    const std::string frobReply = Rest(Call("rtm.auth.getFrob"));
    const size_t start = frobReply.find("<frob>") + 6;
    const std::string frob = frobReply.substr(start, frobReply.find("</frob>") - start);
    ASSERT_EQ(frob.size(), 40u);

    auto getToken = Call("rtm.auth.getToken");
    getToken.emplace("frob", frob);
    EXPECT_EQ(Rest(getToken), Fail(101, "Invalid frob - did you authenticate?"));
    ASSERT_TRUE(emulator.State().ApproveFrob(frob, rtmemu::Perms::Delete));
    const std::string tokenReply = Rest(getToken);
    const std::string token = emulator.State().Tokens().at(0);
    EXPECT_EQ(tokenReply, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rsp stat=\"ok\"><auth><token>" + token +
                              "</token><perms>delete</perms><user fullname=\"Demo User\" id=\"5001\" "
                              "username=\"demo\"/></auth></rsp>");
    EXPECT_EQ(Rest(getToken), tokenReply);  // the same token again for the same frob

    auto check = Call("rtm.auth.checkToken");
    check.emplace("auth_token", token);
    EXPECT_EQ(Rest(check), tokenReply);
    EXPECT_EQ(emulator.State().Revoke(token), 1u);
    EXPECT_EQ(Rest(check), Fail(98, "Login failed / Invalid auth token"));
    EXPECT_EQ(Rest(getToken), Fail(101, "Invalid frob - did you authenticate?"));
}

TEST_F(EmulatorServiceTest, EchoAcceptsFormBodiesAndNeedsNoSignature) {
    httplib::Client client(emulator.BaseUrl());
    auto result =
        client.Post("/services/rest/",
                    "method=rtm.test.echo&api_key=" + std::string(rtmemu::DEFAULT_API_KEY) + "&name=a%26b",
                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_NE(result->body.find("<name>a&amp;b</name>"), std::string::npos) << result->body;
    const auto requests = emulator.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "rtm.test.echo");
    EXPECT_FALSE(requests[0].signatureChecked);
    EXPECT_EQ(requests[0].params.count("name"), 1u);
}

TEST_F(EmulatorServiceTest, RevokeAndRequestListForPeopleAtATerminal) {
    const std::string frob = emulator.State().NewFrob(rtmemu::DEFAULT_API_KEY);
    emulator.State().ApproveFrob(frob, rtmemu::Perms::Read);
    const std::string token = emulator.State().ExchangeFrob(frob)->token;
    auto check = Call("rtm.auth.checkToken");
    check.emplace("auth_token", token);
    Rest(check);
    httplib::Client client(emulator.BaseUrl());
    auto list = client.Get("/emulator/requests");
    ASSERT_TRUE(list);
    EXPECT_NE(list->body.find("rtm.auth.checkToken"), std::string::npos);
    EXPECT_EQ(list->body.find(token), std::string::npos);
    auto revoked = client.Post("/emulator/revoke", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(revoked);
    EXPECT_EQ(revoked->body, "revoked 1\n");
    EXPECT_TRUE(emulator.State().Tokens().empty());
}

TEST_F(EmulatorServiceTest, RefusingAndListeningAgainOnTheSamePort) {
    const int port = emulator.Port();
    ASSERT_TRUE(emulator.SetRefusing(true));
    httplib::Client client(emulator.BaseUrl());
    EXPECT_FALSE(client.Get("/emulator/requests"));
    ASSERT_TRUE(emulator.SetRefusing(false));
    EXPECT_EQ(emulator.Port(), port);
    EXPECT_TRUE(client.Get("/emulator/requests"));
}
}  // namespace
