// One client object for the web service: a libcurl easy handle with its proxy, cookie file and
// debug trace (the transport), the signed method call and the checks of its reply, the
// authorisation exchange, and the calls the task operations build on.
#pragma once

#include "rtm/RTMSettings.h"
#include "rtm/ReplyBody.h"
#include "rtm/ResultCodes.h"
#include "rtm/ServiceContext.h"
#include "rtm/StreamedReply.h"

#include <curl/curl.h>
#include <libical/ical.h>
#include <wx/buffer.h>
#include <wx/string.h>
#include <wx/xml/xml.h>

#include <cstdint>
#include <functional>
#include <map>

class Logger;
class TokenStore;

// The parameters of one method call, from name to value. The call sorts the names itself.
using RTMParams = std::map<wxString, wxString>;

// Limits that keep a dead connection from blocking a caller for ever.
struct TransferLimits {
    long connectTimeoutSeconds = 30;
    long lowSpeedBytesPerSecond = 1;
    long lowSpeedSeconds = 60;
};

class CRTMConnection {
  public:
    // `log` (null: the host's log, unprefixed) names the calendar in the log and in reports.
    CRTMConnection(const Logger* log, RTMSettings* settings, bool bypassProxy,
                   const ServiceContext& services);
    ~CRTMConnection();
    CRTMConnection(const CRTMConnection&) = delete;
    CRTMConnection& operator=(const CRTMConnection&) = delete;

    // Transport.
    void ConfigureHandle(CURL* handle);
    int Perform(const wxString& url, wxString& reply, int32_t& httpStatus);
    // The same, handing the body to `body` as it arrives.
    int Perform(const wxString& url, CReplyBody& body, int32_t& httpStatus);
    static size_t CurlWriteCallback(char* data, size_t size, size_t count, void* buffer);
    static int CurlDebugCallback(CURL* handle, curl_infotype type, char* data, size_t size, void* context);

    // A stop request: while the predicate is true, a transfer in progress ends with libcurl's
    // "aborted by callback" (42) and the call is given up without a report.
    void SetAbortCheck(std::function<bool()> check) { m_AbortCheck = std::move(check); }
    void SetTransferLimits(const TransferLimits& limits) { m_Limits = limits; }
    const TransferLimits& GetTransferLimits() const { return m_Limits; }

    // Method call.
    uint32_t CallMethod(const RTMParams& params, wxString& reply);
    // The same, handing the reply to `body` as it arrives instead of keeping its text.
    uint32_t CallMethod(const RTMParams& params, CReplyBody& body);
    wxXmlNode* ParseReply(uint32_t status, const wxString& method, const wxString& reply);
    // ParseReply's checks for a reply read as a stream: true when its envelope answers the call
    // (what was read from it may be used); otherwise reported as ParseReply reports it.
    bool CheckEnvelope(uint32_t status, const wxString& method, const ReplyEnvelope& envelope);
    // What happened to the last call (refined by ParseReply), and what that means for the work.
    CallOutcome LastOutcome() const { return m_LastOutcome; }
    uint32_t LastWorkResult() const;
    // The "code" of the last failure envelope; empty when there was none.
    const wxString& LastErrorCode() const { return m_LastErrorCode; }
    void ReportError(const wxString& message, int32_t result, int32_t httpStatus);
    static wxString ExtractElement(const wxString& reply, const wxString& tag);
    static wxString Sign(const wxString& text);
    static wxString UrlEncode(const wxString& value);

    // A reply read once already is read again: its outcome is the call's, done.
    void ForgetLastFailure() { m_LastOutcome = CallOutcome::DONE; }
    // Frees the tree of the last reply.
    void ReleaseReply() { replyDocument = wxXmlDocument(); }

    // Authorisation: checks the stored token, or obtains a new one through the browser.
    bool Authorise(TokenStore& store);

    // The id of the list named `listName` (compared without regard to case) into `listIdOut`.
    uint32_t FindListId(const wxString& token, const wxString& listName, wxString& listIdOut);
    // A new timeline; a work result other than RTM_OK (reported) when there is none.
    uint32_t CreateTimeline(const wxString& token, wxString& timeline);
    // The tasks of `list` (empty: all) changed since `since` (seconds since 1970); null when the
    // call failed (LastWorkResult tells how).
    const wxXmlNode* GetRecentTasks(const wxString& token, const wxString& list, int64_t since);

    bool BypassesProxy() const { return bypassProxy; }
    RTMSettings& Settings() { return *settings; }
    // The calendar's name, empty without a log of its own.
    wxString CalendarName() const;
    wxString listId;

  private:
    static size_t CurlBodyCallback(char* data, size_t size, size_t count, void* connection);
    static int CurlProgressCallback(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    bool SuppressErrors() const;
    // The calendar-prefixed log, or the host's log when the connection has no log of its own.
    void LogLine(int level, const wxString& text) const;
    uint32_t CallAuthMethod(const wxString& method, const wxString& argName, const wxString& argValue,
                            wxString& reply);

    bool bypassProxy;
    RTMSettings* settings;
    wxCharBuffer proxyText;
    wxCharBuffer proxyCredentials;
    wxMemoryBuffer errorBuffer;
    const Logger* m_Log;
    ServiceContext m_Services;
    CURL* curl;
    wxXmlDocument replyDocument;

    wxCharBuffer m_CookieFile;
    std::function<bool()> m_AbortCheck;
    bool m_Aborted = false;
    TransferLimits m_Limits;
    bool m_FreshConnection = false;  // the next request goes over a new connection
    bool m_RequestSent = false;      // the last request's bytes went out
    CallOutcome m_LastOutcome = CallOutcome::DONE;
    int32_t m_LastHttpStatus = 0;
    wxString m_LastErrorCode;
    CReplyBody* m_Body = nullptr;  // of the transfer in progress
};

// The parameters every call made on the user's behalf carries: the API key, the token, the method.
RTMParams UserCallParams(const wxString& token, const wxString& method);

// The proxy credentials handed to libcurl: the user name, and ":" and the password when there is one.
wxString MakeProxyCredentials(const wxString& user, const wxString& password);
