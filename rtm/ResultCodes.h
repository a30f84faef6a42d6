// Result codes of the web-service client and of the worker's operations, and the outcome of one
// method call: what happened to it, so that the worker can decide whether its work may be repeated.
#pragma once

#include <cstdint>

enum : uint32_t {
    // Success, or (from CallMethod) a failure that has already been reported to the user.
    RTM_OK = 0,
    // The service answered with its "temporarily unavailable" page; already reported.
    RTM_UNAVAILABLE = 7,
    // Failed for good (the service refused the call, list not found, no client object); the work
    // is dropped.
    RTM_FAILED = 0x80000001u,
    // Nothing reached the service (refused, not resolved, connect time-out). Retried later, and
    // through the other proxy setting when the fall-back is allowed.
    RTM_NO_CONNECTION = 0x80000002u,
    // The service may or may not have acted, or cannot act just now (a time-out or a lost
    // connection after the request went out, its unavailable page, a 5xx answer, an unreadable
    // reply, no token yet). Retried later; a retry continues where the work stood.
    RTM_RETRY_LATER = 0x80000003u,
    // Given up because the worker is stopping; the work waits for the next worker.
    RTM_CANCELLED = 0x80000004u,
};

// What happened to one method call.
enum class CallOutcome {
    DONE,         // answered with a readable envelope that is not a failure
    NOT_SENT,     // nothing reached the service
    UNANSWERED,   // the request went out but no complete answer came back
    CANCELLED,    // a stop request ended it
    NO_TOKEN,     // not sent for want of an authorisation token
    UNAVAILABLE,  // the service's unavailable page
    HTTP_ERROR,   // an HTTP status outside 2xx
    REFUSED,      // an envelope with stat "fail"
    UNREADABLE,   // a body that is not the service's envelope
};

// The one place that says what a failed call means for the work it belonged to. `errorCode` is the
// code of a failure envelope (0 for none).
uint32_t WorkResultOf(CallOutcome outcome, int32_t httpStatus, long errorCode = 0);

// What the worker does with a queued item after an operation ended with `result`.
enum class ItemDecision {
    DONE,          // finished: forget the item
    DROP,          // failed for good (already reported): forget the item
    RETRY_DIRECT,  // unreachable: keep it, retry later and flip the proxy fall-back
    RETRY_LATER,   // keep it and retry later
    KEEP,          // the worker is stopping: keep it for the next one
};
ItemDecision DecideItem(uint32_t result);
bool IsRetry(ItemDecision decision);
