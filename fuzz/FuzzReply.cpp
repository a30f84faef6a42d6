// A whole reply through the method call's envelope checks, then every task series in it
// converted and reduced to the fields an upload compares.
#include "convert/TaskFields.h"
#include "convert/TaskSeries.h"
#include "fuzz/FuzzSupport.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"

#include <wx/xml/xml.h>

namespace {
void ConvertAll(const wxXmlNode* node, const wxString& listId, const Logger* log) {
    for (; node; node = node->GetNext()) {
        if (node->GetType() != wxXML_ELEMENT_NODE)
            continue;
        if (node->GetName().IsSameAs(wxT("taskseries"), false)) {
            if (icalcomponent* todo = ConvertTaskSeries(node, listId, log)) {
                MakeTaskFields(todo);
                icalcomponent_free(todo);
            }
        } else {
            const wxString id = node->GetAttribute(wxT("id"), listId);
            ConvertAll(node->GetChildren(), id, log);
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareFuzzInput();
    static CRTMHandler handler(nullptr, wxT("Fuzz"), RTM_PLUGIN_NAME);
    handler.Settings().suppressErrors = true;  // reports go to the log, not to message boxes
    CRTMConnection connection(&handler.GetLogger(), &handler.Settings(), false, ServiceContext());
    ConvertAll(connection.ParseReply(0, wxT("rtm.tasks.getList"), FuzzText(data, size)), wxT("1"),
               &handler.GetLogger());
    return 0;
}
