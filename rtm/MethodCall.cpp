// The signed method call and the checks of its reply. Every failure of a call is classified and
// reported here, once; callers see only the status and a null node.
#include "convert/Logger.h"
#include "plugin/HostApi.h"
#include "rtm/CallSpacing.h"
#include "rtm/LogRedaction.h"
#include "rtm/NetworkErrorText.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"

#include <wx/datetime.h>
#include <wx/log.h>
#include <wx/sstream.h>

namespace {
const size_t LOGGED_REPLY_LENGTH = 1024;

// Failures that leave the request unsent whatever libcurl counted.
bool IsConnectionFailure(int result) {
    return result == CURLE_COULDNT_RESOLVE_PROXY || result == CURLE_COULDNT_RESOLVE_HOST ||
           result == CURLE_COULDNT_CONNECT;
}

// Methods that only read: repeating them is always safe.
bool ChangesService(const wxString& method) {
    return !(method == wxT("rtm.tasks.getList") || method == wxT("rtm.lists.getList") ||
             method == wxT("rtm.timelines.create") || method.StartsWith(wxT("rtm.auth.")));
}
}  // namespace

wxString CRTMConnection::UrlEncode(const wxString& value) {
    static const wxChar HEX[] = wxT("0123456789ABCDEF");
    const wxScopedCharBuffer utf8 = value.utf8_str();
    wxString encoded;
    encoded.reserve(utf8.length() * 3);
    for (size_t i = 0; i < utf8.length(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(utf8.data()[i]);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            byte == '.' || byte == '_') {
            encoded += static_cast<wxChar>(byte);
        } else {
            encoded += wxT('%');
            encoded += HEX[byte >> 4];
            encoded += HEX[byte & 15];
        }
    }
    return encoded;
}

wxString CRTMConnection::Sign(const wxString& text) {
    // The converted buffer must come from a named string: one made from a temporary dangles.
    const wxString signingText = wxString(RTM_SHARED_SECRET) + text;
    const wxScopedCharBuffer utf8 = signingText.utf8_str();
    wxString digest;
    Corvane_CalculateMD5(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.length(), digest);
    return digest;
}

wxString CRTMConnection::ExtractElement(const wxString& reply, const wxString& tag) {
    const wxString opening = wxT("<") + tag + wxT(">");
    const size_t start = reply.find(opening);
    const size_t end = reply.find(wxT("</") + tag + wxT(">"));
    if (start == wxString::npos || end == wxString::npos)
        return wxString();
    const size_t valueStart = start + opening.length();
    // A closing tag before the opening one has no element around it.
    if (end < valueStart)
        return wxString();
    return reply.substr(valueStart, end - valueStart);
}

uint32_t CRTMConnection::CallMethod(const RTMParams& params, wxString& reply) {
    CReplyText body;
    const uint32_t status = CallMethod(params, body);
    // A call that was never sent leaves the reply as it was.
    if (body.Begun())
        reply = body.Text();
    return status;
}

uint32_t CRTMConnection::CallMethod(const RTMParams& params, CReplyBody& body) {
    m_LastOutcome = CallOutcome::NOT_SENT;
    m_LastHttpStatus = 0;
    m_LastErrorCode.clear();
    const auto token = params.find(wxT("auth_token"));
    if (token != params.end() && token->second.empty()) {
        LogLine(LOG_ERROR, wxT("The auth_token is missing for the method. The method was not called."));
        m_LastOutcome = CallOutcome::NO_TOKEN;
        return RTM_OK;
    }
    const auto method = params.find(wxT("method"));
    const bool changesService = method != params.end() && ChangesService(method->second);

    // std::map keeps the names in ascending order of their characters' code values.
    wxString signingText;
    wxString query = wxT("?");
    for (const auto& param : params) {
        signingText += param.first + param.second;
        if (query.length() > 1)
            query += wxT("&");
        query += param.first + wxT("=") + UrlEncode(param.second);
    }
    query += wxT("&api_sig=") + Sign(signingText);
    const wxString url = m_Services.address.RestEndpoint() + query;

    CCallSpacing* spacing = m_Services.spacing;
    const long wait = spacing ? spacing->WaitBeforeCall() : 0;
    if (wait > 0) {
        LogLine(LOG_DEBUG, wxString::Format(wxT("Waiting %i millisecs before the next method call."),
                                            static_cast<int>(wait)));
        spacing->Sleep(wait);
    }

    while (true) {
        int32_t httpStatus = 0;
        // A call that changes the service never goes over a reused connection: libcurl would send
        // it again by itself when such a connection closes without an answer.
        m_FreshConnection = changesService;
        const int result = Perform(url, body, httpStatus);
        if (spacing)
            spacing->MarkCallEnded();
        m_LastHttpStatus = httpStatus;
        HostLog(LOG_DEBUG, RedactToken(body.Head(LOGGED_REPLY_LENGTH)));

        if (result == CURLE_OK && httpStatus / 100 == 2) {
            if (body.HasUnavailablePage()) {
                m_LastOutcome = CallOutcome::UNAVAILABLE;
                ReportError(Translate(wxT("The service is temporarily unavailable.")), result, httpStatus);
                return RTM_UNAVAILABLE;
            }
            m_LastOutcome = CallOutcome::DONE;
            return RTM_OK;
        }
        if (result == CURLE_ABORTED_BY_CALLBACK && m_Aborted) {
            // A stop request, not a failure: nothing to report, and the work waits for the next run.
            LogLine(LOG_INFO, wxT("The method call was cancelled."));
            m_LastOutcome = CallOutcome::CANCELLED;
            return RTM_NO_CONNECTION;
        }
        uint32_t status = RTM_OK;
        if (result != CURLE_OK) {
            // Any transport failure means the service could not be reached; whether the request
            // reached it decides whether the same call may simply go out again.
            status = RTM_NO_CONNECTION;
            m_LastOutcome = m_RequestSent && !IsConnectionFailure(result) ? CallOutcome::UNANSWERED
                                                                          : CallOutcome::NOT_SENT;
            if (m_LastOutcome == CallOutcome::NOT_SENT && settings && settings->network.fallBackToDirect &&
                !bypassProxy) {
                bypassProxy = true;
                continue;
            }
        } else {
            m_LastOutcome = CallOutcome::HTTP_ERROR;
        }
        const wxString message =
            body.SaysUnavailable() ? Translate(wxT("The service is temporarily unavailable.")) : wxString();
        ReportError(message, result, httpStatus);
        return status;
    }
}

