#include "emulator/Envelope.h"

namespace rtmemu {

namespace {
const char* const XML_DECLARATION = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
}

std::string ErrorMessage(int code, const std::string& subject) {
    switch (code) {
        case ERR_INVALID_SIGNATURE:
            return "Invalid signature";
        case ERR_MISSING_SIGNATURE:
            return "Missing signature";
        case ERR_INVALID_TOKEN:
            return "Login failed / Invalid auth token";
        case ERR_NOT_LOGGED_IN:
            return "User not logged in / Insufficient permissions";
        case ERR_INVALID_API_KEY:
            return "Invalid API Key";
        case ERR_INVALID_FROB:
            return "Invalid frob - did you authenticate?";
        case ERR_SERVICE_UNAVAILABLE:
            return "Service currently unavailable";
        case ERR_FORMAT_NOT_FOUND:
            return "Format \"" + subject + "\" not found";
        case ERR_METHOD_NOT_FOUND:
            return "Method \"" + subject + "\" not found";
        case ERR_TIMELINE_INVALID:
            return "Timeline invalid or not provided";
        case ERR_LIST_INVALID:
            return "list_id invalid or not provided";
        case ERR_TASK_INVALID:
            return "taskseries_id/task_id invalid or not provided";
        case ERR_NOTE_INVALID:
            return "note_id invalid or not provided";
        case ERR_LIST_NAME_INVALID:
            return "List name provided is invalid.";
        case ERR_TASK_NAME_INVALID:
            return "Task name provided is invalid.";
        default:
            return "Unknown error";
    }
}

std::string XmlEscape(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&apos;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string XmlTag(const std::string& name, const std::map<std::string, std::string>& attributes,
                   bool selfClosing) {
    std::string tag = "<" + name;
    for (const auto& attribute : attributes)
        tag += " " + attribute.first + "=\"" + XmlEscape(attribute.second) + "\"";
    tag += selfClosing ? "/>" : ">";
    return tag;
}

std::string XmlElement(const std::string& name, const std::string& text) {
    return "<" + name + ">" + XmlEscape(text) + "</" + name + ">";
}

std::string OkEnvelope(const std::string& payload) {
    return std::string(XML_DECLARATION) + "<rsp stat=\"ok\">" + payload + "</rsp>";
}

std::string FailEnvelope(int code, const std::string& message) {
    return std::string(XML_DECLARATION) + "<rsp stat=\"fail\">" +
           XmlTag("err", {{"code", std::to_string(code)}, {"msg", message}}, true) + "</rsp>";
}

}  // namespace rtmemu
