// The host's reversible encoding of stored secrets (the proxy password in corvane.ini): the UTF-8
// bytes mixed with the key and written as hexadecimal, so the file never shows them in clear.
#pragma once

#include <wx/string.h>

wxString EncodeSecret(const wxString& text, const wxString& key);
// False when the text is not an encoded secret; the text is then left as it is.
bool DecodeSecret(const wxString& encoded, const wxString& key, wxString& text);
