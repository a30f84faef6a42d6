// What the mirror last knew of each file of its folder, kept in the data directory between runs so
// that a start tells the changes made meanwhile in the folder from those made on the service.
#pragma once

#include "host/VdirFolder.h"

#include <wx/string.h>

#include <map>
#include <string>

struct FileRecord {
    std::string uid;         // the to-do the file holds (or held, while it is not valid)
    std::string digest;      // of the to-do's text as the file holds it
    std::string hostDigest;  // of the host's to-do the file shows
    FileStamp stamp;         // of the file when it was last read or written
    bool invalid = false;    // not valid iCalendar: left as it is
};

// By file name.
using FileRecords = std::map<std::string, FileRecord>;

// A missing file is an empty state; false (with a reason) when the file cannot be read.
bool LoadMirrorState(const wxString& path, FileRecords& records, wxString& error);
// Written atomically.
bool SaveMirrorState(const wxString& path, const FileRecords& records, wxString& error);
