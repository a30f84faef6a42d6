// One client object for the web service: a libcurl easy handle with its proxy, cookie file and
// debug trace (the transport), the signed method call and the checks of its reply, and the
// authorisation exchange.
#pragma once

#include "rtm/ResultCodes.h"

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
    static size_t CurlWriteCallback(char* data, size_t size, size_t count, void* buffer);
    static int CurlDebugCallback(CURL* handle, curl_infotype type, char* data, size_t size, void* context);

    // A stop request: while the predicate is true, a transfer in progress ends with libcurl's
    // "aborted by callback" (42) and the call is given up without a report.
    void SetAbortCheck(std::function<bool()> check) { m_AbortCheck = std::move(check); }
    void SetTransferLimits(const TransferLimits& limits) { m_Limits = limits; }
    const TransferLimits& GetTransferLimits() const { return m_Limits; }

    // Method call.
    uint32_t CallMethod(const RTMParams& params, wxString& reply);
    wxXmlNode* ParseReply(uint32_t status, const wxString& method, const wxString& reply);
    void ReportError(const wxString& message, int32_t result, int32_t httpStatus);
    static wxString ExtractElement(const wxString& reply, const wxString& tag);
    static wxString Sign(const wxString& text);
    static wxString UrlEncode(const wxString& value);

    // Authorisation: checks the stored token, or obtains a new one through the browser.
    bool Authorise();

    // Work on the task lists (download, upload, deletion).
    uint32_t FindListId(const wxString& token, const wxString& listName, wxString& listIdOut);
    uint32_t DownloadTasks(const wxString& token, COfflineCalendar* offline, const icaltimetype& lastRead);
    uint32_t UploadTask(const wxString& token, const icalcomponent* todo, COfflineCalendar* offline);
    uint32_t DeleteTask(const wxString& token, const icalcomponent* todo);

    bool BypassesProxy() const { return bypassProxy; }
    CRTMHandler* Handler() const { return handler; }
    wxString listId;

  private:
    static int CurlProgressCallback(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    bool SuppressErrors() const;
    // The handler-prefixed log, or the host's log when the connection has no handler.
    void LogLine(int level, const wxString& text) const;
    // A new timeline; empty (reported) when the reply held none.
    uint32_t CreateTimeline(const wxString& token, wxString& timeline);
    // Gives the series of an upload's last reply to the host and the offline store.
    uint32_t ReadBack(uint32_t status, const wxString& method, const wxString& reply,
                      const icalcomponent* todo, COfflineCalendar* offline);
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
};

// The proxy credentials handed to libcurl: the user name, and ":" and the password when there is one.
wxString MakeProxyCredentials(const wxString& user, const wxString& password);
