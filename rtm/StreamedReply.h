// A reply read as it arrives: the body of a 2xx answer goes through expat chunk by chunk. Of the
// envelope only what its checks need is kept (the root's name and "stat", whether the root holds
// an element, its first "err"); what lies inside the root goes to the reader's handlers as events
// and is not kept, so a reply of any length takes little memory. The tree of the same text read by
// wxXmlDocument (which uses expat the same way) holds the same nodes in the same order.
#pragma once

#include "rtm/ReplyBody.h"

#include <wx/string.h>

// What the checks of a reply need from its envelope.
struct ReplyEnvelope {
    bool readable = false;    // a whole, well-formed document
    wxString root;            // the root element's name
    wxString stat;            // the root's "stat" attribute
    bool hasElement = false;  // the root holds an element
    bool hasError = false;    // the root holds a node named "err" (any case)
    wxString errorCode;       // and that node's "code" and "msg"
    wxString errorMessage;
};

class CStreamedReply : public CReplyBody {
  public:
    CStreamedReply();
    ~CStreamedReply() override;

    const ReplyEnvelope& Envelope() const { return m_Envelope; }

    // The value of the attribute named exactly `name` among expat's name/value pairs; null if none.
    static const char* FindAttribute(const char** attributes, const char* name);
    // Text from expat (UTF-8) as wide text; short ASCII, the usual case, without a conversion.
    static wxString TextOf(const char* utf8, size_t length);

  protected:
    // True from the root's start tag on when the root is an "rsp" that does not say "fail": only
    // then can the payload be the answer.
    bool Answering() const { return m_Answering; }

    // The nodes inside the root, in document order. An element's depth is 1 for a child of the
    // root; text and other nodes belong to the innermost open element.
    virtual void StartElement(int depth, const char* name, const char** attributes) = 0;
    virtual void EndElement(int depth) = 0;
    // Character data, split anywhere between characters; inside a CDATA section too.
    virtual void Text(const char* text, int length) = 0;
    virtual void CdataStart() = 0;
    virtual void CdataEnd() = 0;
    // A comment (its text) or a processing instruction (its data).
    virtual void OtherNode(const char* content) = 0;

    void OnBegin() override;
    void OnData(const char* data, size_t size, int32_t httpStatus) override;
    void OnEnd() override;

  private:
    struct Handlers;
    void Started(const char* name, const char** attributes);
    void FreeParser();

    void* m_Parser = nullptr;  // expat's parser of the current attempt
    bool m_Failed = false;     // not a 2xx answer, or not well-formed XML
    int m_Depth = -1;          // of the open element: 0 for the root, -1 outside it
    bool m_Answering = false;
    ReplyEnvelope m_Envelope;
};
