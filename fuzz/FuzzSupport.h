// Shared set-up of the fuzz targets: wxWidgets initialised once, the recording host fake emptied
// before each input, and the input as wide text.
#pragma once

#include "tests/support/FakeHost.h"

#include <wx/init.h>
#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

inline void PrepareFuzzInput() {
    static wxInitializer initializer;
    static const bool zoned = [] {
        setenv("TZ", "America/New_York", 1);  // a zone with daylight saving exercises more paths
        return true;
    }();
    (void)zoned;
    FakeHost::Get().Reset();  // the fake keeps every call; unbounded over millions of inputs
}

inline wxString FuzzText(const uint8_t* data, size_t size) {
    return wxString::FromUTF8(reinterpret_cast<const char*>(data), size);
}
