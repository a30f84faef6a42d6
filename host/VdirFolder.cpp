#include "host/VdirFolder.h"

#include "plugin/HostApi.h"

#include <wx/string.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const char* const ITEM_SUFFIX = ".ics";
const char* const TEMPORARY_SUFFIX = ".saving";
const char* const PRODID = "-//Corvane//HeadlessHost vdir mirror//EN";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool HasParseError(icalcomponent* component) {
    if (icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY))
        return true;
    for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT)) {
        if (HasParseError(c))
            return true;
    }
    return false;
}

// The to-do as it is written for other programs: todoman (4.1) reads only the first of several
// CATEGORIES properties, where the plug-in writes one per tag, so those become one property with
// a list of values, in the place of the first (libical reads such a list back as separate ones).
IcalPtr ForReaders(const icalcomponent* todo) {
    auto* source = const_cast<icalcomponent*>(todo);
    std::vector<icalproperty*> categories;
    std::string joined;
    for (icalproperty* p = icalcomponent_get_first_property(source, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(source, ICAL_CATEGORIES_PROPERTY)) {
        const char* value = icalproperty_get_categories(p);
        if (icalproperty_count_parameters(p) != 0 || !value)
            continue;
        joined += (categories.empty() ? "" : ",") + std::string(value);
        categories.push_back(p);
    }
    if (categories.size() < 2)
        return IcalPtr(icalcomponent_new_clone(source));
    IcalPtr merged(icalcomponent_new(icalcomponent_isa(source)));
    for (icalproperty* p = icalcomponent_get_first_property(source, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(source, ICAL_ANY_PROPERTY)) {
        if (p == categories.front())
            icalcomponent_add_property(merged.get(), icalproperty_new_categories(joined.c_str()));
        else if (std::find(categories.begin(), categories.end(), p) == categories.end())
            icalcomponent_add_property(merged.get(), icalproperty_new_clone(p));
    }
    for (icalcomponent* c = icalcomponent_get_first_component(source, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(source, ICAL_ANY_COMPONENT)) {
        icalcomponent_add_component(merged.get(), icalcomponent_new_clone(c));
    }
    return merged;
}

bool ReadBytes(const std::string& path, std::string& text) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    char block[1 << 14];
    size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, in)) > 0)
        text.append(block, count);
    const bool ok = !std::ferror(in);
    std::fclose(in);
    return ok;
}

FileStamp StampFrom(const struct stat& info) {
    FileStamp stamp;
    stamp.mtimeNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    stamp.size = static_cast<long long>(info.st_size);
    stamp.inode = static_cast<unsigned long long>(info.st_ino);
    return stamp;
}

// A hidden name beside the item, which no vdir reader takes for an item.
std::string TemporaryPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, start) + "." + path.substr(start) + TEMPORARY_SUFFIX;
}
}  // namespace

bool StampOf(const std::string& path, FileStamp& stamp) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    stamp = StampFrom(info);
    return true;
}

bool ListVdir(const std::string& dir, std::map<std::string, FileStamp>& files, std::string& error) {
    files.clear();
    DIR* folder = ::opendir(dir.c_str());
    if (!folder) {
        error = std::strerror(errno);
        return false;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || !EndsWith(name, ITEM_SUFFIX))
            continue;
        FileStamp stamp;
        if (StampOf(dir + "/" + name, stamp))  // gone meanwhile, or not a plain file
            files.emplace(name, stamp);
    }
    ::closedir(folder);
    return true;
}

bool ReadVdirItem(const std::string& path, VdirItem& item, std::string& reason) {
    std::string text;
    if (!ReadBytes(path, text)) {
        reason = "cannot be read";
        return false;
    }
    if (wxConvUTF8.ToWChar(nullptr, 0, text.data(), text.size()) == wxCONV_FAILED) {
        reason = "is not UTF-8 text";
        return false;
    }
    IcalPtr root(icalparser_parse_string(text.c_str()));
    if (!root || icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT) {
        reason = "is not one complete VCALENDAR";
        return false;
    }
    if (HasParseError(root.get())) {
        reason = "holds lines that are not valid iCalendar";
        return false;
    }
    icalcomponent* todo = icalcomponent_get_first_component(root.get(), ICAL_VTODO_COMPONENT);
    const char* uid = todo ? icalcomponent_get_uid(todo) : nullptr;
    if (!uid || !*uid) {
        reason = "holds no VTODO with a UID";
        return false;
    }
    item.uid = uid;
    item.todo.reset(icalcomponent_new_clone(todo));
    item.zones.clear();
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VTIMEZONE_COMPONENT); c;
         c = icalcomponent_get_next_component(root.get(), ICAL_VTIMEZONE_COMPONENT)) {
        item.zones.emplace_back(icalcomponent_new_clone(c));
    }
    return true;
}

std::string TodoText(const icalcomponent* todo) {
    char* text = icalcomponent_as_ical_string_r(const_cast<icalcomponent*>(todo));
    std::string result = text ? text : "";
    icalmemory_free_buffer(text);
    return result;
}

std::string TextDigest(const std::string& text) {
    wxString digest;
    Corvane_CalculateMD5(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    return std::string(digest.utf8_str());
}

std::string VdirFileText(const icalcomponent* todo, const std::vector<icalcomponent*>& zones) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:";
    text += PRODID;
    text += "\r\n";
    for (icalcomponent* zone : zones)
        text += TodoText(zone);
    text += TodoText(ForReaders(todo).get());
    text += "END:VCALENDAR\r\n";
    return text;
}

bool WriteVdirFile(const std::string& path, const std::string& text, FileStamp& stamp) {
    // The stamp is taken from the written file itself before the rename (which keeps it), so a
    // program that changes the item right after is never mistaken for this write.
    const std::string temporary = TemporaryPath(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = true;
    for (size_t written = 0; ok && written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        ok = n > 0 || (n < 0 && errno == EINTR);
        written += n > 0 ? static_cast<size_t>(n) : 0;
    }
    struct stat info;
    ok = ok && ::fsync(fd) == 0 && ::fstat(fd, &info) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    stamp = StampFrom(info);
    return true;
}

void RemoveLeftoverTemporaries(const std::string& dir) {
    DIR* folder = ::opendir(dir.c_str());
    if (!folder)
        return;
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name[0] == '.' && EndsWith(name, std::string(ITEM_SUFFIX) + TEMPORARY_SUFFIX))
            leftovers.push_back(dir + "/" + name);
    }
    ::closedir(folder);
    for (const std::string& path : leftovers)
        std::remove(path.c_str());
}
