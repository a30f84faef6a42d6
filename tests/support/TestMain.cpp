// Test entry: wxWidgets' base library initialised once for every suite.
#include <gtest/gtest.h>
#include <wx/init.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxInitializer initializer;
    if (!initializer.IsOk())
        return 2;
    return RUN_ALL_TESTS();
}
