// The files of a vdir folder as the mirror sees them: which .ics files there are and whether they
// changed, one to-do file read, and one written atomically.
#pragma once

#include <libical/ical.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

struct IcalFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using IcalPtr = std::unique_ptr<icalcomponent, IcalFree>;

// What tells a file changed without reading it: a program that replaces or edits it gives it a new
// modification time (in nanoseconds), size or inode.
struct FileStamp {
    long long mtimeNs = 0;
    long long size = -1;
    unsigned long long inode = 0;

    bool operator==(const FileStamp& other) const {
        return mtimeNs == other.mtimeNs && size == other.size && inode == other.inode;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// The folder's items: files ending in ".ics" that are not hidden, by name, with their stamps.
bool ListVdir(const std::string& dir, std::map<std::string, FileStamp>& files, std::string& error);
// The stamp of one file; false when it is not there.
bool StampOf(const std::string& path, FileStamp& stamp);

// One item read from a file: its first VTODO and the time zones beside it.
struct VdirItem {
    IcalPtr todo;
    std::vector<IcalPtr> zones;
    std::string uid;
};
// False when the file is not a valid iCalendar to-do: unreadable, not UTF-8, not a VCALENDAR, no
// VTODO with a UID, or a line libical could not read (a to-do missing a field it had would change
// the task on the service). `reason` then says which.
bool ReadVdirItem(const std::string& path, VdirItem& item, std::string& reason);

// A to-do's text as the mirror compares versions, and its digest.
std::string TodoText(const icalcomponent* todo);
std::string TextDigest(const std::string& text);

// The file text of one to-do: a VCALENDAR holding the time zones and the VTODO.
std::string VdirFileText(const icalcomponent* todo, const std::vector<icalcomponent*>& zones);
// Writes the text atomically (a temporary file in the folder, renamed over the item) and gives the
// new file's stamp.
bool WriteVdirFile(const std::string& path, const std::string& text, FileStamp& stamp);
// Temporary files an interrupted write left in the folder.
void RemoveLeftoverTemporaries(const std::string& dir);
