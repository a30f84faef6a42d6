#include "rtm/RTMSettings.h"

RTMSettings RTMSettings::DeepCopy() const {
    RTMSettings copy(*this);
    // wxString owns its characters, but be explicit: the worker's copy must share nothing.
    copy.list = wxString(list.wc_str(), list.length());
    copy.authToken = wxString(authToken.wc_str(), authToken.length());
    return copy;
}
