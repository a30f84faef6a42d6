#include "rtm/ReplyBody.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {
const char PAGE_TEXT[] = "Remember The Milk - Temporarily Unavailable";
const char WORD_TEXT[] = "unavailable";
const size_t PAGE_LENGTH = sizeof(PAGE_TEXT) - 1;
const size_t WORD_LENGTH = sizeof(WORD_TEXT) - 1;
// Enough bytes for the 1024 characters the log shows, at four bytes a character at most.
const size_t HEAD_BYTES = 4096;

using Searcher = std::boyer_moore_horspool_searcher<const char*>;

bool Holds(const char* begin, const char* end, const Searcher& searcher) {
    return std::search(begin, end, searcher) != end;
}

// The length of the head without a character cut off at its end.
size_t WholeCharacters(const std::string& head) {
    size_t at = head.size();
    size_t back = 0;
    while (at > 0 && back < 3 && (static_cast<unsigned char>(head[at - 1]) & 0xC0) == 0x80) {
        --at;
        ++back;
    }
    if (at == 0)
        return head.size();
    const unsigned char lead = static_cast<unsigned char>(head[at - 1]);
    const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return back + 1 >= need ? head.size() : at - 1;
}
}  // namespace

CReplyBody::CReplyBody() = default;
CReplyBody::~CReplyBody() = default;

void CReplyBody::Begin() {
    m_Begun = true;
    m_Head.clear();
    m_Tail.clear();
    m_UnavailablePage = m_Unavailable = false;
    m_Utf8 = true;
    m_Owed = 0;
    OnBegin();
}

void CReplyBody::Append(const char* data, size_t size, int32_t httpStatus) {
    if (!size)
        return;
    if (m_Head.size() < HEAD_BYTES)
        m_Head.append(data, std::min(size, HEAD_BYTES - m_Head.size()));
    Scan(data, size);
    CheckUtf8(data, size);
    OnData(data, size, httpStatus);
}

void CReplyBody::End() {
    if (m_Owed)
        m_Utf8 = false;  // a character cut off at the end
    OnEnd();
}

void CReplyBody::Scan(const char* data, size_t size) {
    static const Searcher page(PAGE_TEXT, PAGE_TEXT + PAGE_LENGTH);
    static const Searcher word(WORD_TEXT, WORD_TEXT + WORD_LENGTH);
    if (m_UnavailablePage && m_Unavailable)
        return;
    // Texts split between the previous chunk and this one, then the chunk itself.
    std::string joint = m_Tail;
    joint.append(data, std::min(size, PAGE_LENGTH - 1));
    const char* const pieces[][2] = {{joint.data(), joint.data() + joint.size()}, {data, data + size}};
    for (const auto& piece : pieces) {
        m_UnavailablePage = m_UnavailablePage || Holds(piece[0], piece[1], page);
        m_Unavailable = m_Unavailable || Holds(piece[0], piece[1], word);
    }
    if (size >= PAGE_LENGTH - 1) {
        m_Tail.assign(data + size - (PAGE_LENGTH - 1), PAGE_LENGTH - 1);
    } else {
        m_Tail.append(data, size);
        if (m_Tail.size() > PAGE_LENGTH - 1)
            m_Tail.erase(0, m_Tail.size() - (PAGE_LENGTH - 1));
    }
}

void CReplyBody::CheckUtf8(const char* data, size_t size) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = p + size;
    while (m_Utf8 && p < end) {
        if (m_Owed) {
            if (*p < m_Low || *p > m_High) {
                m_Utf8 = false;
                break;
            }
            m_Low = 0x80;
            m_High = 0xBF;
            --m_Owed;
            ++p;
            continue;
        }
        // Plain ASCII eight bytes at a time, the usual case.
        uint64_t eight;
        if (end - p >= 8 && (std::memcpy(&eight, p, 8), (eight & 0x8080808080808080ull) == 0)) {
            p += 8;
            continue;
        }
        const unsigned char lead = *p++;
        if (lead < 0x80)
            continue;
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if (lead >= 0xC2 && lead <= 0xDF) {
            m_Owed = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            m_Owed = 2;
            m_Low = lead == 0xE0 ? 0xA0 : 0x80;
            m_High = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            m_Owed = 3;
            m_Low = lead == 0xF0 ? 0x90 : 0x80;
            m_High = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            m_Utf8 = false;
        }
    }
}

wxString CReplyBody::Head(size_t characters) const {
    if (!m_Utf8)
        return wxString();
    return wxString::FromUTF8(m_Head.data(), WholeCharacters(m_Head)).Left(characters);
}

bool CReplyBody::HasUnavailablePage() const {
    return m_Utf8 && m_UnavailablePage;
}

bool CReplyBody::SaysUnavailable() const {
    return m_Utf8 && m_Unavailable;
}

wxString CReplyText::Text() const {
    return m_Text;
}

wxString CReplyText::Head(size_t characters) const {
    return m_Text.Left(characters);
}

bool CReplyText::HasUnavailablePage() const {
    return m_Text.Contains(wxT("Remember The Milk - Temporarily Unavailable"));
}

bool CReplyText::SaysUnavailable() const {
    return m_Text.Contains(wxT("unavailable"));
}

void CReplyText::OnBegin() {
    m_Bytes.clear();
    m_Text.clear();
}

void CReplyText::OnData(const char* data, size_t size, int32_t) {
    m_Bytes.append(data, size);
}

void CReplyText::OnEnd() {
    m_Text = wxString::FromUTF8(m_Bytes.data(), m_Bytes.size());
    m_Bytes.clear();
    m_Bytes.shrink_to_fit();
}
