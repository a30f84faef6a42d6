#include "tests/support/EmulatorTaskClient.h"

#include "emulator/Signature.h"

#include <httplib.h>
#include <wx/mstream.h>

#include <chrono>
#include <thread>

std::string AttrOf(const wxXmlNode* node, const char* name) {
    if (!node)
        return std::string();
    return std::string(node->GetAttribute(wxString::FromUTF8(name), wxString()).utf8_str());
}

std::string TextOf(const wxXmlNode* node) {
    return node ? std::string(node->GetNodeContent().utf8_str()) : std::string();
}

std::vector<const wxXmlNode*> ChildrenOf(const wxXmlNode* node, const char* name) {
    std::vector<const wxXmlNode*> children;
    for (const wxXmlNode* child = node ? node->GetChildren() : nullptr; child; child = child->GetNext())
        if (child->GetType() == wxXML_ELEMENT_NODE && (!name || child->GetName() == wxString::FromUTF8(name)))
            children.push_back(child);
    return children;
}

const wxXmlNode* ChildOf(const wxXmlNode* node, const char* name) {
    const std::vector<const wxXmlNode*> children = ChildrenOf(node, name);
    return children.empty() ? nullptr : children.front();
}

bool EmulatorReply::Ok() const {
    return parsed && AttrOf(document->GetRoot(), "stat") == "ok";
}

int EmulatorReply::ErrorCode() const {
    if (!parsed || Ok())
        return 0;
    return std::atoi(AttrOf(ChildOf(document->GetRoot(), "err"), "code").c_str());
}

std::string EmulatorReply::ErrorMessage() const {
    return parsed ? AttrOf(ChildOf(document->GetRoot(), "err"), "msg") : std::string();
}

const wxXmlNode* EmulatorReply::Payload(const char* name) const {
    return parsed ? ChildOf(document->GetRoot(), name) : nullptr;
}

void EmulatorTaskTest::SetUp() {
    emulator = std::make_unique<rtmemu::Emulator>();
    std::string error;
    ASSERT_TRUE(emulator->Start(&error)) << error;
    // A server stopped before its thread is listening would never stop; wait until it listens.
    for (int i = 0; i < 5000 && !emulator->IsRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(emulator->IsRunning());
    Store().SetClock([this] { return static_cast<rtmemu::Instant>(now.load()); });
    token = GrantToken(rtmemu::Perms::Delete);
}

void EmulatorTaskTest::TearDown() {
    emulator->Stop();
}

std::string EmulatorTaskTest::GrantToken(rtmemu::Perms perms) {
    rtmemu::AccountState& state = emulator->State();
    const std::string frob = state.NewFrob(rtmemu::DEFAULT_API_KEY);
    state.ApproveFrob(frob, perms);
    return state.ExchangeFrob(frob)->token;
}

EmulatorReply EmulatorTaskTest::Call(const std::string& method, Params params) {
    params.emplace("method", method);
    return Send(std::move(params), true);
}

EmulatorReply EmulatorTaskTest::CallUnsigned(const std::string& method, Params params) {
    params.emplace("method", method);
    return Send(std::move(params), false);
}

EmulatorReply EmulatorTaskTest::Send(Params params, bool sign) {
    params.emplace("api_key", rtmemu::DEFAULT_API_KEY);
    params.emplace("auth_token", token);
    if (sign) {
        const std::multimap<std::string, std::string> all(params.begin(), params.end());
        params["api_sig"] = rtmemu::ComputeSignature(rtmemu::DEFAULT_SHARED_SECRET, all);
    }
    httplib::Client client("127.0.0.1", emulator->Port());
    httplib::Params form(params.begin(), params.end());
    EmulatorReply reply;
    // GET with a query, as the plug-in sends its calls.
    httplib::Result result = client.Get("/services/rest/", form, httplib::Headers());
    if (!result)
        return reply;
    reply.httpStatus = result->status;
    reply.contentType = result->get_header_value("Content-Type");
    reply.body = result->body;
    reply.document = std::make_shared<wxXmlDocument>();
    wxMemoryInputStream stream(reply.body.data(), reply.body.size());
    reply.parsed = reply.document->Load(stream) && reply.document->GetRoot();
    return reply;
}

std::string EmulatorTaskTest::Timeline() {
    const EmulatorReply reply = Call("rtm.timelines.create");
    return TextOf(reply.Payload("timeline"));
}

EmulatorTaskTest::Params EmulatorTaskTest::PathOf(const rtmemu::TaskRef& ref) {
    return {{"timeline", Timeline()},
            {"list_id", ref.listId},
            {"taskseries_id", ref.seriesId},
            {"task_id", ref.taskId}};
}
