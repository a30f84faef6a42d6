// The tasks of an rtm.tasks.getList reply, read as the reply arrives: each task series becomes a
// to-do as soon as its end tag is read, and neither the reply nor its tree is ever held whole. The
// to-dos are only collected; they may be used once the reply proved whole and answering the call
// (CRTMConnection::CheckEnvelope), since a reply cut short would miss tasks that still exist.
#pragma once

#include "convert/TaskSeriesBuilder.h"
#include "rtm/StreamedReply.h"
#include "sync/ComponentMap.h"

#include <wx/ffile.h>

#include <cstdint>
#include <optional>
#include <string>

class Logger;

// The to-dos of one download: the series of the lists by UID (a later one with the same UID takes
// the place of an earlier one), those listed as deleted, and how many series converted.
struct DownloadedTasks {
    ComponentMap online;
    ComponentList deleted;
    int32_t count = 0;
};

class CTaskListReader : public CStreamedReply {
  public:
    explicit CTaskListReader(const Logger* log) : m_Log(log) {}

    // Writes the body into this file as well, replacing its content, chunk by chunk as it arrives.
    void DumpTo(const wxString& path) { m_DumpPath = path; }
    // What the reply held, as far as it was read.
    DownloadedTasks& Tasks() { return m_Tasks; }

  protected:
    void StartElement(int depth, const char* name, const char** attributes) override;
    void EndElement(int depth) override;
    void Text(const char* text, int length) override;
    void CdataStart() override;
    void CdataEnd() override;
    void OtherNode(const char* content) override;

    void OnBegin() override;
    void OnData(const char* data, size_t size, int32_t httpStatus) override;
    void OnEnd() override;

  private:
    // The elements that lead to a task series: rsp > tasks > list > taskseries, and
    // rsp > tasks > list > deleted > taskseries.
    enum class Kind { OTHER, TASKS, LIST, DELETED, SERIES };
    // The parts of a series whose content the to-do takes.
    enum class Part { NONE, TAGS, NOTES };
    // The first child node of a tag, a note or the rule, whose content is the element's text.
    enum class Capture { NONE, WAITING, TEXT, CDATA };
    enum class Target { TAG, NOTE, RULE };

    void StartSeries(const char** attributes, bool deleted);
    void EndSeries();
    void StartCapture(int depth, Target target);
    // The first child node was found (`content`), or the element has none (null).
    void EndCapture(const std::string* content);

    const Logger* m_Log;
    wxString m_DumpPath;
    wxFFile m_Dump;
    DownloadedTasks m_Tasks;

    Kind m_Kinds[5] = {};  // of the open elements down to a deleted series
    wxString m_ListId;
    std::optional<CTaskSeriesBuilder> m_Series;
    int m_SeriesDepth = 0;
    bool m_SeriesDeleted = false;
    Part m_Part = Part::NONE;

    Capture m_Capture = Capture::NONE;
    int m_CaptureDepth = 0;
    Target m_Target = Target::TAG;
    std::string m_Text;
    wxString m_NoteId, m_NoteTitle;
};
