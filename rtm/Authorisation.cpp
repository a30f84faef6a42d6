// The authorisation exchange: the stored token is checked, a pending frob is exchanged, or a new
// frob is fetched and the user grants access in the browser. The stored token and frob carry the
// exchange across runs.
#include "convert/Logger.h"
#include "plugin/HostApi.h"
#include "rtm/BrowserLauncher.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "rtm/TokenStore.h"

namespace {
// The code of a failure envelope ("98" for a token the service no longer accepts); empty for any
// other reply.
wxString EnvelopeErrorCode(const wxString& reply) {
    const size_t err = reply.find(wxT("<err"));
    if (err == wxString::npos || !reply.Contains(wxT("<rsp")))
        return wxString();
    const wxString key = wxT("code=\"");
    const size_t code = reply.find(key, err);
    if (code == wxString::npos)
        return wxString();
    const size_t start = code + key.length();
    const size_t end = reply.find(wxT('"'), start);
    return end == wxString::npos ? wxString() : reply.substr(start, end - start);
}

const wxChar* const INVALID_TOKEN_CODE = wxT("98");
}  // namespace

uint32_t CRTMConnection::CallAuthMethod(const wxString& method, const wxString& argName,
                                        const wxString& argValue, wxString& reply) {
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("method")] = method;
    if (!argName.empty())
        params[argName] = argValue;
    const uint32_t status = CallMethod(params, reply);
    if (status == RTM_NO_CONNECTION)
        Corvane_SetTrayStatus(TRAY_FAILED, CalendarName().wc_str());
    return status;
}

bool CRTMConnection::Authorise(TokenStore& store) {
    StoredAuth stored = store.Load();
    wxString& token = stored.token;
    wxString& frob = stored.frob;
    wxString reply;

    // A stored token: still valid?
    if (!token.empty()) {
        if (CallAuthMethod(wxT("rtm.auth.checkToken"), wxT("auth_token"), token, reply) != RTM_OK)
            return false;
        token = ExtractElement(reply, wxT("token"));
        if (token.empty()) {
            // Only the service's word that the token is invalid throws it away; an error page, a
            // lost answer or any other failure keeps it for the next run.
            if (EnvelopeErrorCode(reply) != INVALID_TOKEN_CODE)
                return false;
            frob.clear();
            store.Save(StoredAuth());
        }
    }

    // A frob from an earlier run whose token was never fetched.
    if (!frob.empty() && token.empty()) {
        if (CallAuthMethod(wxT("rtm.auth.getToken"), wxT("frob"), frob, reply) != RTM_OK)
            return false;
        token = ExtractElement(reply, wxT("token"));
        // Without the service's envelope the frob may still be good: it stays for the next run.
        if (token.empty() && !reply.Contains(wxT("<rsp")))
            return false;
        frob.clear();
        store.Save({token, wxString()});
    }

    // A new authorisation through the browser.
    if (frob.empty() && token.empty()) {
        if (CallAuthMethod(wxT("rtm.auth.getFrob"), wxString(), wxString(), reply) != RTM_OK)
            return false;
        frob = ExtractElement(reply, wxT("frob"));
        if (frob.empty()) {
            if (!SuppressErrors())
                ReportError(Translate(wxT("Unable to parse the output.")), 0, 200);
            return false;
        }

        // The frob is the service's text: encoded in the address, signed as it stands.
        const wxString query =
            wxT("?api_key=") + wxString(RTM_API_KEY) + wxT("&frob=") + UrlEncode(frob) + wxT("&perms=delete");
        const wxString signingText =
            wxT("api_key") + wxString(RTM_API_KEY) + wxT("frob") + frob + wxT("permsdelete");
        const wxString page = m_Services.address.AuthPage() + query + wxT("&api_sig=") + Sign(signingText);

        store.Save({wxString(), frob});

        const wxString first =
            Translate(wxT("Please log in to Remember The Milk.")) + wxT("\n") +
            Translate(wxT("You need to authorize Corvane to access your Remember The Milk account. "
                          "Please log in to the Remember The Milk web site and give Corvane access "
                          "to your account.\n\nYour default web browser will open automatically "
                          "when you click the OK button."));
        Corvane_Message(first.wc_str(), MSG_STYLE_INFO, false);
        LaunchBrowser(m_Services.launcher, page);
        const wxString second =
            Translate(wxT("Continue after authorization.")) + wxT("\n") +
            Translate(wxT("Click the OK button to continue after you have authorized Corvane."));
        Corvane_Message(second.wc_str(), MSG_STYLE_INFO, false);

        if (CallAuthMethod(wxT("rtm.auth.getToken"), wxT("frob"), frob, reply) != RTM_OK)
            return false;
        token = ExtractElement(reply, wxT("token"));
        if (token.empty() && !reply.Contains(wxT("<rsp")))
            return false;
        frob.clear();
        store.Save({token, wxString()});
    }
    return true;
}
