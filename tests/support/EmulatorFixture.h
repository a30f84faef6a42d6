// Tests against the in-process service emulator over real HTTP on loopback: the emulator, the
// plug-in pointed at it, a handler with an in-memory configuration, and short call spacing.
#pragma once

#include "emulator/Emulator.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "tests/support/FakeHost.h"

#include <wx/config.h>

#include <memory>
#include <string>
#include <vector>

class EmulatorTest : public FakeHostTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Options of the emulator this fixture starts (override to change them).
    virtual rtmemu::EmulatorOptions Options() { return rtmemu::EmulatorOptions(); }

    // The handler "Work" (made on first use, so the test can set the host's answers before).
    CRTMHandler& Handler();
    // Destroys the handler, as the host does when it ends; the next Handler() makes a new one.
    void DropHandler();
    wxConfigBase& Config();
    std::unique_ptr<CRTMConnection> Connection(bool bypassProxy = false);
    // What the connections and the handler are given: the emulator's address, the fixture's own
    // call spacing (none by default) and a browser launcher (none: a launch fails).
    ServiceContext Services();
    CCallSpacing& Spacing() { return m_Spacing; }
    // Points the connections made from here on (and the handler) at another address.
    void UseAddress(const wxString& base);
    void SetLauncher(BrowserLauncher launcher);

    // Stored authorisation state in the handler's section.
    void Store(const wxString& key, const wxString& value);
    wxString Stored(const wxString& key);
    // A token the emulator has granted, as after an earlier authorisation.
    std::string GrantedToken();

    // The REST methods the emulator was asked for, in order.
    std::vector<std::string> Methods() const;
    // A parameter of the last call of `method`: "<absent>" when it has none (or there is no call).
    std::string Param(const std::string& method, const std::string& name) const;

    // Parameters of a call to the unsigned echo method (the client signs it all the same).
    static RTMParams EchoParams();

    std::unique_ptr<rtmemu::Emulator> emulator;

  private:
    CCallSpacing m_Spacing{false, 0};
    ServiceAddress m_Address;
    BrowserLauncher m_Launcher;
    std::unique_ptr<wxConfigBase> m_Config;
    std::unique_ptr<CRTMHandler> m_Handler;
};

// A loopback port on which nothing listens (connections to it are refused).
int ClosedPort();
// The text of an error report without its leading "[time] ".
wxString WithoutTime(const wxString& report);
