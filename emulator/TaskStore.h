// The emulated service's lists and task series, one set per account, behind one lock. The REST
// methods work on an account inside `With`; tests use the other members to seed the account the
// emulator's user logs in to, to change it "on the service side" and to read it back.
#pragma once

#include "emulator/RepeatPhrase.h"
#include "emulator/ServiceTimes.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace rtmemu {

struct TaskList {
    std::string id;
    std::string name;
    bool deleted = false;
    bool locked = false;
    bool archived = false;
    int position = 0;
    bool smart = false;
    std::string filter;  // smart lists only
};

struct Note {
    std::string id;
    Instant created = 0;
    Instant modified = 0;
    std::string title;
    std::string text;
};

// One occurrence of a series.
struct Task {
    std::string id;
    std::optional<Instant> due;
    bool hasDueTime = false;
    Instant added = 0;
    std::optional<Instant> completed;
    std::optional<Instant> deleted;
    std::string priority = "N";  // "1", "2", "3" or "N"
    int postponed = 0;
    std::string estimate;
};

struct TaskSeries {
    std::string id;
    std::string listId;
    Instant created = 0;
    Instant modified = 0;
    std::string name;
    std::string source = "api";
    std::string url;
    std::string locationId;
    std::optional<Recurrence> rrule;
    std::vector<std::string> tags;
    std::vector<std::string> participants;
    std::vector<Note> notes;
    std::vector<Task> tasks;  // at least one

    Task* FindTask(const std::string& taskId);
    Note* FindNote(const std::string& noteId);
};

// Where a task lives: its list, series and (first) task.
struct TaskRef {
    std::string listId;
    std::string seriesId;
    std::string taskId;
};

class TaskStore;

// One user's data. Only valid inside TaskStore::With (the store's lock is held).
class Account {
  public:
    Account(TaskStore& store, std::string userId);

    const std::string& UserId() const { return m_UserId; }
    const TimeZone& Zone() const { return m_Zone; }
    void SetZone(const TimeZone& zone) { m_Zone = zone; }

    const std::vector<TaskList>& Lists() const { return m_Lists; }
    TaskList* FindList(const std::string& id);
    TaskList* FindListByName(const std::string& name);  // without regard to case
    TaskList& Inbox();
    TaskList& AddList(TaskList list);  // an empty id gets a new one

    const std::vector<TaskSeries>& Series() const { return m_Series; }
    TaskSeries* FindSeries(const std::string& id);
    // Fills in missing ids and times (created, modified, added: now) and a first task.
    TaskSeries& AddSeries(TaskSeries series);
    // The series holding a note, or null.
    TaskSeries* FindNoteOwner(const std::string& noteId);
    Note& AddNote(TaskSeries& series, Note note);

    std::string NewTimeline();
    bool HasTimeline(const std::string& id) const { return m_Timelines.count(id) != 0; }
    std::string NewTransaction();

    std::string NewId();
    // An id given from outside (a seed file) is taken only when no object of the store has it.
    bool IdTaken(const std::string& id) const;
    Instant Now() const;

  private:
    TaskStore& m_Store;
    std::string m_UserId;
    TimeZone m_Zone;
    std::vector<TaskList> m_Lists;
    std::unordered_map<std::string, size_t> m_ListIndex;
    // Series are never erased (deletion is a mark), so indexes stay valid.
    std::vector<TaskSeries> m_Series;
    std::unordered_map<std::string, size_t> m_SeriesIndex;
    std::unordered_map<std::string, size_t> m_NoteOwner;
    std::set<std::string> m_Timelines;
};

class TaskStore {
  public:
    // The account of `defaultUser` is the one the test members below work on.
    explicit TaskStore(std::string defaultUser);

    // Runs `work` on a user's account (made on first use, with its Inbox) under the lock.
    template <class Work>
    auto With(const std::string& userId, Work&& work) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return work(AccountFor(userId));
    }

    // The emulator's clock for every timestamp it writes; the system clock unless set.
    void SetClock(std::function<Instant()> clock);
    Instant Now() const;

    // --- The default user's account, for tests, the seed file and the demo. ---
    const std::string& DefaultUser() const { return m_DefaultUser; }
    // "UTC", "+10:00" or a zone name such as "Europe/Berlin"; false when unknown.
    bool SetTimeZone(const std::string& zone);
    std::string InboxId();
    // The id of the list with that name (without regard to case), made when missing.
    std::string EnsureList(const std::string& name);
    std::string ListId(const std::string& name);  // empty when there is none
    std::vector<TaskList> Lists();
    // A series as given (missing ids and times filled in) in the list with that id.
    TaskRef AddSeries(const std::string& listId, TaskSeries series);
    TaskRef AddTask(const std::string& listId, const std::string& name);
    // Changes on the service side; each bumps the series' modified time. False for an unknown id.
    bool RenameSeries(const std::string& seriesId, const std::string& name);
    bool CompleteSeries(const std::string& seriesId);  // every open task
    bool DeleteSeries(const std::string& seriesId);    // every task not deleted yet
    bool EditSeries(const std::string& seriesId, const std::function<void(TaskSeries&)>& edit);
    std::optional<TaskSeries> FindSeries(const std::string& seriesId);
    std::vector<TaskSeries> AllSeries();
    size_t SeriesCount();
    // Reads a seed file into the default account (format in emulator/samples/README.md).
    bool LoadSeedFile(const std::string& path, std::string* error = nullptr);
    bool LoadSeedText(const std::string& xml, std::string* error = nullptr);

  private:
    friend class Account;
    Account& AccountFor(const std::string& userId);
    std::string NextId();

    mutable std::mutex m_Mutex;
    std::string m_DefaultUser;
    std::function<Instant()> m_Clock;
    std::map<std::string, Account> m_Accounts;
    long long m_NextId = 1000001;
    std::set<std::string> m_UsedIds;
};

}  // namespace rtmemu
