// The search language of getList's `filter`, as far as clients use it: status:incomplete|completed,
// priority:1|2|3|none, tag:NAME, list:"Name", name:TEXT, isRepeating:true|false, isTagged:true|false,
// joined with and/or (and also by a plain space), not, and parentheses. Words are compared without
// regard to case.
#pragma once

#include "emulator/TaskStore.h"

#include <memory>
#include <string>

namespace rtmemu {

class TaskFilter {
  public:
    // A filter for the text, or null (with the reason) when the text cannot be read. An empty
    // text gives a filter that lets everything through.
    static std::unique_ptr<TaskFilter> Parse(const std::string& text, std::string* error = nullptr);
    virtual ~TaskFilter() = default;
    virtual bool Matches(const TaskList& list, const TaskSeries& series, const Task& task) const = 0;
};

}  // namespace rtmemu
