// rtm.lists.getList, rtm.timelines.create and the rtm.tasks.* methods the plug-in uses.
#include "emulator/TaskMethods.h"

#include "emulator/Envelope.h"
#include "emulator/MethodRegistry.h"
#include "emulator/Occurrences.h"
#include "emulator/TaskStore.h"
#include "emulator/TaskXml.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace rtmemu {

namespace {

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

TaskStore& Store(MethodCall& call) {
    return call.state.Tasks();
}

const std::string& UserOf(const MethodCall& call) {
    return call.grant->user.id;
}

// `<list id><taskseries/></list>` after the transaction: the reply of every task write.
std::string SeriesReply(const TaskSeries& series, const std::string& transaction, bool undoable) {
    std::string out;
    out.reserve(1024);
    AppendTransaction(out, transaction, undoable);
    out += "<list";
    AppendAttribute(out, "id", series.listId);
    out += '>';
    AppendSeries(out, series);
    out += "</list>";
    return out;
}

std::string NoteReply(const Note& note, const std::string& transaction) {
    std::string out;
    AppendTransaction(out, transaction, true);
    AppendNote(out, note);
    return out;
}

// The task a write names: timeline first, then list, then series and task, as the service checks
// them. A deleted task cannot be changed any more.
struct TaskPath {
    TaskSeries* series = nullptr;
    Task* task = nullptr;
};

int ResolvePath(const MethodCall& call, Account& account, TaskPath& path) {
    if (!account.HasTimeline(call.Param("timeline")))
        return ERR_TIMELINE_INVALID;
    const TaskList* list = account.FindList(call.Param("list_id"));
    if (!list)
        return ERR_LIST_INVALID;
    path.series = account.FindSeries(call.Param("taskseries_id"));
    if (!path.series || path.series->listId != list->id)
        return ERR_TASK_INVALID;
    path.task = path.series->FindTask(call.Param("task_id"));
    if (!path.task || path.task->deleted)
        return ERR_TASK_INVALID;
    return 0;
}

// A change to one task (or its series): an error result, or nothing when it was made.
using Edit = std::function<std::optional<MethodResult>(Account&, TaskSeries&, Task&)>;

MethodResult WriteTask(MethodCall& call, const Edit& edit, bool undoable = true) {
    return Store(call).With(UserOf(call), [&](Account& account) {
        TaskPath path;
        if (const int code = ResolvePath(call, account, path))
            return MethodResult::Error(code);
        if (std::optional<MethodResult> failed = edit(account, *path.series, *path.task))
            return *failed;
        path.series->modified = account.Now();
        return MethodResult::Ok(SeriesReply(*path.series, account.NewTransaction(), undoable));
    });
}

MethodResult ListsGetList(MethodCall& call) {
    return Store(call).With(UserOf(call), [](Account& account) {
        std::string out = "<lists>";
        for (const TaskList& list : account.Lists())
            AppendList(out, list);
        out += "</lists>";
        return MethodResult::Ok(out);
    });
}

MethodResult TimelinesCreate(MethodCall& call) {
    return Store(call).With(UserOf(call), [](Account& account) {
        return MethodResult::Ok(XmlElement("timeline", account.NewTimeline()));
    });
}

MethodResult TasksGetList(MethodCall& call) {
    // Of the service's search language only what clients send here: an open or a done state.
    const std::string filter = call.Param("filter");
    if (!filter.empty() && filter != "status:incomplete" && filter != "status:completed")
        return MethodResult::Error(ERR_FILTER_INVALID, MSG_FILTER_INVALID);
    const auto matches = [&filter](const Task& task) {
        return filter.empty() || task.completed.has_value() == (filter == "status:completed");
    };
    const std::string lastSync = call.Param("last_sync");
    const bool incremental = !lastSync.empty();
    Instant since = 0;
    if (incremental) {
        const std::optional<TimeText> text = ParseTimeText(lastSync);
        if (!text)
            return MethodResult::Error(ERR_DATE_INVALID, MSG_DATE_INVALID);
        since = TimeZone().ToUtc(*text);  // the service's times are UTC
    }
    const std::string listId = call.Param("list_id");

    return Store(call).With(UserOf(call), [&](Account& account) {
        const std::vector<TaskList>& lists = account.Lists();
        if (!listId.empty() && !account.FindList(listId))
            return MethodResult::Error(ERR_LIST_INVALID);
        // Series by list, in one pass, so the reply stays linear in the number of series.
        std::unordered_map<std::string, size_t> listIndex;
        for (size_t i = 0; i < lists.size(); ++i)
            listIndex[lists[i].id] = i;
        std::vector<std::vector<const TaskSeries*>> byList(lists.size());
        for (const TaskSeries& series : account.Series()) {
            if (incremental && series.modified < since)
                continue;
            auto found = listIndex.find(series.listId);
            if (found != listIndex.end())
                byList[found->second].push_back(&series);
        }

        std::string out;
        out.reserve(64 + account.Series().size() * 450);
        out += "<tasks>";
        std::string deleted;
        std::vector<const Task*> tasks;
        for (size_t i = 0; i < lists.size(); ++i) {
            const TaskList& list = lists[i];
            if ((!listId.empty() && list.id != listId) || byList[i].empty())
                continue;
            const size_t listStart = out.size();
            out += "<list";
            AppendAttribute(out, "id", list.id);
            if (incremental)
                AppendAttribute(out, "current", lastSync);
            out += '>';
            const size_t bodyStart = out.size();
            deleted.clear();
            for (const TaskSeries* series : byList[i]) {
                tasks.clear();
                std::string gone;
                for (const Task& task : series->tasks) {
                    if (task.deleted) {
                        if (incremental && *task.deleted >= since) {
                            gone += "<task";
                            AppendAttribute(gone, "id", task.id);
                            AppendAttribute(gone, "deleted", FormatUtc(*task.deleted));
                            gone += "/>";
                        }
                    } else if (matches(task)) {
                        tasks.push_back(&task);
                    }
                }
                if (!tasks.empty())
                    AppendSeries(out, *series, &tasks);
                if (!gone.empty()) {
                    deleted += "<taskseries";
                    AppendAttribute(deleted, "id", series->id);
                    deleted += '>';
                    deleted += gone;
                    deleted += "</taskseries>";
                }
            }
            // A list with nothing to report is left out; one with only deletions stays.
            if (out.size() == bodyStart && deleted.empty()) {
                out.resize(listStart);
                continue;
            }
            if (!deleted.empty())
                out += "<deleted>" + deleted + "</deleted>";
            out += "</list>";
        }
        out += "</tasks>";
        return MethodResult::Ok(std::move(out));
    });
}

MethodResult TasksAdd(MethodCall& call) {
    return Store(call).With(UserOf(call), [&](Account& account) {
        if (!account.HasTimeline(call.Param("timeline")))
            return MethodResult::Error(ERR_TIMELINE_INVALID);
        const TaskList* list =
            call.Param("list_id").empty() ? &account.Inbox() : account.FindList(call.Param("list_id"));
        // Smart lists only show tasks of other lists.
        if (!list || list->smart || list->deleted)
            return MethodResult::Error(ERR_LIST_INVALID);
        const std::string name = Trim(call.Param("name"));
        if (name.empty())
            return MethodResult::Error(ERR_TASK_NAME_INVALID);
        TaskSeries series;
        series.name = name;
        series.listId = list->id;
        const TaskSeries& added = account.AddSeries(std::move(series));
        return MethodResult::Ok(SeriesReply(added, account.NewTransaction(), false));
    });
}

MethodResult SetName(MethodCall& call) {
    return WriteTask(call, [&call](Account&, TaskSeries& series, Task&) -> std::optional<MethodResult> {
        const std::string name = Trim(call.Param("name"));
        if (name.empty())
            return MethodResult::Error(ERR_TASK_NAME_INVALID);
        series.name = name;
        return std::nullopt;
    });
}

MethodResult SetDueDate(MethodCall& call) {
    return WriteTask(call, [&call](Account& account, TaskSeries&, Task& task) -> std::optional<MethodResult> {
        const std::string due = Trim(call.Param("due"));
        if (due.empty()) {
            task.due.reset();
            task.hasDueTime = false;
            return std::nullopt;
        }
        const std::optional<TimeText> text = ParseTimeText(due);
        if (!text)
            return MethodResult::Error(ERR_DATE_INVALID, MSG_DATE_INVALID);
        // A date alone is the day's start in the user's zone; a time without a zone is read there too.
        task.due = account.Zone().ToUtc(*text);
        task.hasDueTime = !text->dateOnly && call.Param("has_due_time") == "1";
        return std::nullopt;
    });
}

MethodResult SetPriority(MethodCall& call) {
    return WriteTask(call, [&call](Account&, TaskSeries& series, Task&) -> std::optional<MethodResult> {
        const std::string value = call.Param("priority");
        const std::string priority = value == "1" || value == "2" || value == "3" ? value : "N";
        // Priority belongs to the series although every task carries it.
        for (Task& task : series.tasks)
            task.priority = priority;
        return std::nullopt;
    });
}

MethodResult SetRecurrence(MethodCall& call) {
    return WriteTask(call, [&call](Account&, TaskSeries& series, Task&) -> std::optional<MethodResult> {
        const std::string repeat = Trim(call.Param("repeat"));
        if (repeat.empty() || repeat == "never" || repeat == "Never") {
            series.rrule.reset();
            return std::nullopt;
        }
        std::optional<Recurrence> recurrence = ParseRepeatPhrase(repeat);
        if (!recurrence)
            return MethodResult::Error(ERR_REPEAT_INVALID, MSG_REPEAT_INVALID);
        series.rrule = std::move(recurrence);
        return std::nullopt;
    });
}

MethodResult SetTags(MethodCall& call) {
    return WriteTask(call, [&call](Account&, TaskSeries& series, Task&) -> std::optional<MethodResult> {
        // Tags are separated by commas or spaces; repeats count once.
        std::vector<std::string> tags;
        std::string tag;
        const std::string text = call.Param("tags") + ",";
        for (char c : text) {
            if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
                if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end())
                    tags.push_back(tag);
                tag.clear();
            } else {
                tag += c;
            }
        }
        series.tags = std::move(tags);
        return std::nullopt;
    });
}

