// Saving must never lose the only copy: failed and interrupted saves leave the old file whole.
#include "sync/OfflineCalendar.h"
#include "tests/support/FakeHost.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <wx/filefn.h>

#include <memory>

using namespace offline_test;

namespace {

class OfflineSaveFailureTest : public FakeHostTest {
  protected:
    void SetUp() override {
        FakeHostTest::SetUp();
        file = wxFileName(tempDir, wxT("Cal-Offline.ics"));
        path = file.GetFullPath();
    }
    // A store big enough to be written in several chunks, saved once: the "old" file.
    std::unique_ptr<COfflineCalendar> OpenWithOldFile() {
        auto offline = std::make_unique<COfflineCalendar>(file);
        for (int i = 0; i < 400; ++i) {
            offline->StoreComponent(
                Todo("1:" + std::to_string(i), "DESCRIPTION:" + std::string(300, 'o') + "\r\n").get());
        }
        offline->Save(true);
        oldText = ReadFile(path);
        return offline;
    }

    wxFileName file;
    wxString path;
    std::string oldText;
};

}  // namespace

TEST_F(OfflineSaveFailureTest, DirectoryThatCannotBeWrittenKeepsTheStoreModifiedAndRetries) {
    const wxString blocker = tempDir + wxT("/data");
    WriteFile(blocker, "a file where the data directory should be");
    wxFileName blocked(blocker, wxT("Cal-Offline.ics"));
    auto offline = std::make_unique<COfflineCalendar>(blocked);
    offline->StoreComponent(Todo("1:1").get());

    offline->Save(true);
    const wxString message = wxT("Unable to open file \"") + blocked.GetFullPath() + wxT("\" for writing.");
    EXPECT_TRUE(host().HasLog(LOG_ERROR, message));
    EXPECT_TRUE(offline->IsModified());

    // The worker saves every second; a lasting failure is not an error line every second.
    host().logs.clear();
    offline->Save(true);
    EXPECT_FALSE(host().HasLog(LOG_ERROR, message));
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, message));

    // Once the directory can be written, the next save writes without a further change.
    ASSERT_TRUE(wxRemoveFile(blocker));
    offline->Save(true);
    EXPECT_FALSE(offline->IsModified());
    EXPECT_NE(ReadFile(blocked.GetFullPath()).find("UID:1:1"), std::string::npos);
}

TEST_F(OfflineSaveFailureTest, FailureHalfWayThroughWritingKeepsTheOldFile) {
    auto offline = OpenWithOldFile();
    offline->StoreComponent(Todo("1:new").get());
    const size_t total = oldText.size();
    offline->SetWriteHook([&](AtomicWriteStep step, size_t written) {
        return step == AtomicWriteStep::WRITE && written >= total / 2 ? AtomicWriteFault::FAIL
                                                                      : AtomicWriteFault::PROCEED;
    });
    offline->Save(true);
    EXPECT_EQ(ReadFile(path), oldText);
    EXPECT_TRUE(offline->IsModified());
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Unable to open file \"") + path + wxT("\" for writing.")));
    EXPECT_FALSE(wxFileExists(AtomicTempPath(path)));

    offline->SetWriteHook({});
    offline->Save(true);
    EXPECT_NE(ReadFile(path).find("UID:1:new"), std::string::npos);
}

// A save cut short at any point (as if the process died there) leaves a file that reads back to
// either the old or the new store.
TEST_F(OfflineSaveFailureTest, SaveInterruptedAtAnyPointLeavesOldOrNewFile) {
    struct Point {
        AtomicWriteStep step;
        double fraction;  // of the text written, for WRITE
    };
    const Point points[] = {{AtomicWriteStep::OPEN, 0},    {AtomicWriteStep::WRITE, 0},
                            {AtomicWriteStep::WRITE, 0.5}, {AtomicWriteStep::WRITE, 0.9},
                            {AtomicWriteStep::FLUSH, 0},   {AtomicWriteStep::CLOSE, 0},
                            {AtomicWriteStep::RENAME, 0}};
    std::string newText;
    for (const Point& point : points) {
        SCOPED_TRACE(static_cast<int>(point.step));
        SCOPED_TRACE(point.fraction);
        if (wxFileExists(path))
            wxRemoveFile(path);
        auto offline = OpenWithOldFile();
        offline->StoreComponent(Todo("1:new", "SUMMARY:added\r\n").get());
        offline->RemoveByUid(wxT("1:0"));
        offline->SetWriteHook([&](AtomicWriteStep step, size_t written) {
            return step == point.step && written >= point.fraction * oldText.size()
                       ? AtomicWriteFault::CRASH
                       : AtomicWriteFault::PROCEED;
        });
        offline->Save(true);
        const std::string after = ReadFile(path);
        EXPECT_EQ(after, oldText);

        // The next run reads the file whole.
        host().logs.clear();
        COfflineCalendar reread(file);
        EXPECT_FALSE(host().HasLog(LOG_ERROR, wxT("for reading")));
        EXPECT_EQ(reread.Components().Size(), 400u);

        // The same save carried through gives the new content, also over the crash's leftover.
        offline->SetWriteHook({});
        offline->Save(true);
        newText = ReadFile(path);
        EXPECT_NE(newText.find("UID:1:new"), std::string::npos);
        EXPECT_EQ(newText.find("UID:1:0\r\n"), std::string::npos);
        EXPECT_FALSE(wxFileExists(AtomicTempPath(path)));
    }
}
