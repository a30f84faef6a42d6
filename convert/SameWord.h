// Element names and note titles of the service's replies are ASCII words, compared without regard
// to case. Done by hand: it runs several times for every element of every task series.
#pragma once

#include <wx/string.h>

#include <cwchar>

inline bool SameWord(const wxString& text, const wchar_t* word) {
    const size_t length = std::wcslen(word);
    if (text.length() != length)
        return false;
    const wchar_t* s = text.wc_str();
    for (size_t i = 0; i < length; ++i) {
        wchar_t a = s[i], b = word[i];
        if (a >= L'A' && a <= L'Z')
            a += L'a' - L'A';
        if (b >= L'A' && b <= L'Z')
            b += L'a' - L'A';
        if (a != b)
            return false;
    }
    return true;
}

// The same on UTF-8 text: a byte outside ASCII never matches a word's letter.
inline bool SameWord(const char* text, const char* word) {
    for (;; ++text, ++word) {
        char a = *text, b = *word;
        if (a >= 'A' && a <= 'Z')
            a += 'a' - 'A';
        if (b >= 'A' && b <= 'Z')
            b += 'a' - 'A';
        if (a != b)
            return false;
        if (!a)
            return true;
    }
}
