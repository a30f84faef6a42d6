// The extra-field note and the description note read into a to-do, which is then written back.
#include "convert/ExtraFieldNote.h"
#include "convert/TaskFields.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareFuzzInput();
    const wxString text = FuzzText(data, size);
    icalcomponent* todo = icalcomponent_new_vtodo();
    int status = 0;
    ReadDataNote(todo, text, wxT("1"), status, nullptr);
    ReadDescriptionNote(todo, text, wxT("2"));
    icalproperty_status icalStatus;
    if (IcalStatusFromNote(status, icalStatus))
        icalcomponent_set_status(todo, icalStatus);
    MakeTaskFields(todo);
    free(icalcomponent_as_ical_string_r(todo));
    icalcomponent_free(todo);
    return 0;
}
