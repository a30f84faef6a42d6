#include "host/PasswordCodec.h"

#include <string>

namespace {
unsigned char KeyByte(const std::string& key, size_t i) {
    return key.empty() ? 0x5a : static_cast<unsigned char>(key[i % key.size()] ^ (0x5a + i));
}
}  // namespace

wxString EncodeSecret(const wxString& text, const wxString& key) {
    const std::string bytes(text.utf8_str());
    const std::string keyBytes(key.utf8_str());
    wxString encoded;
    for (size_t i = 0; i < bytes.size(); ++i) {
        encoded += wxString::Format(wxT("%02x"), static_cast<unsigned char>(bytes[i]) ^ KeyByte(keyBytes, i));
    }
    return encoded;
}

bool DecodeSecret(const wxString& encoded, const wxString& key, wxString& text) {
    if (encoded.length() % 2 != 0)
        return false;
    const std::string keyBytes(key.utf8_str());
    std::string bytes;
    for (size_t i = 0; i < encoded.length(); i += 2) {
        unsigned long value = 0;
        if (!encoded.Mid(i, 2).ToULong(&value, 16))
            return false;
        bytes += static_cast<char>(value ^ KeyByte(keyBytes, i / 2));
    }
    text = wxString::FromUTF8(bytes.data(), bytes.size());
    return true;
}
