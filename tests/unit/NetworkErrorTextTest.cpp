#include "rtm/NetworkErrorText.h"

#include <gtest/gtest.h>

namespace {
const wxString HINT =
    wxT(" Make sure that your network is working and that your firewall is not blocking the connection");

TEST(NetworkErrorText, UserFacingTextsAndTheHint) {
    EXPECT_EQ(GetNetworkErrorText(5, 0),
              wxT("Unable to resolve the proxy. Verify that your proxy settings are correct."));
    EXPECT_EQ(GetNetworkErrorText(6, 0), wxT("Unable to resolve the host.") + HINT);
    EXPECT_EQ(GetNetworkErrorText(7, 0), wxT("Unable to connect to the server.") + HINT);
    EXPECT_EQ(GetNetworkErrorText(35, 0), wxT("Secure connection (SSL) to the server failed.") + HINT);
    // The caller's format adds the period: a report line ends with exactly one.
    EXPECT_TRUE((GetNetworkErrorText(7, 0) + wxT(".")).EndsWith(wxT("connection.")));
}

TEST(NetworkErrorText, ResultCodeWinsOverTheStatus) {
    EXPECT_EQ(GetNetworkErrorText(28, 0), wxT("The timeout time was reached"));
    EXPECT_EQ(GetNetworkErrorText(28, 200), wxT("The timeout time was reached"));
    EXPECT_EQ(GetNetworkErrorText(1, 404), wxT("Unsupported protocol"));
    EXPECT_EQ(GetNetworkErrorText(42, 0), wxT("Aborted by callback"));
    EXPECT_EQ(GetNetworkErrorText(60, 0), wxT("Problem with the CA cert (path?)"));
    EXPECT_EQ(GetNetworkErrorText(77, 0), wxT("Could not load CACERT file, missing or wrong format"));
    for (int code : {78, 99, -1, -2147483647})
        EXPECT_EQ(GetNetworkErrorText(code, 200), wxT("Unknown error")) << code;
}

TEST(NetworkErrorText, StatusTable) {
    EXPECT_EQ(GetNetworkErrorText(0, 200), wxT("OK"));
    EXPECT_EQ(GetNetworkErrorText(0, 302), wxT("Moved temporarily"));
    EXPECT_EQ(GetNetworkErrorText(0, 307), wxT("Temporary Redirect"));
    EXPECT_EQ(GetNetworkErrorText(0, 503), wxT("Service Unavailable"));
    EXPECT_EQ(GetNetworkErrorText(0, 505), wxT("HTTP Version Not Supported"));
    for (int status : {0, 102, 208, 306, 418, 506, 999}) {
        EXPECT_EQ(GetNetworkErrorText(0, status), wxT("Unknown error")) << status;
    }
}

TEST(NetworkErrorText, EveryCodeHasAText) {
    for (int code = 1; code <= 77; ++code) {
        const wxString text = GetNetworkErrorText(code, 0);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_NE(text, wxT("Unknown error")) << code;
    }
}
}  // namespace
