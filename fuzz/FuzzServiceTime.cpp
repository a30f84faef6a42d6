// The service's time texts: parsed, written back, and taken to a local date.
#include "convert/ServiceTime.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareFuzzInput();
    const icaltimetype time = ParseServiceTime(FuzzText(data, size), nullptr);
    FormatServiceTime(time);
    FormatServiceTime(UtcToLocalDate(time));
    return 0;
}
