#include "convert/TaskFields.h"

#include "convert/ExtraFieldNote.h"
#include "convert/PropertyHelpers.h"
#include "convert/RepeatText.h"
#include "convert/ServiceTime.h"

bool operator==(const TaskFields& a, const TaskFields& b) {
    return a.name == b.name && a.due == b.due && a.data_note == b.data_note &&
           a.data_note_id == b.data_note_id && a.description == b.description &&
           a.description_note_id == b.description_note_id && a.has_due_time == b.has_due_time &&
           a.priority == b.priority && a.repeat == b.repeat && a.tags == b.tags && a.url == b.url &&
           a.completed == b.completed;
}

wxString PriorityToService(int priority) {
    if (priority == 0)
        return wxT("0");
    if (priority < 5)
        return wxT("1");
    if (priority == 5)
        return wxT("2");
    return wxT("3");
}

TaskFields MakeTaskFields(const icalcomponent* todo) {
    TaskFields fields;
    auto* c = const_cast<icalcomponent*>(todo);
    if (!c)
        return fields;

    if (icalproperty* summary = icalcomponent_get_first_property(c, ICAL_SUMMARY_PROPERTY))
        fields.name = FromUtf8(icalproperty_get_summary(summary));

    if (icalproperty* dueProperty = icalcomponent_get_first_property(c, ICAL_DUE_PROPERTY)) {
        const icaltimetype due = ServiceInstant(dueProperty);
        if (icaltime_is_valid_time(due) && !icaltime_is_null_time(due)) {
            fields.due = FormatServiceTime(due);
            fields.has_due_time = due.is_date ? wxT("0") : wxT("1");
        }
    }
    fields.data_note = MakeDataNoteText(c);
    fields.completed = icalcomponent_get_status(c) == ICAL_STATUS_COMPLETED;
    fields.data_note_id = GetXProperty(c, X_DATA_ID);
    fields.description = MakeDescriptionText(c);
    fields.description_note_id = GetXProperty(c, X_DESCRIPTION_ID);

    if (icalproperty* priority = icalcomponent_get_first_property(c, ICAL_PRIORITY_PROPERTY)) {
        if (icalproperty_get_value(priority))
            fields.priority = PriorityToService(icalproperty_get_priority(priority));
    }
    for (icalproperty* category = icalcomponent_get_first_property(c, ICAL_CATEGORIES_PROPERTY); category;
         category = icalcomponent_get_next_property(c, ICAL_CATEGORIES_PROPERTY)) {
        const char* text = icalproperty_get_categories(category);
        if (!text || !*text)
            continue;
        // The service separates tags at spaces; ConvertTaskSeries turns the underscores back.
        wxString tag = FromUtf8(text);
        tag.Replace(wxT(" "), wxT("_"));
        if (!fields.tags.empty())
            fields.tags += wxT(',');
        fields.tags += tag;
    }
    fields.repeat = RecurrenceToRepeat(c);
    if (icalproperty* url = icalcomponent_get_first_property(c, ICAL_URL_PROPERTY))
        fields.url = FromUtf8(icalproperty_get_url(url));
    return fields;
}
