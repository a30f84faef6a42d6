// The English repeat phrases of setRecurrence ("every 2 weeks", "after 3 days", "Every month on
// the last Friday for 5 times", …) and the rule text the service answers with.
#pragma once

#include <optional>
#include <string>

namespace rtmemu {

struct Recurrence {
    bool every = true;  // false: "after" — the next one counts from the completion
    std::string rule;   // RRULE text without "RRULE:", e.g. "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO"
};

// The rule for a phrase (case-insensitive), or nothing when the phrase cannot be read. The caller
// treats an empty phrase as "no repeat" before asking.
std::optional<Recurrence> ParseRepeatPhrase(const std::string& phrase);

}  // namespace rtmemu
