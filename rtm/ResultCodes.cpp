#include "rtm/ResultCodes.h"

uint32_t WorkResultOf(CallOutcome outcome, int32_t httpStatus) {
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
            return RTM_FAILED;
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
