// The types of the eight exports, as the host resolves them by name.
#pragma once

#include <cstdint>

class CCalendarHandler;
class wxConfigBase;

extern "C" {
typedef const wchar_t* (*GetPluginNameFn)();
typedef uint32_t (*GetPluginVersionFn)();
typedef const wchar_t* (*GetPluginAuthorFn)();
typedef uint32_t (*GetPluginEventSupportFlagsFn)();
typedef uint32_t (*GetPluginTaskSupportFlagsFn)();
typedef void (*InitializeFn)(uintptr_t, uintptr_t);
typedef void (*UninitializeFn)();
typedef CCalendarHandler* (*CreateCalendarHandlerFn)(wxConfigBase* config, const wchar_t* name);
}
