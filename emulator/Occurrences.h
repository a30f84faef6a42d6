// The next occurrence of a repeating task: what completing a task of an "every" series adds.
#pragma once

#include "emulator/ServiceTimes.h"

#include <optional>
#include <string>

namespace rtmemu {

// The due after `current` of the rule that started at `first`, counted on the user's wall clock
// (a date-only due stays the local midnight, a time of day stays the same across daylight saving).
// Nothing when the rule has ended (COUNT, UNTIL) or cannot be read.
std::optional<Instant> NextOccurrence(const std::string& rule, Instant first, Instant current, bool dateOnly,
                                      const TimeZone& zone);

}  // namespace rtmemu
