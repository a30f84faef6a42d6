// Result codes of the web-service client: returned by CallMethod and by the work operations.
#pragma once

#include <cstdint>

enum : uint32_t {
    // Success, or a failure that has already been reported to the user.
    RTM_OK = 0,
    // The service answered with its "temporarily unavailable" page; already reported.
    RTM_UNAVAILABLE = 7,
    // The plug-in's own failure: no token, list not found, no client object.
    RTM_FAILED = 0x80000001u,
    // The service could not be reached; already reported. Callers retry later.
    RTM_NO_CONNECTION = 0x80000002u,
};
