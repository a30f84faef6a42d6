// End-to-end tests: the built host and module, driven as a person runs them, against an emulator
// in this process (seeded, approving authorisations at once) that the test can change at will.
#pragma once

#include "emulator/Emulator.h"
#include "tests/support/InteractiveProcess.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class HostFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs corvane-host with --data and --service set (the call spacing shortened: not the real service).
    CommandResult Host(std::vector<std::string> args, const std::string& input = std::string());
    // The host's shell on one calendar.
    std::unique_ptr<InteractiveProcess> Shell(const std::string& calendar);
    // Configures a calendar and authorises the plug-in.
    void SetUpCalendar(const std::string& calendar, const std::vector<std::string>& settings);

    std::string ReadData(const std::string& name) const;
    void RemoveData(const std::string& name) const;
    std::vector<std::string> HostArgs(std::vector<std::string> args) const;
    std::vector<std::string> HostEnv() const;

    std::unique_ptr<rtmemu::Emulator> emulator;
    std::string dataDir;
    // RTM_CALL_SPACING_MS for the host; empty: not set, the full second as for the real service.
    std::string callSpacing = "0";
};

// The number of lines of `text` that contain `fragment`.
size_t CountLines(const std::string& text, const std::string& fragment);
