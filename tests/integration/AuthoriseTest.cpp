// The authorisation exchange against the emulator: each stored state leads to the right calls,
// messages and stored result, within one run and across runs.
#include "rtm/BrowserLauncher.h"
#include "rtm/ServiceAddress.h"
#include "tests/support/EmulatorFixture.h"

namespace {
const wxString FIRST_MESSAGE =
    wxT("Please log in to Remember The Milk.\nYou need to authorize Corvane to access your Remember The Milk "
        "account. "
        "Please log in to the Remember The Milk web site and give Corvane access to your account.\n\nYour "
        "default web "
        "browser will open automatically when you click the OK button.");
const wxString SECOND_MESSAGE =
    wxT("Continue after authorization.\nClick the OK button to continue after you have authorized Corvane.");

class AuthoriseTest : public EmulatorTest {
  protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        // The user opens the page and clicks the allow button, unless the test says otherwise.
        SetBrowserLauncher([this](const wxString& url) {
            pages.push_back(url);
            if (userApproves) {
                std::string error;
                EXPECT_TRUE(emulator->ApprovePage(std::string(url.utf8_str()), &error)) << error;
            }
            if (onBrowser)
                onBrowser();
            return true;
        });
    }

    bool Authorise() { return Connection()->Authorise(); }

    std::vector<wxString> pages;
    bool userApproves = true;
    std::function<void()> onBrowser;
};

using Calls = std::vector<std::string>;

TEST_F(AuthoriseTest, NewAuthorisationThroughTheBrowser) {
    Handler().RunAuthorisation(nullptr);
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.getFrob", "rtm.auth.getToken"}));
    ASSERT_EQ(host().messages.size(), 2u);
    EXPECT_EQ(host().messages[0].text, FIRST_MESSAGE);
    EXPECT_EQ(host().messages[1].text, SECOND_MESSAGE);
    for (const FakeMessage& message : host().messages) {
        EXPECT_EQ(message.style, MSG_STYLE_INFO);
        EXPECT_FALSE(message.returnAtOnce);
    }
    const auto tokens = emulator->State().Tokens();
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(Stored(wxT("AuthToken")), wxString::FromUTF8(tokens[0].c_str()));
    EXPECT_EQ(Stored(wxT("AuthFrob")), wxString());
    for (const auto& request : emulator->Requests()) {
        if (!request.method.empty()) {
            EXPECT_TRUE(request.signatureValid) << request.method;
        }
    }
}

TEST_F(AuthoriseTest, AnAcceptedTokenIsKeptARejectedOneStartsOverInTheSameRun) {
    const wxString token = wxString::FromUTF8(GrantedToken().c_str());
    Store(wxT("AuthToken"), token);
    EXPECT_TRUE(Authorise());
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.checkToken"}));
    EXPECT_EQ(Stored(wxT("AuthToken")), token);
    EXPECT_TRUE(host().messages.empty());
    EXPECT_TRUE(pages.empty());

    emulator->State().Revoke();
    emulator->ClearRequests();
    EXPECT_TRUE(Authorise());
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.checkToken", "rtm.auth.getFrob", "rtm.auth.getToken"}));
    EXPECT_EQ(host().messages.size(), 2u);
    EXPECT_EQ(pages.size(), 1u);
    EXPECT_FALSE(Stored(wxT("AuthToken")).empty());
    EXPECT_NE(Stored(wxT("AuthToken")), token);
    EXPECT_EQ(Stored(wxT("AuthFrob")), wxString());
}

