#include "sync/AtomicFile.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include <algorithm>

namespace {

const size_t WRITE_CHUNK = 64 * 1024;

AtomicWriteFault Ask(const AtomicWriteHook& hook, AtomicWriteStep step, size_t written) {
    return hook ? hook(step, written) : AtomicWriteFault::PROCEED;
}

}  // namespace

wxString AtomicTempPath(const wxString& path) {
    return path + wxT(".saving");
}

bool FlushToDisk(wxFile& file) {
    // wxFile::Flush is fsync() on POSIX systems and _commit() on Windows.
    return file.Flush();
}

bool WriteFileAtomically(const wxString& path, const std::string& content, const AtomicWriteHook& hook) {
    wxLogNull quiet;  // failures are reported by the caller, never by a wxWidgets dialog
    const wxString temp = AtomicTempPath(path);

    AtomicWriteFault fault = Ask(hook, AtomicWriteStep::OPEN, 0);
    if (fault == AtomicWriteFault::CRASH)
        return false;
    wxFile file;
    if (fault == AtomicWriteFault::FAIL || !file.Create(temp, true)) {
        if (wxFileExists(temp))
            wxRemoveFile(temp);
        return false;
    }

    auto abandon = [&]() {
        file.Close();
        wxRemoveFile(temp);
        return false;
    };

    size_t written = 0;
    do {
        fault = Ask(hook, AtomicWriteStep::WRITE, written);
        if (fault == AtomicWriteFault::CRASH)
            return false;
        if (fault == AtomicWriteFault::FAIL)
            return abandon();
        const size_t chunk = std::min(WRITE_CHUNK, content.size() - written);
        if (chunk > 0 && file.Write(content.data() + written, chunk) != chunk)
            return abandon();
        written += chunk;
    } while (written < content.size());

    fault = Ask(hook, AtomicWriteStep::FLUSH, written);
    if (fault == AtomicWriteFault::CRASH)
        return false;
    if (fault == AtomicWriteFault::FAIL || !FlushToDisk(file))
        return abandon();

    fault = Ask(hook, AtomicWriteStep::CLOSE, written);
    if (fault == AtomicWriteFault::CRASH)
        return false;
    if (fault == AtomicWriteFault::FAIL || !file.Close())
        return abandon();

    fault = Ask(hook, AtomicWriteStep::RENAME, written);
    if (fault == AtomicWriteFault::CRASH)
        return false;
    if (fault == AtomicWriteFault::FAIL || !wxRenameFile(temp, path, true)) {
        wxRemoveFile(temp);
        return false;
    }
    return true;
}
