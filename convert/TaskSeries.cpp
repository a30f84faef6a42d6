#include "convert/TaskSeries.h"

#include "convert/SameWord.h"
#include "convert/TaskSeriesBuilder.h"

#include <wx/xml/xml.h>

#include <cwchar>

namespace {

bool IsElement(const wxXmlNode* node) {
    return node->GetType() == wxXML_ELEMENT_NODE;
}

// The value of the attribute named exactly `name`, or an empty text.
const wxString& Attribute(const wxXmlNode* node, const wchar_t* name) {
    static const wxString empty;
    for (const wxXmlAttribute* attribute = node->GetAttributes(); attribute; attribute = attribute->GetNext())
        if (std::wcscmp(attribute->GetName().wc_str(), name) == 0)
            return attribute->GetValue();
    return empty;
}

// The content of the first child node; false for an element without any.
bool ChildText(const wxXmlNode* node, wxString& text) {
    const wxXmlNode* first = node->GetChildren();
    if (!first)
        return false;
    text = first->GetContent();
    return true;
}

}  // namespace

icalcomponent* ConvertTaskSeries(const wxXmlNode* taskSeries, const wxString& listId, const Logger* log) {
    if (!taskSeries)
        return nullptr;
    CTaskSeriesBuilder builder(
        {Attribute(taskSeries, L"id"), Attribute(taskSeries, L"created"), Attribute(taskSeries, L"modified"),
         Attribute(taskSeries, L"name"), Attribute(taskSeries, L"url")},
        log);
    wxString text;
    for (const wxXmlNode* child = taskSeries->GetChildren(); child; child = child->GetNext()) {
        if (!IsElement(child))
            continue;
        const wxString& childName = child->GetName();
        if (SameWord(childName, L"tags")) {
            for (const wxXmlNode* tag = child->GetChildren(); tag; tag = tag->GetNext())
                if (IsElement(tag) && ChildText(tag, text))
                    builder.AddTag(text);
        } else if (SameWord(childName, L"notes")) {
            for (const wxXmlNode* note = child->GetChildren(); note; note = note->GetNext())
                if (IsElement(note) && ChildText(note, text))
                    builder.AddNote(Attribute(note, L"id"), Attribute(note, L"title"), text);
        } else if (SameWord(childName, L"rrule")) {
            if (ChildText(child, text))
                builder.AddRule(text);
        } else if (SameWord(childName, L"task")) {
            builder.AddTask({Attribute(child, L"id"), Attribute(child, L"due"),
                             Attribute(child, L"has_due_time"), Attribute(child, L"completed"),
                             Attribute(child, L"priority")});
        }
    }
    return builder.Finish(listId);
}
