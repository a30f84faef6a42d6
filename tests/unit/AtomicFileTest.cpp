#include "sync/AtomicFile.h"
#include "tests/support/FakeHost.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <wx/filefn.h>

using namespace offline_test;

namespace {

class AtomicFileTest : public FakeHostTest {
  protected:
    void SetUp() override {
        FakeHostTest::SetUp();
        path = tempDir + wxT("/file.ics");
        WriteFile(path, "old content");
    }
    wxString path;
};

// Text large enough to be written in several chunks.
std::string BigText() {
    return std::string(300 * 1024, 'n');
}

AtomicWriteHook FailAt(AtomicWriteStep failing, size_t after = 0) {
    return [=](AtomicWriteStep step, size_t written) {
        return step == failing && written >= after ? AtomicWriteFault::FAIL : AtomicWriteFault::PROCEED;
    };
}

}  // namespace

TEST_F(AtomicFileTest, AFailedStepKeepsTheOldFileAndCleansUp) {
    for (AtomicWriteStep step : {AtomicWriteStep::OPEN, AtomicWriteStep::WRITE, AtomicWriteStep::FLUSH,
                                 AtomicWriteStep::CLOSE, AtomicWriteStep::RENAME}) {
        SCOPED_TRACE(static_cast<int>(step));
        EXPECT_FALSE(WriteFileAtomically(path, BigText(), FailAt(step)));
        EXPECT_EQ(ReadFile(path), "old content");
        EXPECT_FALSE(wxFileExists(AtomicTempPath(path)));
    }
}

TEST_F(AtomicFileTest, LeftoverFromACrashDoesNotStopTheNextWrite) {
    AtomicWriteHook crash = [](AtomicWriteStep step, size_t) {
        return step == AtomicWriteStep::RENAME ? AtomicWriteFault::CRASH : AtomicWriteFault::PROCEED;
    };
    EXPECT_FALSE(WriteFileAtomically(path, "partial", crash));
    EXPECT_TRUE(wxFileExists(AtomicTempPath(path)));
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_TRUE(WriteFileAtomically(path, "new"));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_FALSE(wxFileExists(AtomicTempPath(path)));
}