MethodResult SetURL(MethodCall& call) {
    return WriteTask(call, [&call](Account&, TaskSeries& series, Task&) -> std::optional<MethodResult> {
        series.url = Trim(call.Param("url"));
        return std::nullopt;
    });
}

// Completing the open task of an "every" series adds the next occurrence to the series, unless
// the rule has ended or another occurrence is open already (after an uncomplete).
void AddNextOccurrence(Account& account, TaskSeries& series, const Task& done) {
    if (!series.rrule || !series.rrule->every || !done.due)
        return;
    for (const Task& task : series.tasks)
        if (task.id != done.id && !task.completed && !task.deleted)
            return;
    const Instant first = series.tasks.front().due.value_or(*done.due);
    const std::optional<Instant> due =
        NextOccurrence(series.rrule->rule, first, *done.due, !done.hasDueTime, account.Zone());
    if (!due)
        return;
    Task next;
    next.id = account.NewId();
    next.due = due;
    next.hasDueTime = done.hasDueTime;
    next.added = account.Now();
    next.priority = done.priority;
    next.estimate = done.estimate;
    series.tasks.push_back(next);
}

MethodResult Complete(MethodCall& call) {
    return WriteTask(
        call, [](Account& account, TaskSeries& series, Task& task) -> std::optional<MethodResult> {
            // Completing again keeps the first completion time.
            if (task.completed)
                return std::nullopt;
            task.completed = account.Now();
            AddNextOccurrence(account, series, Task(task));  // a copy: the series' tasks may move
            return std::nullopt;
        });
}

