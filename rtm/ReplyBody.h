// The body of a method call's answer as libcurl hands it over, attempt by attempt. It keeps what the
// checks of the call need -- the first characters for the log, and whether the texts the checks look
// for are in it, as the body's text would show them -- and passes every chunk on to a reader.
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CReplyBody {
  public:
    CReplyBody();
    virtual ~CReplyBody();
    CReplyBody(const CReplyBody&) = delete;
    CReplyBody& operator=(const CReplyBody&) = delete;

    // A new attempt: what an earlier one brought is forgotten.
    void Begin();
    // One chunk of the body of an answer with this HTTP status.
    void Append(const char* data, size_t size, int32_t httpStatus);
    // The transfer has ended, in whatever way.
    void End();
    // True once an attempt has begun.
    bool Begun() const { return m_Begun; }
    // False once the body has proved not to be UTF-8.
    bool IsUtf8() const { return m_Utf8; }

    // Up to `characters` characters from the start of the text.
    virtual wxString Head(size_t characters) const;
    // The service's "temporarily unavailable" page, and the word "unavailable" anywhere.
    virtual bool HasUnavailablePage() const;
    virtual bool SaysUnavailable() const;

  protected:
    virtual void OnBegin() {}
    virtual void OnData(const char* data, size_t size, int32_t httpStatus) = 0;
    virtual void OnEnd() {}

  private:
    void Scan(const char* data, size_t size);
    void CheckUtf8(const char* data, size_t size);

    bool m_Begun = false;
    std::string m_Head;  // the first bytes, enough for the characters of the log
    std::string m_Tail;  // the last bytes of the body so far, for texts split between two chunks
    bool m_UnavailablePage = false;
    bool m_Unavailable = false;
    // UTF-8 checked as it comes: continuation bytes still owed, and the range of the next one.
    bool m_Utf8 = true;
    int m_Owed = 0;
    unsigned char m_Low = 0x80, m_High = 0xBF;
};

// The whole body kept, as the text of the reply: what an ordinary call reads.
class CReplyText : public CReplyBody {
  public:
    // The body decoded from UTF-8 (empty when it is not UTF-8).
    wxString Text() const;

    wxString Head(size_t characters) const override;
    bool HasUnavailablePage() const override;
    bool SaysUnavailable() const override;

  protected:
    void OnBegin() override;
    void OnData(const char* data, size_t size, int32_t httpStatus) override;
    void OnEnd() override;

  private:
    std::string m_Bytes;
    wxString m_Text;
};
