// A recording fake of the host services: every call is kept for the test to assert on, and the
// answers (log level, paths, network parameters, start-up delay, message results) are set by it.
#pragma once

#include "plugin/HostApi.h"
#include "plugin/Settings.h"

#include <libical/ical.h>
#include <wx/string.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

struct FakeLogLine {
    int level;
    wxString text;  // as the host would print it: "%%" turned back into "%"
    wxString raw;   // as the plug-in passed it
};

struct FakeMessage {
    wxString text;
    long style;
    bool returnAtOnce;
};

struct FakeAdded {
    std::string ical;  // the component as iCalendar text
    std::string uid;
    unsigned flags;
    CCalendarHandler* handler;
};

struct FakeSetting {
    wxString path, key, value;
};

class FakeHost {
  public:
    static FakeHost& Get();
    // The zones go with the fake: at the process's end a leak check must not find them unowned.
    ~FakeHost() { FreeZones(); }
    // Back to the defaults and no recorded calls; frees what the plug-in handed over.
    void Reset();

    // Answers.
    unsigned logLevel = 31;
    wxString dataDir;
    wxString cookieDir;
    NetworkParameters network;
    bool startupDelayPassed = true;
    // When false, components handed over are only counted (benchmarks).
    bool recordComponents = true;
    // Decoding reverses the text.

    // Recorded calls; lock `mutex` when reading while a worker thread runs.
    std::mutex mutex;
    std::vector<FakeLogLine> logs;
    std::vector<FakeMessage> messages;
    std::vector<std::pair<int, wxString>> trayStatuses;
    std::vector<std::pair<bool, wxString>> eventsWritten;
    std::vector<FakeAdded> added;
    std::vector<FakeSetting> settingsWritten;
    std::vector<wxString> timeZonesAdded;  // TZIDs
    int decodeCalls = 0;
    size_t addedCount = 0;

    // Convenience queries.
    bool HasLog(const wxString& fragment);
    bool HasLog(int level, const wxString& fragment);
    size_t CountLogs(const wxString& fragment);
    std::vector<wxString> LogTexts();

    // Zones the fake knows (added by the plug-in), by TZID; owned.
    std::map<std::string, icaltimezone*> zones;

  private:
    FakeHost() = default;
    void FreeZones();
};

// Sets up a temporary data directory and resets the fake for each test.
#include <gtest/gtest.h>

class FakeHostTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    FakeHost& host() { return FakeHost::Get(); }
    wxString tempDir;
};
