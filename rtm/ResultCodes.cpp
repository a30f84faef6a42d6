#include "rtm/ResultCodes.h"

namespace {
// Refusals that pass: the service is down (105), the timeline expired (300), or the token was
// revoked or lacks permission (98, 99) until the user authorises again and the calendar restarts.
bool IsPassingRefusal(long code) {
    return code == 105 || code == 300 || code == 98 || code == 99;
}
}  // namespace

uint32_t WorkResultOf(CallOutcome outcome, int32_t httpStatus, long errorCode) {
    switch (outcome) {
        case CallOutcome::DONE:
            return RTM_OK;
        case CallOutcome::NOT_SENT:
            return RTM_NO_CONNECTION;
        case CallOutcome::CANCELLED:
            return RTM_CANCELLED;
        case CallOutcome::HTTP_ERROR:
            // A server error passes; a request the server will never accept does not.
            return httpStatus >= 500 || httpStatus == 408 || httpStatus == 429 ? RTM_RETRY_LATER : RTM_FAILED;
        case CallOutcome::REFUSED:
            return IsPassingRefusal(errorCode) ? RTM_RETRY_LATER : RTM_FAILED;
        case CallOutcome::UNANSWERED:
        case CallOutcome::NO_TOKEN:
        case CallOutcome::UNAVAILABLE:
        case CallOutcome::UNREADABLE:
            return RTM_RETRY_LATER;
    }
    return RTM_FAILED;
}

ItemDecision DecideItem(uint32_t result) {
    switch (result) {
        case RTM_OK:
            return ItemDecision::DONE;
        case RTM_NO_CONNECTION:
            return ItemDecision::RETRY_DIRECT;
        case RTM_RETRY_LATER:
        case RTM_UNAVAILABLE:
            return ItemDecision::RETRY_LATER;
        case RTM_CANCELLED:
            return ItemDecision::KEEP;
        default:
            return ItemDecision::DROP;
    }
}

bool IsRetry(ItemDecision decision) {
    return decision == ItemDecision::RETRY_DIRECT || decision == ItemDecision::RETRY_LATER;
}
