// The service's reply elements for lists and task series, written straight into one string
// (a getList of ten thousand series is built in a few milliseconds).
#pragma once

#include "emulator/TaskStore.h"

#include <string>
#include <vector>

namespace rtmemu {

void AppendEscaped(std::string& out, const std::string& text);
// ` name="value"` with the value escaped.
void AppendAttribute(std::string& out, const char* name, const std::string& value);

// `<list id name deleted locked archived position smart sort_order>` (with `<filter>` when smart).
void AppendList(std::string& out, const TaskList& list);
// The whole series: attributes, then rrule, tags, participants, notes and the given tasks (all
// of them when `tasks` is null).
void AppendSeries(std::string& out, const TaskSeries& series,
                  const std::vector<const Task*>* tasks = nullptr);
void AppendNote(std::string& out, const Note& note);
// `<transaction id undoable/>`.
void AppendTransaction(std::string& out, const std::string& id, bool undoable);

}  // namespace rtmemu
