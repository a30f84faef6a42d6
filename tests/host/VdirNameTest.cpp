// The names of the mirror's files: whatever the UID, one file inside the folder, the same each
// time, and never another UID's.
#include "host/VdirName.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <cstdlib>
#include <fstream>
#include <set>

TEST(VdirNameTest, EveryUidGetsItsOwnSafeStableFile) {
    const std::string longText(300, 'x');
    const std::vector<std::string> uids = {"21:31",
                                           "a/b",
                                           "../../etc/passwd",
                                           "..",
                                           ".",
                                           ".hidden",
                                           "with space",
                                           "ünïcødé ✓",
                                           "%41",
                                           "A",
                                           "a",
                                           "tab\there",
                                           "line\nbreak",
                                           "x.ics",
                                           "x.ics.saving",
                                           "",
                                           longText,
                                           longText + "y",
                                           std::string(148, 'x') + "é" + longText,
                                           std::string(149, 'x') + "é" + longText};
    char pattern[] = "/tmp/corvane-vdir-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::set<std::string> names;
    for (const std::string& uid : uids) {
        const std::string name = VdirFileName(uid);
        EXPECT_EQ(name, VdirFileName(uid));
        EXPECT_TRUE(names.insert(name).second) << uid;
        EXPECT_LE(name.size(), 210u) << uid;
        EXPECT_NE(name[0], '.') << uid;
        EXPECT_EQ(name.substr(name.size() - 4), ".ics") << uid;
        for (unsigned char c : name)
            EXPECT_TRUE(c > 0x20 && c < 0x7f && c != '/' && c != '\\') << uid;
        std::ofstream(dir + "/" + name) << uid;
        std::string decoded;
        if (!uid.empty() && uid.size() < 100) {
            EXPECT_TRUE(PercentDecode(PercentEncode(uid), decoded));
            EXPECT_EQ(decoded, uid);
        }
    }
    // Every file landed in the folder itself, one for each UID.
    size_t files = 0;
    DIR* folder = opendir(dir.c_str());
    while (dirent* entry = readdir(folder))
        files += entry->d_name[0] != '.';
    closedir(folder);
    EXPECT_EQ(files, uids.size());
    std::string ignored;
    EXPECT_FALSE(PercentDecode("%4", ignored));
    EXPECT_FALSE(PercentDecode("%zz", ignored));
    std::system(("rm -rf '" + dir + "'").c_str());
}
