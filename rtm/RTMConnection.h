// One client object for the web service: a libcurl easy handle with its proxy, cookie file and
// debug trace (the transport), the signed method call and the checks of its reply, and the
// authorisation exchange.
#pragma once

#include "convert/TaskUid.h"
#include "rtm/ReplyBody.h"
#include "rtm/ResultCodes.h"
#include "rtm/StreamedReply.h"

#include <curl/curl.h>
#include <libical/ical.h>
#include <wx/buffer.h>
#include <wx/string.h>
#include <wx/xml/xml.h>

#include <cstdint>
#include <functional>
#include <map>

class COfflineCalendar;
class CRTMHandler;
struct RTMSettings;

// What an upload knows beyond the to-do itself.
struct UploadTarget {
    // The task the to-do's earlier upload created (or found); null to take the to-do's own ids.
    const TaskIds* known = nullptr;
    // Called with the new task's ids as soon as the add is answered, before any other call; and
    // with the task's name just before the add goes out. Both must make their record durable before they
    // return.
    std::function<void(const wxString& name)> beforeAdd;
    std::function<void(const TaskIds&)> afterAdd;
    // True when a newer change of the UID waits: the read-back then gives the task to nobody.
    std::function<bool(const wxString& uid)> changeWaits;
    // A copy of the to-do of a write of the UID that waits, or null.
    std::function<icalcomponent*(const wxString& uid)> newerCopy;
};

enum class LookupResult { FOUND, NOT_FOUND, UNDECIDED, FAILED };

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
    CRTMConnection(CRTMHandler* handler, RTMSettings* settings, bool bypassProxy);
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

    // Authorisation: checks the stored token, or obtains a new one through the browser.
    bool Authorise();

    // Work on the task lists (download, upload, deletion).
    uint32_t FindListId(const wxString& token, const wxString& listName, wxString& listIdOut);
    uint32_t DownloadTasks(const wxString& token, COfflineCalendar* offline, const icaltimetype& lastRead);
    uint32_t UploadTask(const wxString& token, const icalcomponent* todo, COfflineCalendar* offline,
                        const UploadTarget& target = UploadTarget());
    uint32_t DeleteTask(const wxString& token, const icalcomponent* todo, const TaskIds* known = nullptr);
    // Looks for the task an add whose answer was lost may have made: in `list` (empty: any), named
    // `name`, created at `since` (seconds since 1970) or later.
    LookupResult FindAddedTask(const wxString& token, const wxString& list, const wxString& name,
                               int64_t since, TaskIds& found);

    bool BypassesProxy() const { return bypassProxy; }
    CRTMHandler* Handler() const { return handler; }
    wxString listId;

  private:
    static size_t CurlBodyCallback(char* data, size_t size, size_t count, void* connection);
    static int CurlProgressCallback(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    bool SuppressErrors() const;
    // The handler-prefixed log, or the host's log when the connection has no handler.
    void LogLine(int level, const wxString& text) const;
    // A new timeline; a work result other than RTM_OK (reported) when there is none.
    uint32_t CreateTimeline(const wxString& token, wxString& timeline);
    // Gives the series of an upload's last reply to the host and the offline store.
    uint32_t ReadBack(const wxString& method, const wxString& reply, const icalcomponent* todo,
                      COfflineCalendar* offline, const UploadTarget& target);
    // Reads the task back through a download of the list's recent changes, when the last answer
    // did not hold it.
    uint32_t FetchAndReadBack(const wxString& token, const TaskIds& ids, const icalcomponent* todo,
                              COfflineCalendar* offline, const UploadTarget& target);
    // Gives a re-read task to the host and the offline store in place of the uploaded to-do; takes
    // the component. False when it carries no ids.
    bool Deliver(icalcomponent* c, const icalcomponent* todo, COfflineCalendar* offline,
                 const UploadTarget& target);
    // The tasks of `list` (empty: all) changed since `since` (seconds since 1970); null when the
    // call failed (LastWorkResult tells how).
    const wxXmlNode* GetRecentTasks(const wxString& token, const wxString& list, int64_t since);
    // Queues the merge's uploads, leaving out copies of to-dos whose task exists already.
    void QueueMergeUploads(COfflineCalendar& offline);
    uint32_t CallAuthMethod(const wxString& method, const wxString& argName, const wxString& argValue,
                            wxString& reply);

    bool bypassProxy;
    RTMSettings* settings;
    wxCharBuffer proxyText;
    wxCharBuffer proxyCredentials;
    wxMemoryBuffer errorBuffer;
    CRTMHandler* handler;
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

// The proxy credentials handed to libcurl: the user name, and ":" and the password when there is one.
wxString MakeProxyCredentials(const wxString& user, const wxString& password);
