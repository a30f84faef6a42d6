#include "emulator/TaskXml.h"

namespace rtmemu {

namespace {
void AppendTime(std::string& out, const char* name, const std::optional<Instant>& time) {
    out += ' ';
    out += name;
    out += "=\"";
    if (time)
        AppendUtc(out, *time);
    out += '"';
}

void AppendFlag(std::string& out, const char* name, bool value) {
    out += ' ';
    out += name;
    out += value ? "=\"1\"" : "=\"0\"";
}

void AppendTask(std::string& out, const Task& task) {
    out += "<task";
    AppendAttribute(out, "id", task.id);
    AppendTime(out, "due", task.due);
    AppendFlag(out, "has_due_time", task.hasDueTime);
    AppendTime(out, "added", task.added);
    AppendTime(out, "completed", task.completed);
    AppendTime(out, "deleted", task.deleted);
    AppendAttribute(out, "priority", task.priority);
    AppendAttribute(out, "postponed", std::to_string(task.postponed));
    AppendAttribute(out, "estimate", task.estimate);
    out += "/>";
}
}  // namespace

void AppendEscaped(std::string& out, const std::string& text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '"':
                entity = "&quot;";
                break;
            case '\'':
                entity = "&apos;";
                break;
            // Line breaks in attribute values would be read back as spaces.
            case '\n':
                entity = "&#10;";
                break;
            case '\r':
                entity = "&#13;";
                break;
            case '\t':
                entity = "&#9;";
                break;
            default:
                continue;
        }
        out.append(text, start, i - start);
        out += entity;
        start = i + 1;
    }
    out.append(text, start, std::string::npos);
}

void AppendAttribute(std::string& out, const char* name, const std::string& value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendEscaped(out, value);
    out += '"';
}

void AppendList(std::string& out, const TaskList& list) {
    out += "<list";
    AppendAttribute(out, "id", list.id);
    AppendAttribute(out, "name", list.name);
    AppendFlag(out, "deleted", list.deleted);
    AppendFlag(out, "locked", list.locked);
    AppendFlag(out, "archived", list.archived);
    AppendAttribute(out, "position", std::to_string(list.position));
    AppendFlag(out, "smart", list.smart);
    AppendAttribute(out, "sort_order", "0");
    if (!list.smart) {
        out += "/>";
        return;
    }
    out += "><filter>";
    AppendEscaped(out, list.filter);
    out += "</filter></list>";
}

void AppendNote(std::string& out, const Note& note) {
    out += "<note";
    AppendAttribute(out, "id", note.id);
    AppendTime(out, "created", note.created);
    AppendTime(out, "modified", note.modified);
    AppendAttribute(out, "title", note.title);
    out += '>';
    AppendEscaped(out, note.text);
    out += "</note>";
}

void AppendSeries(std::string& out, const TaskSeries& series, const std::vector<const Task*>* tasks) {
    out += "<taskseries";
    AppendAttribute(out, "id", series.id);
    AppendTime(out, "created", series.created);
    AppendTime(out, "modified", series.modified);
    AppendAttribute(out, "name", series.name);
    AppendAttribute(out, "source", series.source);
    AppendAttribute(out, "url", series.url);
    AppendAttribute(out, "location_id", series.locationId);
    out += '>';
    if (series.rrule) {
        out += series.rrule->every ? "<rrule every=\"1\">" : "<rrule every=\"0\">";
        AppendEscaped(out, series.rrule->rule);
        out += "</rrule>";
    }
    if (series.tags.empty()) {
        out += "<tags/>";
    } else {
        out += "<tags>";
        for (const std::string& tag : series.tags) {
            out += "<tag>";
            AppendEscaped(out, tag);
            out += "</tag>";
        }
        out += "</tags>";
    }
    if (series.participants.empty()) {
        out += "<participants/>";
    } else {
        out += "<participants>";
        for (const std::string& contact : series.participants) {
            out += "<contact";
            AppendAttribute(out, "id", contact);
            out += "/>";
        }
        out += "</participants>";
    }
    if (series.notes.empty()) {
        out += "<notes/>";
    } else {
        out += "<notes>";
        for (const Note& note : series.notes)
            AppendNote(out, note);
        out += "</notes>";
    }
    if (tasks) {
        for (const Task* task : *tasks)
            AppendTask(out, *task);
    } else {
        for (const Task& task : series.tasks)
            AppendTask(out, task);
    }
    out += "</taskseries>";
}

void AppendTransaction(std::string& out, const std::string& id, bool undoable) {
    out += "<transaction";
    AppendAttribute(out, "id", id);
    AppendFlag(out, "undoable", undoable);
    out += "/>";
}

}  // namespace rtmemu
