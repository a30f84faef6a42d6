#include "sync/PendingJournal.h"

#include "sync/AtomicFile.h"
#include "sync/OfflineFileName.h"

#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <cstdlib>
#include <sstream>

namespace {
const char* const HEADER = "CORVANE-RTM-PENDING 1";
const char* const END = "END";

std::string Escape(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    std::string out;
    for (size_t i = 0; i < utf8.length(); ++i) {
        const char c = utf8.data()[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

wxString Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return wxString::FromUTF8(out.data(), out.size());
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

}  // namespace

std::string FormatJournal(const JournalView& view) {
    std::string text = std::string(HEADER) + "\n";
    if (view.identities) {
        for (const auto& entry : *view.identities) {
            const TaskIdentity& id = entry.second;
            text += "ID\t" + Escape(entry.first) + "\t" + (id.state == TaskIdentity::CREATED ? "C" : "A") +
                    "\t" + std::to_string(id.since) + "\t" + Escape(id.ids.list) + "\t" +
                    Escape(id.ids.series) + "\t" + Escape(id.ids.task) + "\t" + Escape(id.name) + "\n";
        }
    }
    for (const auto& change : view.changes) {
        char* ical = icalcomponent_as_ical_string_r(const_cast<icalcomponent*>(change.second));
        const std::string body = ical ? ical : "";
        free(ical);
        text += "CHANGE\t" + std::to_string(change.first) + "\t" + std::to_string(body.size()) + "\n" + body +
                "\n";
    }
    return text + END + "\n";
}

bool ParseJournal(const std::string& text, std::vector<PendingChange>& changes, IdentityMap& identities) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != HEADER)
        return false;
    while (std::getline(in, line)) {
        if (line == END)
            return true;
        const std::vector<std::string> f = SplitTabs(line);
        if (f[0] == "ID" && (f.size() == 7 || f.size() == 8)) {
            TaskIdentity id;
            id.state = f[2] == "C" ? TaskIdentity::CREATED : TaskIdentity::ADD_SENT;
            id.since = std::strtoll(f[3].c_str(), nullptr, 10);
            id.ids = {Unescape(f[4]), Unescape(f[5]), Unescape(f[6])};
            if (f.size() == 8)
                id.name = Unescape(f[7]);
            identities[Unescape(f[1])] = id;
        } else if (f[0] == "CHANGE" && f.size() == 3) {
            const size_t size = std::strtoull(f[2].c_str(), nullptr, 10);
            std::string body(size, '\0');
            if (!in.read(&body[0], static_cast<std::streamsize>(size)) || !std::getline(in, line))
                return false;  // cut off: the part read so far stands
            icalcomponent* component = icalparser_parse_string(body.c_str());
            if (!component)
                continue;
            PendingChange change;
            change.kind = static_cast<uint32_t>(std::strtoul(f[1].c_str(), nullptr, 10));
            change.component.reset(component);
            changes.push_back(std::move(change));
        } else {
            return false;
        }
    }
    return false;
}

wxString JournalPath(const wxString& directory, const wxString& section, const wxString& name,
                     const wxString& kind) {
    // Named like the offline file, so that no two calendars share one.
    wxFileName file = OfflineFileName(directory, section + wxT("-") + name + wxT("-") + kind);
    file.SetExt(wxT("journal"));
    return file.GetFullPath();
}

bool ReadJournalFile(const wxString& path, std::vector<PendingChange>& changes, IdentityMap& identities) {
    if (!wxFileName::FileExists(path))
        return false;
    wxLogNull quiet;
    wxFFile file(path, wxT("rb"));
    std::string text;
    if (!file.IsOpened())
        return false;
    char buffer[65536];
    size_t count = 0;
    while ((count = file.Read(buffer, sizeof buffer)) > 0)
        text.append(buffer, count);
    return ParseJournal(text, changes, identities);
}

bool WriteJournalFile(const wxString& path, const std::string& text) {
    {
        wxLogNull quiet;
        const wxString dir = wxFileName(path).GetPath();
        if (!dir.empty() && !wxFileName::DirExists(dir))
            wxFileName::Mkdir(dir, 0777, wxPATH_MKDIR_FULL);
    }
    return WriteFileAtomically(path, text);
}
