// Error codes of the task methods beyond the ones the service documents. The service's own code
// for these cases is not known; they sit in its range of task errors (4000 and up).
#pragma once

namespace rtmemu {

enum TaskErrorCode {
    // A due or last_sync text that is no ISO 8601 date or date-time.
    ERR_DATE_INVALID = 4020,
    // setRecurrence with a repeat phrase the emulator cannot read.
    ERR_REPEAT_INVALID = 4040,
    // getList with a filter the emulator cannot read.
    ERR_FILTER_INVALID = 4050,
};

const char* const MSG_DATE_INVALID = "Date provided is invalid.";
const char* const MSG_REPEAT_INVALID = "Repeat provided is invalid.";
const char* const MSG_FILTER_INVALID = "Filter provided is invalid.";

}  // namespace rtmemu
