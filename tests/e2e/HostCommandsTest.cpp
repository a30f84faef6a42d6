// The built module driven by the headless host, as a person runs it.
#include "tests/support/HostFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

namespace {
class HostCommandsTest : public HostFixture {};
}  // namespace

TEST_F(HostCommandsTest, ModuleLoadsAndDefinesExactlyTheEightExports) {
    CommandResult r = Host({"load"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Name:                Remember The Milk\n"), std::string::npos) << r.out;
    FILE* nm = popen(("nm -D --defined-only '" + BuiltProgram("rtmplugin.so") + "'").c_str(), "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[512];
    while (fgets(line, sizeof line, nm)) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (!name.empty())
            names.insert(name);
    }
    ASSERT_EQ(pclose(nm), 0);
    const std::set<std::string> expected = {"GetPluginName",
                                            "GetPluginVersion",
                                            "GetPluginAuthor",
                                            "GetPluginEventSupportFlags",
                                            "GetPluginTaskSupportFlags",
                                            "Initialize",
                                            "Uninitialize",
                                            "CreateCalendarHandler"};
    EXPECT_EQ(names, expected);
}

TEST_F(HostCommandsTest, SettingsAreAppliedThroughTheRowsAndReadBack) {
    CommandResult set = Host({"settings", "Work", "--list", "Errands", "--poll", "45", "--offline", "on"});
    ASSERT_EQ(set.exitCode, 0) << set.err;

    CommandResult show = Host({"settings", "Work"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_NE(show.out.find("List: \"Errands\""), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("( ) Never ( ) 15 ( ) 30 ( ) 60 ( ) 120 (*) 45"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Keep offline copy: [x]"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Suppress errors: [ ]"), std::string::npos) << show.out;

    const std::string ini = ReadData("corvane.ini");
    EXPECT_NE(ini.find("[Remember\\ The\\ Milk/Work]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("List=Errands"), std::string::npos);
    EXPECT_NE(ini.find("PollFrequency=45"), std::string::npos);
    EXPECT_NE(ini.find("KeepOfflineCopy=1"), std::string::npos);
}

TEST_F(HostCommandsTest, MistakesGiveOneClearLineAndStatusOne) {
    const std::vector<std::vector<std::string>> mistakes = {
        {"settings", "Nowhere"},
        {"settings", "Work", "--poll", "soon"},
        {"settings", "Work", "--offline", "maybe"},
        {"settings", "Work", "--colour", "red"},
        {"settings"},
        {"frobnicate"},
        {"--module", "/nonexistent/module.so", "load"},
        {"--log-level"},
    };
    for (const auto& args : mistakes) {
        CommandResult r = Host(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(r.err.rfind("corvane-host: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // Nothing was created for the mistaken calendar.
    EXPECT_EQ(ReadData("corvane.ini").find("Nowhere"), std::string::npos);
}
