// The root of the handler chain the host drives. The layout (fields and the order of the virtual
// operations) is the calling contract with the host, which compiles this same declaration.
#pragma once

#include <libical/ical.h>
#include <wx/config.h>
#include <wx/dynarray.h>
#include <wx/string.h>

#include <cstdint>

struct SettingsRow;

WX_DEFINE_ARRAY_PTR(icalcomponent*, ComponentArray);

class CCalendarHandler {
  public:
    CCalendarHandler(wxConfigBase* config, const wxString& name, const wxString& section);
    CCalendarHandler(const CCalendarHandler&) = delete;
    CCalendarHandler& operator=(const CCalendarHandler&) = delete;

    virtual ~CCalendarHandler();                                      // slot 0
    virtual CCalendarHandler* Clone();                                // slot 1
    virtual void Start(void* argument);                               // slot 2
    virtual void SetEnabled(bool enable);                             // slot 3
    virtual bool Refresh();                                           // slot 4
    virtual bool WriteComponents(const ComponentArray& components);   // slot 5
    virtual bool DeleteComponents(const ComponentArray& components);  // slot 6
    virtual bool HostHook07(void* first, void* second);               // slot 7
    virtual bool HostHook08(void* argument);                          // slot 8
    virtual bool HostHook09(void* first, void* second);               // slot 9
    virtual wxString HostHook10();                                    // slot 10
    virtual wxString HostHook11();                                    // slot 11
    virtual SettingsRow** GetSettings(bool argument);                 // slot 12
    virtual void ApplySettings(void* argument);                       // slot 13
    virtual void RunAuthorisation(void* argument);                    // slot 14
    virtual bool HostHook15(void* first, void* second);               // slot 15
    virtual wxString HostHook16();                                    // slot 16
    virtual wxString GetSettingsHelp();                               // slot 17
    virtual wxConfigBase* GetConfig();                                // slot 18
    virtual wxString GetDisplayName();                                // slot 19
    virtual wxString HostHook20();                                    // slot 20
    virtual void HostHook21();                                        // slot 21
    virtual wxArrayInt HostHook22(void* argument);                    // slot 22
    virtual bool HasFlags(uint32_t flags, uint32_t mask);             // slot 23
    virtual void Assign(const CCalendarHandler& other);               // slot 24

    const wxString& GetName() const { return m_Name; }
    const wxString& GetSection() const { return m_Section; }
    bool IsEnabled() const { return m_Enabled; }

  protected:
    wxConfigBase* m_Config;  // not owned
    wxString m_Name;
    wxString m_Section;
    bool m_Enabled;
    // Host fields: initialised and copied, never read by the plug-in.
    bool m_HostFlagA;
    wxString m_HostTextA;
    bool m_HostFlagB;
    wxString m_HostTextB;
    int32_t m_HostValue;
    wxString m_HostTextC;
};
