#include "host/VdirName.h"

#include "plugin/HostApi.h"

#include <cctype>

namespace {
// File systems allow 255 bytes; this leaves room for the temporary name written beside it.
const size_t MAX_NAME = 200;
const size_t KEPT_PREFIX = 150;
const char* const HEX = "0123456789ABCDEF";

bool IsSafe(unsigned char c, bool first) {
    return std::isalnum(c) || c == '-' || c == '_' || c == '+' || c == '@' || (c == '.' && !first);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
}  // namespace

std::string PercentEncode(const std::string& text) {
    std::string encoded;
    encoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // isalnum is asked about ASCII only: the locale must not let other bytes through.
        if (c < 0x80 && IsSafe(c, i == 0)) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += HEX[c >> 4];
            encoded += HEX[c & 15];
        }
    }
    return encoded;
}

bool PercentDecode(const std::string& text, std::string& decoded) {
    decoded.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string VdirFileName(const std::string& uid) {
    std::string name = uid.empty() ? std::string("~") : PercentEncode(uid);
    if (name.size() > MAX_NAME) {
        size_t cut = KEPT_PREFIX;
        // Never in the middle of a "%XX".
        while (cut > 0 && (name[cut - 1] == '%' || (cut > 1 && name[cut - 2] == '%')))
            --cut;
        wxString digest;
        Corvane_CalculateMD5(reinterpret_cast<const unsigned char*>(uid.data()), uid.size(), digest);
        name = name.substr(0, cut) + "~" + std::string(digest.utf8_str());
    }
    return name + ".ics";
}
