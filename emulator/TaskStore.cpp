#include "emulator/TaskStore.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace rtmemu {

namespace {
bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

Task* TaskSeries::FindTask(const std::string& taskId) {
    for (Task& task : tasks)
        if (task.id == taskId)
            return &task;
    return nullptr;
}

Note* TaskSeries::FindNote(const std::string& noteId) {
    for (Note& note : notes)
        if (note.id == noteId)
            return &note;
    return nullptr;
}

Account::Account(TaskStore& store, std::string userId) : m_Store(store), m_UserId(std::move(userId)) {}

TaskList* Account::FindList(const std::string& id) {
    auto found = m_ListIndex.find(id);
    return found == m_ListIndex.end() ? nullptr : &m_Lists[found->second];
}

TaskList* Account::FindListByName(const std::string& name) {
    for (TaskList& list : m_Lists)
        if (SameText(list.name, name))
            return &list;
    return nullptr;
}

TaskList& Account::Inbox() {
    for (TaskList& list : m_Lists)
        if (list.name == "Inbox" && list.locked)
            return list;
    TaskList inbox;
    inbox.name = "Inbox";
    inbox.locked = true;
    inbox.position = -1;
    return AddList(inbox);
}

TaskList& Account::AddList(TaskList list) {
    if (list.id.empty())
        list.id = NewId();
    m_Store.m_UsedIds.insert(list.id);
    m_ListIndex[list.id] = m_Lists.size();
    m_Lists.push_back(std::move(list));
    return m_Lists.back();
}

TaskSeries* Account::FindSeries(const std::string& id) {
    auto found = m_SeriesIndex.find(id);
    return found == m_SeriesIndex.end() ? nullptr : &m_Series[found->second];
}

TaskSeries& Account::AddSeries(TaskSeries series) {
    const Instant now = Now();
    if (series.id.empty())
        series.id = NewId();
    if (series.created == 0)
        series.created = now;
    if (series.modified == 0)
        series.modified = std::max(now, series.created);
    if (series.tasks.empty())
        series.tasks.emplace_back();
    for (Task& task : series.tasks) {
        if (task.id.empty())
            task.id = NewId();
        if (task.added == 0)
            task.added = series.created;
        m_Store.m_UsedIds.insert(task.id);
    }
    m_Store.m_UsedIds.insert(series.id);
    const size_t index = m_Series.size();
    for (Note& note : series.notes) {
        if (note.id.empty())
            note.id = NewId();
        if (note.created == 0)
            note.created = series.created;
        if (note.modified == 0)
            note.modified = note.created;
        m_Store.m_UsedIds.insert(note.id);
        m_NoteOwner[note.id] = index;
    }
    m_SeriesIndex[series.id] = index;
    m_Series.push_back(std::move(series));
    return m_Series.back();
}

TaskSeries* Account::FindNoteOwner(const std::string& noteId) {
    auto found = m_NoteOwner.find(noteId);
    return found == m_NoteOwner.end() ? nullptr : &m_Series[found->second];
}

Note& Account::AddNote(TaskSeries& series, Note note) {
    if (note.id.empty())
        note.id = NewId();
    m_Store.m_UsedIds.insert(note.id);
    m_NoteOwner[note.id] = m_SeriesIndex.at(series.id);
    series.notes.push_back(std::move(note));
    return series.notes.back();
}

std::string Account::NewTimeline() {
    std::string id = NewId();
    m_Timelines.insert(id);
    return id;
}

std::string Account::NewTransaction() {
    return NewId();
}

std::string Account::NewId() {
    return m_Store.NextId();
}

bool Account::IdTaken(const std::string& id) const {
    return m_Store.m_UsedIds.count(id) != 0;
}

Instant Account::Now() const {
    return m_Store.m_Clock ? m_Store.m_Clock() : static_cast<Instant>(std::time(nullptr));
}

TaskStore::TaskStore(std::string defaultUser) : m_DefaultUser(std::move(defaultUser)) {}

Account& TaskStore::AccountFor(const std::string& userId) {
    auto found = m_Accounts.find(userId);
    if (found == m_Accounts.end()) {
        found = m_Accounts
                    .emplace(std::piecewise_construct, std::forward_as_tuple(userId),
                             std::forward_as_tuple(*this, userId))
                    .first;
        // Every account starts with its two built-in lists.
        found->second.Inbox();
        TaskList sent;
        sent.name = "Sent";
        sent.locked = true;
        sent.position = 1;
        found->second.AddList(sent);
    }
    return found->second;
}

std::string TaskStore::NextId() {
    std::string id;
    do {
        id = std::to_string(m_NextId++);
    } while (m_UsedIds.count(id));
    m_UsedIds.insert(id);
    return id;
}

void TaskStore::SetClock(std::function<Instant()> clock) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Clock = std::move(clock);
}

