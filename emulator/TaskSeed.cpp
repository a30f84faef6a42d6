// Seed files: an account's lists and task series in the shape of the service's own replies
// (see samples/README.md). The whole file is read and checked before the account changes.
#include "emulator/TaskStore.h"

#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>

#include <fstream>
#include <sstream>

namespace rtmemu {

namespace {

std::string Utf8(const wxString& text) {
    return std::string(text.utf8_str());
}

std::string Attr(const wxXmlNode* node, const char* name, const std::string& fallback = std::string()) {
    wxString value;
    return node->GetAttribute(wxString::FromUTF8(name), &value) ? Utf8(value) : fallback;
}

bool HasAttr(const wxXmlNode* node, const char* name) {
    return node->HasAttribute(wxString::FromUTF8(name));
}

std::string Name(const wxXmlNode* node) {
    return Utf8(node->GetName());
}

bool Flag(const std::string& text) {
    return text == "1" || text == "true";
}

struct ParsedList {
    TaskList list;
    std::vector<TaskSeries> series;
};

class SeedReader {
  public:
    explicit SeedReader(const TimeZone& zone) : m_Zone(zone) {}

    bool Read(const wxXmlNode* root, std::string& error) {
        const std::string zoneName = Attr(root, "timezone");
        if (!zoneName.empty()) {
            const std::optional<TimeZone> zone = TimeZone::Find(zoneName);
            if (!zone)
                return Fail(error, "unknown time zone \"" + zoneName + "\"");
            m_Zone = *zone;
            m_ZoneSet = true;
        }
        return Walk(root, error);
    }

    const TimeZone& Zone() const { return m_Zone; }
    bool ZoneSet() const { return m_ZoneSet; }
    std::vector<ParsedList>& Lists() { return m_Lists; }
    const std::set<std::string>& Ids() const { return m_Ids; }

  private:
    static bool Fail(std::string& error, const std::string& text) {
        error = text;
        return false;
    }

    bool Walk(const wxXmlNode* node, std::string& error) {
        for (const wxXmlNode* child = node->GetChildren(); child; child = child->GetNext()) {
            if (child->GetType() != wxXML_ELEMENT_NODE)
                continue;
            if (Name(child) == "list") {
                if (!ReadList(child, error))
                    return false;
            } else if (!Walk(child, error)) {
                return false;
            }
        }
        return true;
    }

    bool Claim(const std::string& id, const std::string& where, std::string& error) {
        if (id.empty())
            return true;
        if (!m_Ids.insert(id).second)
            return Fail(error, where + ": the id \"" + id + "\" is used twice");
        return true;
    }

    bool Time(const wxXmlNode* node, const char* name, std::optional<Instant>& time, const std::string& where,
              std::string& error, bool* dateOnly = nullptr) {
        const std::string text = Attr(node, name);
        if (text.empty())
            return true;
        const std::optional<TimeText> parsed = ParseTimeText(text);
        if (!parsed)
            return Fail(error, where + ": " + name + "=\"" + text + "\" is no ISO 8601 date or time");
        time = m_Zone.ToUtc(*parsed);
        if (dateOnly)
            *dateOnly = parsed->dateOnly;
        return true;
    }

    bool ReadList(const wxXmlNode* node, std::string& error) {
        ParsedList parsed;
        TaskList& list = parsed.list;
        list.id = Attr(node, "id");
        list.name = Attr(node, "name");
        const std::string where = "list \"" + (list.name.empty() ? list.id : list.name) + "\"";
        if (list.id.empty() && list.name.empty())
            return Fail(error, "a list needs an id or a name");
        list.deleted = Flag(Attr(node, "deleted"));
        list.locked = Flag(Attr(node, "locked"));
        list.archived = Flag(Attr(node, "archived"));
        list.smart = Flag(Attr(node, "smart"));
        list.position = std::atoi(Attr(node, "position", "0").c_str());
        list.filter = Attr(node, "filter");
        for (const wxXmlNode* child = node->GetChildren(); child; child = child->GetNext()) {
            if (child->GetType() != wxXML_ELEMENT_NODE)
                continue;
            if (Name(child) == "filter") {
                list.filter = Utf8(child->GetNodeContent());
            } else if (Name(child) == "taskseries") {
                TaskSeries series;
                if (!ReadSeries(child, where, series, error))
                    return false;
                parsed.series.push_back(std::move(series));
            }
        }
        m_Lists.push_back(std::move(parsed));
        return true;
    }

