// `corvane-host authorise` as a person runs it, without a desktop session, against an emulator that
// approves at once.
#include "tests/support/HostFixture.h"

#include <wx/fileconf.h>

namespace {
class AuthoriseCommandTest : public HostFixture {
  protected:
    std::string Stored(const wxString& key) {
        wxFileConfig config(wxT("Corvane"), wxEmptyString, wxString::FromUTF8(dataDir + "/corvane.ini"),
                            wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
        return std::string(config.Read(wxT("/Remember The Milk/") + key, wxString()).utf8_str());
    }
    std::vector<std::string> Methods() {
        std::vector<std::string> methods;
        for (const auto& request : emulator->Requests())
            if (!request.method.empty())
                methods.push_back(request.method);
        emulator->ClearRequests();
        return methods;
    }
};
using Calls = std::vector<std::string>;
}  // namespace

TEST_F(AuthoriseCommandTest, StoresChecksAndRenewsTheTokenAndNeverShowsIt) {
    callSpacing.clear();  // the full second between calls, as for the real service
    CommandResult first = Host({"--log-level", "31", "authorise", "Work"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const auto requests = emulator->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_GE(requests[1].time - requests[0].time, std::chrono::milliseconds(1000));
    EXPECT_TRUE(requests[0].signatureValid && requests[1].signatureValid);
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.getFrob", "rtm.auth.getToken"}));
    const std::string token = Stored(wxT("AuthToken"));
    EXPECT_EQ(emulator->State().Tokens(), std::vector<std::string>{token});
    EXPECT_EQ(Stored(wxT("AuthFrob")), "");
    EXPECT_NE(
        first.err.find("Open this address in a web browser and allow access:\n  " + emulator->BaseUrl() +
                       "/services/auth/?api_key=" + rtmemu::DEFAULT_API_KEY + "&frob="),
        std::string::npos)
        << first.err;
    for (const char* box : {"Please log in to Remember The Milk.\nYou need to authorize Corvane to access",
                            "Continue after authorization.\nClick the OK button to continue after"})
        EXPECT_NE(first.err.find(box), std::string::npos) << first.err;
    EXPECT_EQ(first.err.find("CRITICAL"), std::string::npos) << "nothing from GTK about the display";

    callSpacing = "0";
    CommandResult second = Host({"--log-level", "31", "authorise", "Work"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(Methods(), Calls{"rtm.auth.checkToken"});
    EXPECT_EQ(Stored(wxT("AuthToken")), token);

    emulator->State().Revoke();
    CommandResult third = Host({"--log-level", "31", "authorise", "Work"});
    ASSERT_EQ(third.exitCode, 0) << third.err;
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.checkToken", "rtm.auth.getFrob", "rtm.auth.getToken"}));
    const std::string renewed = Stored(wxT("AuthToken"));
    EXPECT_FALSE(renewed.empty());
    EXPECT_NE(renewed, token);

    const std::string log = ReadData("corvane.log");
    EXPECT_NE(log.find("CURLINFO_HEADER_OUT"), std::string::npos);
    for (const std::string& shown :
         {log, first.out + first.err, second.out + second.err, third.out + third.err})
        for (const std::string& secret : {token, renewed})
            EXPECT_EQ(shown.find(secret), std::string::npos);
}

TEST_F(AuthoriseCommandTest, UnreachableServiceAndWrongArgumentsFailClearly) {
    emulator->SetRefusing(true);
    CommandResult down = Host({"authorise", "Work"});
    EXPECT_EQ(down.exitCode, 1);
    EXPECT_NE(down.err.find("Unable to connect to the server."), std::string::npos) << down.err;
    EXPECT_NE(down.err.find("corvane-host: not authorised: no token was stored"), std::string::npos);
    EXPECT_EQ(Stored(wxT("AuthToken")), "");
    for (const auto& args :
         {Calls{"authorise"}, Calls{"authorise", "A", "B"}, Calls{"authorise", "--what", "W"}}) {
        CommandResult wrong = Host(args);
        EXPECT_EQ(wrong.exitCode, 1) << args.size();
        EXPECT_EQ(wrong.err.rfind("corvane-host: ", 0), 0u) << wrong.err;
    }
}
