#include "rtm/ServiceAddress.h"

#include <gtest/gtest.h>
#include <wx/utils.h>

namespace {
TEST(ServiceAddress, RealServiceOverHttpsByDefault) {
    wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
    EXPECT_EQ(ServiceRestEndpoint(), wxT("https://api.rememberthemilk.com/services/rest/"));
    EXPECT_EQ(ServiceAuthPage(), wxT("https://www.rememberthemilk.com/services/auth/"));
    EXPECT_TRUE(IsDefaultService());
}

TEST(ServiceAddress, EnvironmentReplacesTheBase) {
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT(" http://127.0.0.1:8099// "));
    EXPECT_EQ(ServiceRestEndpoint(), wxT("http://127.0.0.1:8099/services/rest/"));
    EXPECT_EQ(ServiceAuthPage(), wxT("http://127.0.0.1:8099/services/auth/"));
    EXPECT_FALSE(IsDefaultService());
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT(""));
    EXPECT_TRUE(IsDefaultService());
    wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
}
}  // namespace
