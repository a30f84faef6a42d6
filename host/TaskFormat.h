// How the headless host prints a to-do for a person: one line with its state, title and fields.
#pragma once

#include <libical/ical.h>

#include <string>
#include <vector>

std::string FormatTask(const icalcomponent* todo);
// The lines of a calendar's to-dos, sorted by due date (undated last), then title.
std::vector<std::string> FormatTasks(std::vector<const icalcomponent*> todos);
