// Where a calendar's offline copy lives, and the take-over of the file an earlier version used
// when that name was shared with other calendars.
#pragma once

#include <wx/filename.h>
#include <wx/string.h>

class COfflineCalendar;

// The file as earlier versions named it: `name` with \ / : * ? " < > | replaced by "_" and its
// text after a last dot replaced by the extension "ics", in `directory`. Different names can give
// the same file ("a/b" and "a:b", "team.tasks" and "team.notes").
wxFileName DescribedOfflineFile(const wxString& directory, const wxString& name);

// The described file where only this name can give it (no replaced character, no dot); otherwise
// the name with those characters and its dots replaced, "." and a digest of the whole name, and
// ".ics". A described file name holds one dot and a derived one two, so no two names share a file.
wxFileName OfflineFileName(const wxString& directory, const wxString& name);

// Stores in `offline` the to-dos of the earlier file that belong to the list `listId` (their UID
// names that list and they carry a task id) and are not stored yet; returns how many. The earlier
// file may hold another calendar's to-dos, so it is only read, and nothing is taken without a list
// id or from to-dos made offline, which name no list.
int TakeOverEarlierTodos(COfflineCalendar& offline, const wxFileName& earlier, const wxString& listId);
