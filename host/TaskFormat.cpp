#include "host/TaskFormat.h"

#include <algorithm>

namespace {
std::string Text(const char* value) {
    return value ? value : "";
}

std::string DueText(const icalcomponent* todo) {
    icalproperty* due = icalcomponent_get_first_property(const_cast<icalcomponent*>(todo), ICAL_DUE_PROPERTY);
    if (!due)
        return "";
    const icaltimetype t = icalproperty_get_due(due);
    if (icaltime_is_null_time(t))
        return "";
    char buffer[32];
    if (t.is_date) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
    } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d%s", t.year, t.month, t.day, t.hour,
                      t.minute, icaltime_is_utc(t) ? " UTC" : "");
    }
    return buffer;
}

std::string Categories(icalcomponent* todo) {
    std::string tags;
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_CATEGORIES_PROPERTY)) {
        if (!tags.empty())
            tags += ", ";
        tags += Text(icalproperty_get_categories(p));
    }
    return tags;
}
}  // namespace

std::string FormatTask(const icalcomponent* constTodo) {
    auto* todo = const_cast<icalcomponent*>(constTodo);
    const bool done = icalcomponent_get_status(todo) == ICAL_STATUS_COMPLETED;
    std::string line = done ? "[x] " : "[ ] ";
    line += Text(icalcomponent_get_summary(todo));
    std::vector<std::string> fields;
    const std::string due = DueText(todo);
    if (!due.empty())
        fields.push_back("due " + due);
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_PRIORITY_PROPERTY)) {
        if (icalproperty_get_priority(p) != 0)
            fields.push_back("priority " + std::to_string(icalproperty_get_priority(p)));
    }
    const std::string tags = Categories(todo);
    if (!tags.empty())
        fields.push_back("tags: " + tags);
    if (icalcomponent_get_first_property(todo, ICAL_RRULE_PROPERTY))
        fields.push_back("repeats");
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_URL_PROPERTY)) {
        fields.push_back("url " + Text(icalproperty_get_url(p)));
    }
    if (!fields.empty()) {
        line += "  (";
        for (size_t i = 0; i < fields.size(); ++i)
            line += (i ? ", " : "") + fields[i];
        line += ")";
    }
    line += "  uid " + Text(icalcomponent_get_uid(todo));
    return line;
}

std::vector<std::string> FormatTasks(std::vector<const icalcomponent*> todos) {
    std::vector<std::pair<std::string, std::string>> keyed;  // sort key, line
    for (const icalcomponent* todo : todos) {
        if (icalcomponent_isa(const_cast<icalcomponent*>(todo)) != ICAL_VTODO_COMPONENT)
            continue;
        const std::string due = DueText(todo);
        keyed.emplace_back((due.empty() ? "~" : due) + "\t" +
                               Text(icalcomponent_get_summary(const_cast<icalcomponent*>(todo))),
                           FormatTask(todo));
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> lines;
    for (auto& entry : keyed)
        lines.push_back(std::move(entry.second));
    return lines;
}
