#include "rtm/CallSpacing.h"
#include "rtm/ServiceAddress.h"

#include <gtest/gtest.h>
#include <wx/utils.h>

namespace {
TEST(ServiceAddress, RealServiceOverHttpsByDefault) {
    wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
    const ServiceAddress address = ServiceAddress::FromEnvironment();
    EXPECT_EQ(address.RestEndpoint(), wxT("https://api.rememberthemilk.com/services/rest/"));
    EXPECT_EQ(address.AuthPage(), wxT("https://www.rememberthemilk.com/services/auth/"));
    EXPECT_TRUE(address.IsDefault());
}

TEST(ServiceAddress, EnvironmentReplacesTheBase) {
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT(" http://127.0.0.1:8099// "));
    const ServiceAddress address = ServiceAddress::FromEnvironment();
    EXPECT_EQ(address.RestEndpoint(), wxT("http://127.0.0.1:8099/services/rest/"));
    EXPECT_EQ(address.AuthPage(), wxT("http://127.0.0.1:8099/services/auth/"));
    EXPECT_FALSE(address.IsDefault());
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT(""));
    EXPECT_TRUE(ServiceAddress::FromEnvironment().IsDefault());
    EXPECT_TRUE(ServiceAddress(wxT("https://api.rememberthemilk.com/")).IsDefault());
    wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
}

TEST(ServiceAddress, SpacingIntervalFromTheEnvironment) {
    const struct {
        const wchar_t* text;
        long interval;
    } cases[] = {{L"250", 250}, {L"0", 0}, {L"soon", -1}, {L"-5", -1}, {nullptr, -1}};
    for (const auto& c : cases) {
        if (c.text) {
            wxSetEnv(wxT("RTM_CALL_SPACING_MS"), c.text);
        } else {
            wxUnsetEnv(wxT("RTM_CALL_SPACING_MS"));
        }
        EXPECT_EQ(IntervalFromEnvironment(), c.interval) << (c.text ? c.text : L"unset");
    }
    wxUnsetEnv(wxT("RTM_CALL_SPACING_MS"));
}
}  // namespace
