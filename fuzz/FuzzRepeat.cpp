// A recurrence rule as libical reads it, turned into the service's repeat phrase.
#include "convert/RepeatText.h"
#include "fuzz/FuzzSupport.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareFuzzInput();
    const std::string text(reinterpret_cast<const char*>(data), size);
    icalrecurrencetype rule = icalrecurrencetype_from_string(text.c_str());
    icalcomponent* todo = icalcomponent_new_vtodo();
    icalcomponent_add_property(todo, icalproperty_new_due(icaltime_from_string("20261201T100000Z")));
    if (rule.freq != ICAL_NO_RECURRENCE)
        icalcomponent_add_property(todo, icalproperty_new_rrule(rule));
    RecurrenceToRepeat(todo);
    RepeatAwaitsDue(todo);
    icalmemory_free_buffer(rule.rscale);
    icalcomponent_free(todo);
    return 0;
}