    bool ReadSeries(const wxXmlNode* node, const std::string& listWhere, TaskSeries& series,
                    std::string& error) {
        series.id = Attr(node, "id");
        series.name = Attr(node, "name");
        const std::string where = listWhere + ", series \"" + series.name + "\"";
        if (series.name.empty())
            return Fail(error, listWhere + ": a series without a name");
        if (!Claim(series.id, where, error))
            return false;
        std::optional<Instant> created, modified;
        if (!Time(node, "created", created, where, error) || !Time(node, "modified", modified, where, error))
            return false;
        series.created = created.value_or(0);
        series.modified = modified.value_or(0);
        series.source = Attr(node, "source", "api");
        series.url = Attr(node, "url");
        series.locationId = Attr(node, "location_id");
        for (const wxXmlNode* child = node->GetChildren(); child; child = child->GetNext()) {
            if (child->GetType() != wxXML_ELEMENT_NODE)
                continue;
            const std::string name = Name(child);
            if (name == "rrule") {
                if (!ReadRule(child, where, series, error))
                    return false;
            } else if (name == "tags") {
                for (const wxXmlNode* tag = child->GetChildren(); tag; tag = tag->GetNext())
                    if (tag->GetType() == wxXML_ELEMENT_NODE && !tag->GetNodeContent().empty())
                        series.tags.push_back(Utf8(tag->GetNodeContent()));
            } else if (name == "participants") {
                for (const wxXmlNode* contact = child->GetChildren(); contact; contact = contact->GetNext())
                    if (contact->GetType() == wxXML_ELEMENT_NODE)
                        series.participants.push_back(Attr(contact, "id"));
            } else if (name == "notes") {
                for (const wxXmlNode* note = child->GetChildren(); note; note = note->GetNext()) {
                    if (note->GetType() != wxXML_ELEMENT_NODE)
                        continue;
                    Note read;
                    read.id = Attr(note, "id");
                    read.title = Attr(note, "title");
                    read.text = Utf8(note->GetNodeContent());
                    std::optional<Instant> noteCreated, noteModified;
                    if (!Claim(read.id, where, error) || !Time(note, "created", noteCreated, where, error) ||
                        !Time(note, "modified", noteModified, where, error))
                        return false;
                    read.created = noteCreated.value_or(0);
                    read.modified = noteModified.value_or(0);
                    series.notes.push_back(std::move(read));
                }
            } else if (name == "task") {
                Task task;
                if (!ReadTask(child, where, task, error))
                    return false;
                series.tasks.push_back(std::move(task));
            }
        }
        return true;
    }

    bool ReadRule(const wxXmlNode* node, const std::string& where, TaskSeries& series, std::string& error) {
        Recurrence rule;
        rule.every = Attr(node, "every", "1") != "0";
        rule.rule = Utf8(node->GetNodeContent());
        const std::string phrase = Attr(node, "repeat");
        if (rule.rule.empty() && !phrase.empty()) {
            std::optional<Recurrence> parsed = ParseRepeatPhrase(phrase);
            if (!parsed)
                return Fail(error, where + ": the repeat \"" + phrase + "\" cannot be read");
            rule = *parsed;
        }
        if (rule.rule.empty())
            return Fail(error, where + ": an empty rrule");
        series.rrule = rule;
        return true;
    }

    bool ReadTask(const wxXmlNode* node, const std::string& where, Task& task, std::string& error) {
        task.id = Attr(node, "id");
        if (!Claim(task.id, where, error))
            return false;
        bool dateOnly = false;
        std::optional<Instant> added;
        if (!Time(node, "due", task.due, where, error, &dateOnly) ||
            !Time(node, "added", added, where, error) ||
            !Time(node, "completed", task.completed, where, error) ||
            !Time(node, "deleted", task.deleted, where, error))
            return false;
        task.added = added.value_or(0);
        // A date alone is the user's local midnight, without a time of day.
        task.hasDueTime =
            task.due && (HasAttr(node, "has_due_time") ? Flag(Attr(node, "has_due_time")) : !dateOnly);
        task.priority = Attr(node, "priority", "N");
        if (task.priority != "1" && task.priority != "2" && task.priority != "3" && task.priority != "N")
            return Fail(error, where + ": priority=\"" + task.priority + "\" is not 1, 2, 3 or N");
        task.postponed = std::atoi(Attr(node, "postponed", "0").c_str());
        task.estimate = Attr(node, "estimate");
        return true;
    }

    TimeZone m_Zone;
    bool m_ZoneSet = false;
    std::vector<ParsedList> m_Lists;
    std::set<std::string> m_Ids;
};

}  // namespace

bool TaskStore::LoadSeedFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string reason;
    if (!LoadSeedText(text.str(), &reason)) {
        if (error)
            *error = path + ": " + reason;
        return false;
    }
    return true;
}

bool TaskStore::LoadSeedText(const std::string& xml, std::string* error) {
    std::string reason;
    const auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    wxXmlDocument document;
    {
        wxLogNull quiet;  // the reason goes to the caller, not to a log window
        wxMemoryInputStream stream(xml.data(), xml.size());
        if (!document.Load(stream, wxT("UTF-8")) || !document.GetRoot())
            return fail("not well-formed XML");
    }
    const TimeZone zone = With(m_DefaultUser, [](Account& account) { return account.Zone(); });
    SeedReader reader(zone);
    if (!reader.Read(document.GetRoot(), reason))
        return fail(reason);

    return With(m_DefaultUser, [&](Account& account) {
        for (const std::string& id : reader.Ids())
            if (account.IdTaken(id))
                return fail("the id \"" + id + "\" is already in use");
        for (const ParsedList& parsed : reader.Lists()) {
            const bool known = !parsed.list.id.empty() && account.FindList(parsed.list.id);
            if (!parsed.list.id.empty() && account.IdTaken(parsed.list.id) && !known)
                return fail("the list id \"" + parsed.list.id + "\" is already in use");
            if (parsed.list.name.empty() && !known)
                return fail("list \"" + parsed.list.id + "\": a new list needs a name");
        }
        if (reader.ZoneSet())
            account.SetZone(reader.Zone());
        for (ParsedList& parsed : reader.Lists()) {
            // A list of the account (by id, else by name) takes the series; others are added.
            TaskList* list = parsed.list.id.empty() ? nullptr : account.FindList(parsed.list.id);
            if (!list && !parsed.list.name.empty())
                list = account.FindListByName(parsed.list.name);
            if (!list)
                list = &account.AddList(parsed.list);
            const std::string listId = list->id;
            for (TaskSeries& series : parsed.series) {
                series.listId = listId;
                account.AddSeries(std::move(series));
            }
        }
        return true;
    });
}

}  // namespace rtmemu