Instant TaskStore::Now() const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Clock ? m_Clock() : static_cast<Instant>(std::time(nullptr));
}

bool TaskStore::SetTimeZone(const std::string& zone) {
    const std::optional<TimeZone> found = TimeZone::Find(zone);
    if (!found)
        return false;
    With(m_DefaultUser, [&](Account& account) { account.SetZone(*found); });
    return true;
}

std::string TaskStore::InboxId() {
    return With(m_DefaultUser, [](Account& account) { return account.Inbox().id; });
}

std::string TaskStore::EnsureList(const std::string& name) {
    return With(m_DefaultUser, [&](Account& account) {
        if (TaskList* list = account.FindListByName(name))
            return list->id;
        TaskList list;
        list.name = name;
        return account.AddList(list).id;
    });
}

std::string TaskStore::ListId(const std::string& name) {
    return With(m_DefaultUser, [&](Account& account) {
        TaskList* list = account.FindListByName(name);
        return list ? list->id : std::string();
    });
}

std::vector<TaskList> TaskStore::Lists() {
    return With(m_DefaultUser, [](Account& account) { return account.Lists(); });
}

TaskRef TaskStore::AddSeries(const std::string& listId, TaskSeries series) {
    return With(m_DefaultUser, [&](Account& account) {
        series.listId = account.FindList(listId) ? listId : account.Inbox().id;
        TaskSeries& added = account.AddSeries(std::move(series));
        return TaskRef{added.listId, added.id, added.tasks.front().id};
    });
}

TaskRef TaskStore::AddTask(const std::string& listId, const std::string& name) {
    TaskSeries series;
    series.name = name;
    return AddSeries(listId, std::move(series));
}

bool TaskStore::EditSeries(const std::string& seriesId, const std::function<void(TaskSeries&)>& edit) {
    return With(m_DefaultUser, [&](Account& account) {
        TaskSeries* series = account.FindSeries(seriesId);
        if (!series)
            return false;
        edit(*series);
        series->modified = account.Now();
        return true;
    });
}

bool TaskStore::RenameSeries(const std::string& seriesId, const std::string& name) {
    return EditSeries(seriesId, [&](TaskSeries& series) { series.name = name; });
}

bool TaskStore::CompleteSeries(const std::string& seriesId) {
    const Instant now = Now();
    return EditSeries(seriesId, [&](TaskSeries& series) {
        for (Task& task : series.tasks)
            if (!task.completed && !task.deleted)
                task.completed = now;
    });
}

bool TaskStore::DeleteSeries(const std::string& seriesId) {
    const Instant now = Now();
    return EditSeries(seriesId, [&](TaskSeries& series) {
        for (Task& task : series.tasks)
            if (!task.deleted)
                task.deleted = now;
    });
}

std::optional<TaskSeries> TaskStore::FindSeries(const std::string& seriesId) {
    return With(m_DefaultUser, [&](Account& account) -> std::optional<TaskSeries> {
        TaskSeries* series = account.FindSeries(seriesId);
        if (!series)
            return std::nullopt;
        return *series;
    });
}

std::vector<TaskSeries> TaskStore::AllSeries() {
    return With(m_DefaultUser, [](Account& account) { return account.Series(); });
}

size_t TaskStore::SeriesCount() {
    return With(m_DefaultUser, [](Account& account) { return account.Series().size(); });
}

}  // namespace rtmemu
