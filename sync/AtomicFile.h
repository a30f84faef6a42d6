// Replaces a file's content so that, whatever happens on the way, the file holds either its old
// content or the new one: the text is written to a file beside it, flushed to disk and renamed
// over it.
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <functional>
#include <string>

class wxFile;

// The steps of a replacement, as a fault hook sees them.
enum class AtomicWriteStep { OPEN, WRITE, FLUSH, CLOSE, RENAME };

// What a fault hook makes of a step: go on, fail it (the writer cleans up and reports the
// failure), or stop dead as if the process had died there (nothing is cleaned up).
enum class AtomicWriteFault { PROCEED, FAIL, CRASH };

// Called before each step; for WRITE once per chunk with the bytes written so far. Tests only.
using AtomicWriteHook = std::function<AtomicWriteFault(AtomicWriteStep step, size_t written)>;

// The name of the file the new content is written to before it replaces `path`.
wxString AtomicTempPath(const wxString& path);

// Forces the file's written data to the disk; false when the system refuses.
bool FlushToDisk(wxFile& file);

// Writes `content` to `path` as described above; false on any failure, and then `path` is
// untouched and no temporary file is left behind (unless a hook simulated a crash).
bool WriteFileAtomically(const wxString& path, const std::string& content, const AtomicWriteHook& hook = {});