MethodResult Uncomplete(MethodCall& call) {
    return WriteTask(call, [](Account&, TaskSeries&, Task& task) -> std::optional<MethodResult> {
        task.completed.reset();
        return std::nullopt;
    });
}

MethodResult Delete(MethodCall& call) {
    return WriteTask(call, [](Account& account, TaskSeries&, Task& task) -> std::optional<MethodResult> {
        task.deleted = account.Now();
        return std::nullopt;
    });
}

MethodResult NotesAdd(MethodCall& call) {
    return Store(call).With(UserOf(call), [&](Account& account) {
        TaskPath path;
        if (const int code = ResolvePath(call, account, path))
            return MethodResult::Error(code);
        const Instant now = account.Now();
        Note note;
        note.created = note.modified = now;
        note.title = call.Param("note_title");
        note.text = call.Param("note_text");
        const Note& added = account.AddNote(*path.series, std::move(note));
        path.series->modified = now;
        return MethodResult::Ok(NoteReply(added, account.NewTransaction()));
    });
}

MethodResult NotesEdit(MethodCall& call) {
    return Store(call).With(UserOf(call), [&](Account& account) {
        if (!account.HasTimeline(call.Param("timeline")))
            return MethodResult::Error(ERR_TIMELINE_INVALID);
        const std::string noteId = call.Param("note_id");
        TaskSeries* series = account.FindNoteOwner(noteId);
        Note* note = series ? series->FindNote(noteId) : nullptr;
        if (!note)
            return MethodResult::Error(ERR_NOTE_INVALID);
        const Instant now = account.Now();
        note->title = call.Param("note_title");
        note->text = call.Param("note_text");
        note->modified = now;
        series->modified = now;
        return MethodResult::Ok(NoteReply(*note, account.NewTransaction()));
    });
}

}  // namespace

void RegisterTaskMethods(MethodRegistry& registry) {
    registry.Add("rtm.lists.getList", {ListsGetList, true, Perms::Read});
    registry.Add("rtm.timelines.create", {TimelinesCreate, true, Perms::Read});
    registry.Add("rtm.tasks.getList", {TasksGetList, true, Perms::Read});
    registry.Add("rtm.tasks.add", {TasksAdd, true, Perms::Write});
    registry.Add("rtm.tasks.setName", {SetName, true, Perms::Write});
    registry.Add("rtm.tasks.setDueDate", {SetDueDate, true, Perms::Write});
    registry.Add("rtm.tasks.setPriority", {SetPriority, true, Perms::Write});
    registry.Add("rtm.tasks.setRecurrence", {SetRecurrence, true, Perms::Write});
    registry.Add("rtm.tasks.setTags", {SetTags, true, Perms::Write});
    registry.Add("rtm.tasks.setURL", {SetURL, true, Perms::Write});
    registry.Add("rtm.tasks.complete", {Complete, true, Perms::Write});
    registry.Add("rtm.tasks.uncomplete", {Uncomplete, true, Perms::Write});
    registry.Add("rtm.tasks.delete", {Delete, true, Perms::Delete});
    registry.Add("rtm.tasks.notes.add", {NotesAdd, true, Perms::Write});
    registry.Add("rtm.tasks.notes.edit", {NotesEdit, true, Perms::Write});
}

}  // namespace rtmemu
