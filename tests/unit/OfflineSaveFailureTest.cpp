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

// A save that fails at any step, or is cut short there (as if the process died), leaves the old
// file whole and the store modified; a failure cleans up after itself; the next save writes the new
// content, also over a crash's leftover.
TEST_F(OfflineSaveFailureTest, SaveFailingOrInterruptedAtAnyPointLeavesTheOldFile) {
    const struct {
        AtomicWriteStep step;
        double fraction;  // of the text written, for WRITE
        AtomicWriteFault fault;
    } points[] = {{AtomicWriteStep::OPEN, 0, AtomicWriteFault::FAIL},
                  {AtomicWriteStep::WRITE, 0.5, AtomicWriteFault::FAIL},
                  {AtomicWriteStep::FLUSH, 0, AtomicWriteFault::FAIL},
                  {AtomicWriteStep::CLOSE, 0, AtomicWriteFault::FAIL},
                  {AtomicWriteStep::RENAME, 0, AtomicWriteFault::FAIL},
                  {AtomicWriteStep::OPEN, 0, AtomicWriteFault::CRASH},
                  {AtomicWriteStep::WRITE, 0, AtomicWriteFault::CRASH},
                  {AtomicWriteStep::WRITE, 0.5, AtomicWriteFault::CRASH},
                  {AtomicWriteStep::WRITE, 0.9, AtomicWriteFault::CRASH},
                  {AtomicWriteStep::FLUSH, 0, AtomicWriteFault::CRASH},
                  {AtomicWriteStep::CLOSE, 0, AtomicWriteFault::CRASH},
                  {AtomicWriteStep::RENAME, 0, AtomicWriteFault::CRASH}};
    for (const auto& point : points) {
        const bool crash = point.fault == AtomicWriteFault::CRASH;
        SCOPED_TRACE(std::to_string(static_cast<int>(point.step)) + (crash ? " crash " : " fail ") +
                     std::to_string(point.fraction));
        if (wxFileExists(path))
            wxRemoveFile(path);
        auto offline = OpenWithOldFile();
        offline->StoreComponent(Todo("1:new", "SUMMARY:added\r\n").get());
        offline->RemoveByUid(wxT("1:0"));
        host().logs.clear();
        offline->SetWriteHook([&](AtomicWriteStep step, size_t written) {
            return step == point.step && written >= point.fraction * oldText.size()
                       ? point.fault
                       : AtomicWriteFault::PROCEED;
        });
        offline->Save(true);
        EXPECT_EQ(ReadFile(path), oldText);
        EXPECT_TRUE(offline->IsModified());
        if (!crash) {
            EXPECT_FALSE(wxFileExists(AtomicTempPath(path)));
            EXPECT_TRUE(
                host().HasLog(LOG_ERROR, wxT("Unable to open file \"") + path + wxT("\" for writing.")));
        }

        COfflineCalendar reread(file);  // the next run reads the file whole
        EXPECT_FALSE(host().HasLog(LOG_ERROR, wxT("for reading")));
        EXPECT_EQ(reread.Components().Size(), 400u);

        offline->SetWriteHook({});
        offline->Save(true);
        const std::string newText = ReadFile(path);
        EXPECT_NE(newText.find("UID:1:new"), std::string::npos);
        EXPECT_EQ(newText.find("UID:1:0\r\n"), std::string::npos);
        EXPECT_FALSE(wxFileExists(AtomicTempPath(path)));
    }
}
