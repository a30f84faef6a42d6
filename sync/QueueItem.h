// One queued change of a handler: a download, an upload or a deletion.
#pragma once

#include <libical/ical.h>

#include <cstdint>

enum : uint32_t {
    ITEM_READ = 0,
    ITEM_WRITE = 1,
    ITEM_DELETE = 2,
};

struct QueueItem {
    QueueItem(uint32_t itemKind, icalcomponent* owned) : kind(itemKind), component(owned) {}
    ~QueueItem() {
        if (component)
            icalcomponent_free(component);
    }
    QueueItem(const QueueItem&) = delete;
    QueueItem& operator=(const QueueItem&) = delete;

    uint32_t kind;
    icalcomponent* component;  // owned
};
