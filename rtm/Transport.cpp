// The transport: one libcurl easy handle per connection, configured before every request.
#include "rtm/RTMConnection.h"

#include "convert/Logger.h"
#include "plugin/HostApi.h"
#include "rtm/LogRedaction.h"
#include "rtm/NetworkErrorText.h"

#include <wx/filename.h>

namespace {
const size_t BUFFER_CAPACITY = 1024;
const char* const USER_AGENT = "Corvane-Tasqueline/1.0";
}  // namespace

wxString MakeProxyCredentials(const wxString& user, const wxString& password) {
    return password.empty() ? user : user + wxT(":") + password;
}

CRTMConnection::CRTMConnection(const Logger* log, RTMSettings* settings, bool bypassProxy,
                               const ServiceContext& services)
    : bypassProxy(bypassProxy),
      settings(settings),
      errorBuffer(BUFFER_CAPACITY),
      m_Log(log),
      m_Services(services),
      curl(curl_easy_init()) {}

CRTMConnection::~CRTMConnection() {
    if (!curl)
        return;
    // Closing the connection still traces; the log given as its context may be gone by now.
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, static_cast<curl_debug_callback>(nullptr));
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, static_cast<void*>(nullptr));
    curl_easy_cleanup(curl);
}

void CRTMConnection::LogLine(int level, const wxString& text) const {
    LogThrough(m_Log, level, wxT("%s"), text);
}

wxString CRTMConnection::CalendarName() const {
    return m_Log ? m_Log->Name() : wxString();
}

void CRTMConnection::ConfigureHandle(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);

    const wchar_t* cookieDir = Corvane_GetPath(PATH_COOKIES);
    wxFileName cookieFile(wxT("cookies.txt"));
    cookieFile.MakeAbsolute(cookieDir ? wxString(cookieDir) : wxString());
    const wxString cookiePath = cookieFile.GetFullPath();
    m_CookieFile = cookiePath.utf8_str();
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, m_CookieFile.data());
    curl_easy_setopt(handle, CURLOPT_COOKIEJAR, m_CookieFile.data());

    const NetworkParameters* network = settings ? &settings->network : nullptr;
    if (network && !network->proxyServer.empty() && !bypassProxy) {
        proxyText = network->proxyServer.utf8_str();
        curl_easy_setopt(handle, CURLOPT_PROXY, proxyText.data());
        const long type = network->proxyType == 1   ? CURLPROXY_SOCKS4
                          : network->proxyType == 2 ? CURLPROXY_SOCKS5
                                                    : CURLPROXY_HTTP;
        curl_easy_setopt(handle, CURLOPT_PROXYTYPE, type);
        if (network->proxyUser.empty()) {
            curl_easy_setopt(handle, CURLOPT_PROXYUSERPWD, static_cast<char*>(nullptr));
            curl_easy_setopt(handle, CURLOPT_PROXYAUTH, 0L);
        } else {
            const wxString credentials = MakeProxyCredentials(network->proxyUser, network->proxyPassword);
            proxyCredentials = credentials.utf8_str();
            curl_easy_setopt(handle, CURLOPT_PROXYUSERPWD, proxyCredentials.data());
            curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        }
    } else {
        // Without a configured proxy the environment's proxy variables may apply; a connection that
        // has fallen back to a direct connection goes direct for certain.
        curl_easy_setopt(handle, CURLOPT_PROXY, bypassProxy ? "" : static_cast<char*>(nullptr));
        curl_easy_setopt(handle, CURLOPT_PROXYUSERPWD, static_cast<char*>(nullptr));
        curl_easy_setopt(handle, CURLOPT_PROXYAUTH, 0L);
    }

    char* error = static_cast<char*>(errorBuffer.GetWriteBuf(CURL_ERROR_SIZE > 256 ? CURL_ERROR_SIZE : 256));
    error[0] = 0;
    errorBuffer.UngetWriteBuf(0);

    if (Corvane_GetLogLevel() & LOG_DEBUG) {
        curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, &CRTMConnection::CurlDebugCallback);
        curl_easy_setopt(handle, CURLOPT_DEBUGDATA, m_Log);
        curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    } else {
        curl_easy_setopt(handle, CURLOPT_VERBOSE, 0L);
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
    }

    // No request may hang for ever on a dead connection.
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, m_Limits.connectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, m_Limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, m_Limits.lowSpeedSeconds);

    if (m_AbortCheck) {
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CRTMConnection::CurlProgressCallback);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    } else {
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    }
}

