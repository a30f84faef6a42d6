#include "rtm/StreamedReply.h"

#include "convert/SameWord.h"

#include <expat.h>

#include <climits>
#include <cstring>

struct CStreamedReply::Handlers {
    static CStreamedReply& Reply(void* data) { return *static_cast<CStreamedReply*>(data); }

    // Runs one handler; an exception (out of memory) stops the parser instead of crossing expat.
    template <typename Handler>
    static void Guarded(void* data, Handler handler) {
        try {
            handler(Reply(data));
        } catch (...) {
            Reply(data).m_Failed = true;
            XML_StopParser(static_cast<XML_Parser>(Reply(data).m_Parser), XML_FALSE);
        }
    }

    static void Start(void* data, const XML_Char* name, const XML_Char** attributes) {
        Guarded(data, [&](CStreamedReply& reply) { reply.Started(name, attributes); });
    }
    static void End(void* data, const XML_Char*) {
        Guarded(data, [&](CStreamedReply& reply) {
            if (reply.m_Depth > 0)
                reply.EndElement(reply.m_Depth);
            --reply.m_Depth;
        });
    }
    static void Characters(void* data, const XML_Char* text, int length) {
        Guarded(data, [&](CStreamedReply& reply) {
            if (reply.m_Depth >= 0)
                reply.Text(text, length);
        });
    }
    static void StartCdata(void* data) {
        Guarded(data, [&](CStreamedReply& reply) {
            if (reply.m_Depth >= 0)
                reply.CdataStart();
        });
    }
    static void EndCdata(void* data) {
        Guarded(data, [&](CStreamedReply& reply) {
            if (reply.m_Depth >= 0)
                reply.CdataEnd();
        });
    }
    static void Comment(void* data, const XML_Char* text) {
        Guarded(data, [&](CStreamedReply& reply) {
            if (reply.m_Depth >= 0)
                reply.OtherNode(text);
        });
    }
    static void Instruction(void* data, const XML_Char* target, const XML_Char* content) {
        Guarded(data, [&](CStreamedReply& reply) {
            // An instruction has no attributes: an "err" one gives no code and no message.
            if (reply.m_Depth == 0 && !reply.m_Envelope.hasError && SameWord(target, "err"))
                reply.m_Envelope.hasError = true;
            if (reply.m_Depth >= 0)
                reply.OtherNode(content);
        });
    }
    // As wxXmlDocument has it: what no other handler takes (the declaration, references to
    // entities of an internal DTD, which stay unexpanded) is dropped.
    static void Default(void*, const XML_Char*, int) {}
};

CStreamedReply::CStreamedReply() = default;

CStreamedReply::~CStreamedReply() {
    FreeParser();
}

void CStreamedReply::Started(const char* name, const char** attributes) {
    const int depth = ++m_Depth;
    if (depth == 0) {
        m_Envelope.root = wxString::FromUTF8(name);
        const char* stat = FindAttribute(attributes, "stat");
        m_Envelope.stat = stat ? wxString::FromUTF8(stat) : wxString();
        m_Answering = std::strcmp(name, "rsp") == 0 && !(stat && std::strcmp(stat, "fail") == 0);
        return;
    }
    if (depth == 1) {
        m_Envelope.hasElement = true;
        if (!m_Envelope.hasError && SameWord(name, "err")) {
            m_Envelope.hasError = true;
            const char* code = FindAttribute(attributes, "code");
            const char* message = FindAttribute(attributes, "msg");
            m_Envelope.errorCode = code ? wxString::FromUTF8(code) : wxString();
            m_Envelope.errorMessage = message ? wxString::FromUTF8(message) : wxString();
        }
    }
    StartElement(depth, name, attributes);
}

const char* CStreamedReply::FindAttribute(const char** attributes, const char* name) {
    for (; *attributes; attributes += 2)
        if (std::strcmp(attributes[0], name) == 0)
            return attributes[1];
    return nullptr;
}

wxString CStreamedReply::TextOf(const char* utf8, size_t length) {
    wchar_t wide[256];
    if (length <= sizeof(wide) / sizeof(wide[0])) {
        size_t i = 0;
        for (; i < length && static_cast<unsigned char>(utf8[i]) < 0x80; ++i)
            wide[i] = static_cast<wchar_t>(utf8[i]);
        if (i == length)
            return wxString(wide, length);
    }
    return wxString::FromUTF8(utf8, length);
}

void CStreamedReply::FreeParser() {
    if (m_Parser)
        XML_ParserFree(static_cast<XML_Parser>(m_Parser));
    m_Parser = nullptr;
}

void CStreamedReply::OnBegin() {
    FreeParser();
    m_Failed = false;
    m_Depth = -1;
    m_Answering = false;
    m_Envelope = ReplyEnvelope();
    XML_Parser parser = XML_ParserCreate(nullptr);
    m_Parser = parser;
    if (!parser) {
        m_Failed = true;
        return;
    }
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &Handlers::Start, &Handlers::End);
    XML_SetCharacterDataHandler(parser, &Handlers::Characters);
    XML_SetCdataSectionHandler(parser, &Handlers::StartCdata, &Handlers::EndCdata);
    XML_SetCommentHandler(parser, &Handlers::Comment);
    XML_SetProcessingInstructionHandler(parser, &Handlers::Instruction);
    XML_SetDefaultHandler(parser, &Handlers::Default);
}

void CStreamedReply::OnData(const char* data, size_t size, int32_t httpStatus) {
    // Only a 2xx answer is read; the body of any other is an error page.
    if (httpStatus / 100 != 2)
        m_Failed = true;
    while (!m_Failed && size) {
        const int piece = size > INT_MAX ? INT_MAX : static_cast<int>(size);
        if (XML_Parse(static_cast<XML_Parser>(m_Parser), data, piece, XML_FALSE) != XML_STATUS_OK)
            m_Failed = true;
        data += piece;
        size -= piece;
    }
}

void CStreamedReply::OnEnd() {
    if (!m_Failed && XML_Parse(static_cast<XML_Parser>(m_Parser), nullptr, 0, XML_TRUE) != XML_STATUS_OK)
        m_Failed = true;
    // A body that is not UTF-8 has no text to read, whatever encoding it declares.
    m_Envelope.readable = !m_Failed && IsUtf8() && !m_Envelope.root.empty();
    FreeParser();
}
