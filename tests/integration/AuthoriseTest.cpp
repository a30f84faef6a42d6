// The authorisation exchange against the emulator: each stored state leads to the right calls,
// messages and stored result, within one run and across runs (the first authorisation, a stored
// token checked and a revoked one replaced are the host's end-to-end test).
#include "plugin/ConfigTokenStore.h"
#include "rtm/BrowserLauncher.h"
#include "rtm/ServiceAddress.h"
#include "tests/support/EmulatorFixture.h"

namespace {
class AuthoriseTest : public EmulatorTest {
  protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        // The user opens the page and clicks the allow button, unless the test says otherwise.
        SetLauncher([this](const wxString& url) {
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

    bool Authorise() {
        ConfigTokenStore store(Handler().GetConfig(), Handler().GetSection());
        return Connection()->Authorise(store);
    }

    std::vector<wxString> pages;
    bool userApproves = true;
    std::function<void()> onBrowser;
};

using Calls = std::vector<std::string>;

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
    EXPECT_EQ(Param("rtm.auth.getToken", "frob"), std::string(frob.utf8_str()));
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
}