int CRTMConnection::Perform(const wxString& url, wxString& reply, int32_t& httpStatus) {
    CReplyText body;
    const int result = Perform(url, body, httpStatus);
    reply = body.Text();
    return result;
}

int CRTMConnection::Perform(const wxString& url, CReplyBody& body, int32_t& httpStatus) {
    body.Begin();
    if (!curl) {
        LogLine(LOG_ERROR, wxT("The network library could not be initialised."));
        body.End();
        return CURLE_FAILED_INIT;
    }
    wxMemoryBuffer headers(BUFFER_CAPACITY);
    const wxCharBuffer utf8Url = url.utf8_str();

    ConfigureHandle(curl);
    curl_easy_setopt(curl, CURLOPT_URL, utf8Url.data());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, USER_AGENT);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CRTMConnection::CurlBodyCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CRTMConnection::CurlWriteCallback);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headers);
    // The token travels in the query: only a verified server may see it, and a redirect may not
    // take it from HTTPS to plain HTTP.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR,
                     url.Lower().StartsWith(wxT("https:")) ? "https" : "http,https");

    LogLine(LOG_INFO, wxT("Url: ") + RedactToken(url));

    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, m_FreshConnection ? 1L : 0L);
    m_FreshConnection = false;

    m_Aborted = false;
    m_Body = &body;
    const CURLcode result = curl_easy_perform(curl);
    m_Body = nullptr;
    body.End();
    long sent = 0;
    m_RequestSent = curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &sent) == CURLE_OK && sent > 0;
    long status = httpStatus;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status != 0) {
        httpStatus = static_cast<int32_t>(status);
    }
    LogLine(LOG_INFO, wxString::Format(wxT("Result: (%i) %i %s."), static_cast<int>(result), httpStatus,
                                       GetNetworkErrorText(result, httpStatus)));

    const char* error = static_cast<const char*>(errorBuffer.GetData());
    const wxString errorText = error ? wxString::FromUTF8(error) : wxString();
    if (!errorText.empty())
        HostLog(LOG_DEBUG, wxT("Curl error: ") + RedactToken(errorText));
    return result;
}

size_t CRTMConnection::CurlBodyCallback(char* data, size_t size, size_t count, void* context) {
    auto* connection = static_cast<CRTMConnection*>(context);
    const size_t length = size * count;
    if (!connection->m_Body || !length)
        return length;
    // The status of the answer whose body this is: known once its headers are in.
    long status = 0;
    curl_easy_getinfo(connection->curl, CURLINFO_RESPONSE_CODE, &status);
    try {
        connection->m_Body->Append(data, length, static_cast<int32_t>(status));
    } catch (...) {
        return 0;  // no exception crosses libcurl; the transfer ends with a write error
    }
    return length;
}

size_t CRTMConnection::CurlWriteCallback(char* data, size_t size, size_t count, void* buffer) {
    const size_t length = size * count;
    if (buffer && length)
        static_cast<wxMemoryBuffer*>(buffer)->AppendData(data, length);
    return length;
}

int CRTMConnection::CurlDebugCallback(CURL*, curl_infotype type, char* data, size_t size, void* context) {
    const wxString line = FormatDebugLine(static_cast<int>(type), data, size);
    LogThrough(static_cast<const Logger*>(context), LOG_TRACE, wxT("%s"), line);
    return 0;
}

int CRTMConnection::CurlProgressCallback(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* connection = static_cast<CRTMConnection*>(context);
    if (connection->m_AbortCheck && connection->m_AbortCheck()) {
        connection->m_Aborted = true;
        return 1;  // libcurl ends the transfer with CURLE_ABORTED_BY_CALLBACK
    }
    return 0;
}

bool CRTMConnection::SuppressErrors() const {
    return settings && settings->suppressErrors;
}
