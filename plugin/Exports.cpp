// The eight functions the host finds by name.
#include "plugin/RTMHandler.h"

#include <cstdint>

#define CORVANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
const wchar_t* const PLUGIN_AUTHOR = L"The Corvane RTM plug-in team";
const uint32_t PLUGIN_VERSION = 0x1006008a;
const uint32_t TASK_SUPPORT_FLAGS = 0x806a0243;
}  // namespace

CORVANE_EXPORT const wchar_t* GetPluginName() {
    return RTM_PLUGIN_NAME;
}
CORVANE_EXPORT uint32_t GetPluginVersion() {
    return PLUGIN_VERSION;
}
CORVANE_EXPORT const wchar_t* GetPluginAuthor() {
    return PLUGIN_AUTHOR;
}
CORVANE_EXPORT uint32_t GetPluginEventSupportFlags() {
    return 0;
}
CORVANE_EXPORT uint32_t GetPluginTaskSupportFlags() {
    return TASK_SUPPORT_FLAGS;
}
CORVANE_EXPORT void Initialize(uintptr_t, uintptr_t) {}
CORVANE_EXPORT void Uninitialize() {}

CORVANE_EXPORT CCalendarHandler* CreateCalendarHandler(wxConfigBase* config, const wchar_t* name) {
    // No exception may cross into the host.
    try {
        return new CRTMHandler(config, name ? wxString(name) : wxString(), RTM_PLUGIN_NAME);
    } catch (...) {
        return nullptr;
    }
}
