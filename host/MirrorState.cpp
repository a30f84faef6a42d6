#include "host/MirrorState.h"

#include "host/VdirName.h"
#include "sync/AtomicFile.h"

#include <wx/ffile.h>
#include <wx/filename.h>

#include <sstream>

namespace {
const char* const HEADER = "corvane vdir mirror 1";
const char* const EMPTY = "~";  // never the result of an encoding or a digest

// Fields are tab-separated; names and UIDs are escaped, so no tab or line break stands in them.
bool ParseLine(const std::string& line, std::string& name, FileRecord& record) {
    std::istringstream in(line);
    std::string encodedName, encodedUid;
    int invalid = 0;
    if (!(in >> encodedName >> encodedUid >> record.digest >> record.hostDigest >> record.stamp.mtimeNs >>
          record.stamp.size >> record.stamp.inode >> invalid))
        return false;
    record.invalid = invalid != 0;
    for (std::string* field : {&encodedUid, &record.digest, &record.hostDigest})
        if (*field == EMPTY)
            field->clear();
    return PercentDecode(encodedName, name) && PercentDecode(encodedUid, record.uid);
}

std::string OrEmpty(const std::string& text) {
    return text.empty() ? EMPTY : text;
}
}  // namespace

bool LoadMirrorState(const wxString& path, FileRecords& records, wxString& error) {
    records.clear();
    if (!wxFileName::FileExists(path))
        return true;
    wxFFile in(path, wxT("rb"));
    wxString text;
    if (!in.IsOpened() || !in.ReadAll(&text, wxConvUTF8)) {
        error = wxString::Format(wxT("cannot read \"%s\""), path);
        return false;
    }
    std::istringstream lines(std::string(text.utf8_str()));
    std::string line;
    if (!std::getline(lines, line) || line != HEADER) {
        error = wxString::Format(wxT("\"%s\" is not a mirror state file"), path);
        return false;
    }
    while (std::getline(lines, line)) {
        std::string name;
        FileRecord record;
        if (line.empty())
            continue;
        if (!ParseLine(line, name, record)) {
            error = wxString::Format(wxT("\"%s\" has a damaged line"), path);
            return false;
        }
        records[name] = record;
    }
    return true;
}

bool SaveMirrorState(const wxString& path, const FileRecords& records, wxString& error) {
    std::string text = std::string(HEADER) + "\n";
    for (const auto& entry : records) {
        const FileRecord& r = entry.second;
        text += PercentEncode(entry.first) + "\t" + OrEmpty(PercentEncode(r.uid)) + "\t" + OrEmpty(r.digest) +
                "\t" + OrEmpty(r.hostDigest) + "\t" + std::to_string(r.stamp.mtimeNs) + "\t" +
                std::to_string(r.stamp.size) + "\t" + std::to_string(r.stamp.inode) + "\t" +
                (r.invalid ? "1" : "0") + "\n";
    }
    if (!WriteFileAtomically(path, text)) {
        error = wxString::Format(wxT("cannot write \"%s\""), path);
        return false;
    }
    return true;
}