TEST_F(AuthoriseTest, FailureAtTheLastStepKeepsTheFrobForTheNextRun) {
    onBrowser = [this] { emulator->SetRefusing(true); };
    EXPECT_FALSE(Authorise());
    const wxString frob = Stored(wxT("AuthFrob"));
    EXPECT_FALSE(frob.empty());
    EXPECT_EQ(Stored(wxT("AuthToken")), wxString());
    ASSERT_FALSE(host().trayStatuses.empty());
    EXPECT_EQ(host().trayStatuses.back(),
              std::make_pair(static_cast<int>(TRAY_FAILED), wxString(wxT("Work"))));
    EXPECT_EQ(host().messages.size(), 3u);  // the two boxes and the report of the failed call

    // Next run: straight to getToken with the stored frob, no browser.
    onBrowser = nullptr;
    ASSERT_TRUE(emulator->SetRefusing(false));
    emulator->ClearRequests();
    host().messages.clear();
    EXPECT_TRUE(Authorise());
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.getToken"}));
    EXPECT_EQ(emulator->Requests()[0].params.find("frob")->second, std::string(frob.utf8_str()));
    EXPECT_EQ(pages.size(), 1u);
    EXPECT_TRUE(host().messages.empty());
    EXPECT_FALSE(Stored(wxT("AuthToken")).empty());
    EXPECT_EQ(Stored(wxT("AuthFrob")), wxString());
}

TEST_F(AuthoriseTest, UnapprovedFrobStoresAnEmptyTokenThenStartsOver) {
    userApproves = false;
    EXPECT_TRUE(Authorise());
    EXPECT_EQ(Stored(wxT("AuthToken")), wxString());
    EXPECT_EQ(Stored(wxT("AuthFrob")), wxString());
    // A pending frob whose getToken brings no token goes on to a new frob in the same run.
    const std::string pending = emulator->State().NewFrob(rtmemu::DEFAULT_API_KEY);
    Store(wxT("AuthFrob"), wxString::FromUTF8(pending.c_str()));
    emulator->ClearRequests();
    userApproves = true;
    EXPECT_TRUE(Authorise());
    EXPECT_EQ(Methods(), (Calls{"rtm.auth.getToken", "rtm.auth.getFrob", "rtm.auth.getToken"}));
    EXPECT_FALSE(Stored(wxT("AuthToken")).empty());
}

TEST_F(AuthoriseTest, MissingFrobIsReported) {
    emulator->InjectFault(rtmemu::Fault::Envelope(105));
    EXPECT_FALSE(Authorise());
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(WithoutTime(host().messages[0].text),
              wxT("Remember The Milk Error (Work)!\nUnable to parse the output."));
    EXPECT_TRUE(pages.empty());
}

}  // namespace

// Only the service's word that the token is invalid throws a stored token away; a service that
// cannot be reached only marks the tray.
TEST_F(AuthoriseTest, AFailedTokenCheckKeepsTheToken) {
    const struct {
        const char* name;
        rtmemu::Fault fault;
        bool refusing;
    } cases[] = {{"HTTP 500", rtmemu::Fault::Status(500), false},
                 {"HTTP 503", rtmemu::Fault::Status(503), false},
                 {"unavailable page", rtmemu::Fault::Of(rtmemu::Fault::UnavailablePage), false},
                 {"another failure envelope", rtmemu::Fault::Envelope(105), false},
                 {"cut-off body", rtmemu::Fault::Of(rtmemu::Fault::TruncatedBody), false},
                 {"unreachable", rtmemu::Fault::Status(500), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        emulator->ClearRequests();
        emulator->ClearFaults();
        host().trayStatuses.clear();
        Store(wxT("AuthToken"), wxT("kept"));
        if (c.refusing)
            emulator->SetRefusing(true);
        else
            emulator->InjectFault(c.fault);
        EXPECT_FALSE(Authorise());
        EXPECT_EQ(Stored(wxT("AuthToken")), wxT("kept"));
        EXPECT_EQ(Methods(), c.refusing ? Calls{} : Calls{"rtm.auth.checkToken"}) << "no new authorisation";
        EXPECT_TRUE(pages.empty());
        EXPECT_EQ(host().trayStatuses.size(), c.refusing ? 1u : 0u);
    }
    CRTMConnection withoutHandler(nullptr, nullptr, false);
    EXPECT_FALSE(withoutHandler.Authorise());
}
