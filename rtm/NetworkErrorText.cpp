#include "rtm/NetworkErrorText.h"

#include "convert/Logger.h"

namespace {
// libcurl's result codes 1 to 77 (index = code); the four user-facing ones are handled apart.
const char* const CURL_TEXTS[] = {
    nullptr,
    "Unsupported protocol",
    "Initialization failed",
    "The URL is malformed",
    "The URL is malformed",
    nullptr,  // 5: translated
    nullptr,  // 6: translated
    nullptr,  // 7: translated
    "Weird reply from the FTP server",
    "A service was denied by the FTP server due to lack of access",
    "Incorrect FTP password",
    "Weird password reply from the server",
    "Weird user reply from the server",
    "Weird PASV reply from the server",
    "Weird 227 reply from the server",
    "Cannot get the FTP host",
    "Cannot reconnect to the FTP server",
    "Unable to set FTP to binary mode",
    "Partial file",
    "Unable to retrieve the file",
    "FTP write error",
    "FTP quote error",
    "HTTP returned error",
    "Write error",
    "Malformed username",
    "Failed FTP upload",
    "Couldn't open/read from file",
    "Out of memory",
    "The timeout time was reached",
    "TYPE A failed",
    "FTP PORT operation failed",
    "The REST command failed",
    "The SIZE command failed",
    "RANGE command didn't work",
    "HTTP post error",
    nullptr,  // 35: translated
    "Couldn't resume download",
    "Couldn't read the file",
    "LDAP bind error",
    "LDAP search failed",
    "Library not found",
    "Function not found",
    "Aborted by callback",
    "Bad function argument",
    "NOT USED",
    "CURLOPT_INTERFACE failed",
    "NOT USED",
    "catch endless re-direct loops",
    "User specified an unknown option",
    "Malformed telnet option",
    "NOT USED",
    "Peer's certificate wasn't ok",
    "When this is a specific error",
    "SSL crypto engine not found",
    "Can not set SSL crypto engine as default",
    "Failed sending network data",
    "Failure in receiving network data",
    "Share is in use",
    "Problem with the local certificate",
    "Couldn't use specified cipher",
    "Problem with the CA cert (path?)",
    "Unrecognized transfer encoding",
    "Invalid LDAP URL",
    "Maximum file size exceeded",
    "Requested FTP SSL level failed",
    "Sending the data requires a rewind that failed",
    "Failed to initialise ENGINE",
    "User: password or similar was not accepted and we failed to login",
    "File not found on server",
    "Permission problem on server",
    "Out of disk space on server",
    "Illegal TFTP operation",
    "Unknown transfer ID",
    "File already exists",
    "No such user",
    "Conversion failed",
    "Caller must register conversion callbacks",
    "Could not load CACERT file, missing or wrong format",
};
const int CURL_TEXT_COUNT = sizeof(CURL_TEXTS) / sizeof(CURL_TEXTS[0]);

struct StatusText {
    int32_t status;
    const char* text;
};
const StatusText STATUS_TEXTS[] = {
    {100, "Continue"},
    {101, "Switching Protocols"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {207, "Multi-Status"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Moved temporarily"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {307, "Temporary Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Entity Too Large"},
    {414, "Request-URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Requested Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
};

const wxChar* const UNKNOWN = wxT("Unknown error");
}  // namespace

wxString GetNetworkErrorText(int32_t curlCode, int32_t httpStatus) {
    // The callers' formats put a period after the text, so the hint loses its own.
    wxString hint =
        wxT(" ") + Translate(wxT("Make sure that your network is working and that your firewall is not "
                                 "blocking the connection."));
    if (hint.EndsWith(wxT(".")))
        hint.RemoveLast();

    if (curlCode != 0) {
        switch (curlCode) {
            case 5:
                return Translate(
                    wxT("Unable to resolve the proxy. Verify that your proxy settings are correct."));
            case 6:
                return Translate(wxT("Unable to resolve the host.")) + hint;
            case 7:
                return Translate(wxT("Unable to connect to the server.")) + hint;
            case 35:
                return Translate(wxT("Secure connection (SSL) to the server failed.")) + hint;
            default:
                break;
        }
        if (curlCode < 1 || curlCode >= CURL_TEXT_COUNT || !CURL_TEXTS[curlCode])
            return UNKNOWN;
        return wxString::FromAscii(CURL_TEXTS[curlCode]);
    }
    for (const StatusText& entry : STATUS_TEXTS) {
        if (entry.status == httpStatus)
            return wxString::FromAscii(entry.text);
    }
    return UNKNOWN;
}