wxXmlNode* CRTMConnection::ParseReply(uint32_t status, const wxString& method, const wxString& reply) {
    ReplyEnvelope envelope;
    wxXmlNode* root = nullptr;
    // Only a reply that passed the call's checks is worth loading.
    if (status == RTM_OK && m_LastOutcome == CallOutcome::DONE && !reply.empty()) {
        wxStringInputStream stream(reply);
        wxLogNull quiet;  // a body that is not XML is an expected outcome here, not a log entry
        // Whitespace kept: a note's text is the user's, leading blank lines included.
        if (replyDocument.Load(stream, wxT("UTF-8"), wxXMLDOC_KEEP_WHITESPACE_NODES))
            root = replyDocument.GetRoot();
    }
    if (root) {
        envelope.readable = true;
        envelope.root = root->GetName();
        envelope.stat = root->GetAttribute(wxT("stat"), wxString());
        for (wxXmlNode* child = root->GetChildren(); child; child = child->GetNext()) {
            envelope.hasElement = envelope.hasElement || child->GetType() == wxXML_ELEMENT_NODE;
            if (!envelope.hasError && child->GetName().IsSameAs(wxT("err"), false)) {
                envelope.hasError = true;
                envelope.errorCode = child->GetAttribute(wxT("code"), wxString());
                envelope.errorMessage = child->GetAttribute(wxT("msg"), wxString());
            }
        }
    }
    if (!CheckEnvelope(status, method, envelope))
        return nullptr;
    wxXmlNode* payload = root->GetChildren();
    while (payload && payload->GetType() != wxXML_ELEMENT_NODE)
        payload = payload->GetNext();
    return payload;
}

bool CRTMConnection::CheckEnvelope(uint32_t status, const wxString& method, const ReplyEnvelope& envelope) {
    // A call that failed has been reported by CallMethod already (a cancelled one needs no report).
    if (status == RTM_NO_CONNECTION || m_LastOutcome != CallOutcome::DONE)
        return false;
    if (status != RTM_OK) {
        ReportError(wxString::Format(Translate(wxT("Call to method \"%s\" failed.")), method),
                    static_cast<int32_t>(status), 200);
        return false;
    }
    // Until the envelope proves readable, the call counts as unanswered.
    m_LastOutcome = CallOutcome::UNREADABLE;
    if (!envelope.readable)
        return false;
    if (envelope.root != wxT("rsp")) {
        ReportError(wxString::Format(Translate(wxT("Unknown response for call \"%s\".")), method), 0, 200);
        return false;
    }
    if (envelope.stat != wxT("fail")) {
        m_LastOutcome = CallOutcome::DONE;
        return true;
    }
    if (envelope.hasError) {
        m_LastOutcome = CallOutcome::REFUSED;
        m_LastErrorCode = envelope.errorCode;
        ReportError(
            wxString::Format(Translate(wxT("Call \"%s\" failed:\n%s")), method, envelope.errorMessage), 0,
            200);
    }
    // A failure envelope that says nothing is no proof that the call was refused for good.
    return false;
}

uint32_t CRTMConnection::LastWorkResult() const {
    long code = 0;
    m_LastErrorCode.ToLong(&code);
    return WorkResultOf(m_LastOutcome, m_LastHttpStatus, code);
}

void CRTMConnection::ReportError(const wxString& message, int32_t result, int32_t httpStatus) {
    const wxString name = CalendarName();
    wxString text = wxT("[") + wxDateTime::Now().FormatTime() + wxT("] ") +
                    wxString::Format(Translate(wxT("Remember The Milk Error (%s)!")), name);
    if (!message.empty())
        text += wxT("\n") + message;
    if (!(result == 0 && httpStatus / 100 == 2)) {
        text += wxT("\n") + wxString::Format(Translate(wxT("Server returned result: (%i) %i %s.")), result,
                                             httpStatus, GetNetworkErrorText(result, httpStatus));
    }
    if (SuppressErrors()) {
        HostLog(LOG_ERROR, text);
    } else {
        Corvane_Message(text.wc_str(), MSG_STYLE_ERROR, true);
    }
}
