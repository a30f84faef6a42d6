// The loaded module and its eight exports, resolved by name.
#pragma once

#include "plugin/PluginExports.h"

#include <wx/string.h>

class PluginModule {
  public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // False with a one-line reason when the file cannot be loaded or an export is missing.
    bool Load(const wxString& path, wxString& error);

    GetPluginNameFn GetPluginName = nullptr;
    GetPluginVersionFn GetPluginVersion = nullptr;
    GetPluginAuthorFn GetPluginAuthor = nullptr;
    GetPluginEventSupportFlagsFn GetPluginEventSupportFlags = nullptr;
    GetPluginTaskSupportFlagsFn GetPluginTaskSupportFlags = nullptr;
    InitializeFn Initialize = nullptr;
    UninitializeFn Uninitialize = nullptr;
    CreateCalendarHandlerFn CreateCalendarHandler = nullptr;

  private:
    void* m_Handle = nullptr;
};
