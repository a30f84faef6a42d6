// The service's reply envelope, its error codes and their messages.
#pragma once

#include <map>
#include <string>

namespace rtmemu {

enum ErrorCode {
    ERR_INVALID_SIGNATURE = 96,
    ERR_MISSING_SIGNATURE = 97,
    ERR_INVALID_TOKEN = 98,
    ERR_NOT_LOGGED_IN = 99,
    ERR_INVALID_API_KEY = 100,
    ERR_INVALID_FROB = 101,
    ERR_SERVICE_UNAVAILABLE = 105,
    ERR_FORMAT_NOT_FOUND = 111,
    ERR_METHOD_NOT_FOUND = 112,
    ERR_TIMELINE_INVALID = 300,
    ERR_LIST_INVALID = 320,
    ERR_TASK_INVALID = 340,
    ERR_NOTE_INVALID = 350,
    ERR_LIST_NAME_INVALID = 3000,
    ERR_TASK_NAME_INVALID = 4000,
};

// The service's message for a code; `subject` fills the codes that name something (112, 111).
std::string ErrorMessage(int code, const std::string& subject = std::string());

std::string XmlEscape(const std::string& text);
// `<name attr="value"…>` with escaped values; `selfClosing` ends it with "/>".
std::string XmlTag(const std::string& name, const std::map<std::string, std::string>& attributes,
                   bool selfClosing = false);
// `<name>text</name>` with the text escaped.
std::string XmlElement(const std::string& name, const std::string& text);

std::string OkEnvelope(const std::string& payload);
std::string FailEnvelope(int code, const std::string& message);

}  // namespace rtmemu
