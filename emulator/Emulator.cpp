#include "emulator/Emulator.h"

#include "emulator/Envelope.h"
#include "emulator/Signature.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>

namespace rtmemu {

const char* const DEFAULT_API_KEY = "7c3e91a05d2b48f6e0a9c1d7b25f8e43";
const char* const DEFAULT_SHARED_SECRET = "e5a07d3c91b26f48";

namespace {
const char* const XML_TYPE = "text/xml; charset=\"utf-8\"";
const char* const HTML_TYPE = "text/html; charset=utf-8";

const char* const UNAVAILABLE_PAGE =
    "<html><head><title>Remember The Milk - Temporarily Unavailable</title></head><body>"
    "<h1>Temporarily Unavailable</h1><p>Remember The Milk is temporarily unavailable. "
    "Please try again in a few minutes.</p></body></html>";

// The query's parameters and, for a POST, those of a form body: the server parses both into one list.
std::multimap<std::string, std::string> RequestParams(const httplib::Request& request) {
    return std::multimap<std::string, std::string>(request.params.begin(), request.params.end());
}

// The log entry of a request as it arrived: time, path, target and parameters.
LoggedRequest NewLogEntry(const httplib::Request& request) {
    LoggedRequest entry;
    entry.time = std::chrono::steady_clock::now();
    entry.path = request.path;
    entry.target = request.target;
    entry.params = RequestParams(request);
    return entry;
}

std::string Get(const std::multimap<std::string, std::string>& params, const std::string& name) {
    auto found = params.find(name);
    return found == params.end() ? std::string() : found->second;
}

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + XmlEscape(title) +
           "</title></head><body><h1>" + XmlEscape(title) + "</h1>" + body + "</body></html>";
}

std::string DefaultErrorPage(int status) {
    if (status == 503) {
        return Page("503 Service Temporarily Unavailable", "<p>The service is temporarily unavailable.</p>");
    }
    return Page(std::to_string(status) + " Error", "<p>The server could not complete the request.</p>");
}
}  // namespace

Emulator::Emulator(EmulatorOptions options) : m_Options(std::move(options)) {
    m_State.SetAutoApprove(m_Options.autoApprove);
    RegisterAuthMethods(m_Methods);
    RegisterTestMethods(m_Methods);
    RegisterTaskMethods(m_Methods);
}

Emulator::~Emulator() {
    Stop();
}

std::string Emulator::BaseUrl() const {
    const bool tls = !m_Options.certificateFile.empty() && !m_Options.privateKeyFile.empty();
    return std::string(tls ? "https://" : "http://") + m_Options.host + ":" + std::to_string(m_Port);
}

bool Emulator::IsRunning() const {
    return m_Server && m_Server->is_running();
}

bool Emulator::Start(std::string* error) {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Stopping = false;
    }
    return Listen(m_Options.port, error);
}

bool Emulator::Listen(int port, std::string* error) {
    if (!m_Options.certificateFile.empty() && !m_Options.privateKeyFile.empty()) {
        m_Server = std::make_unique<httplib::SSLServer>(m_Options.certificateFile.c_str(),
                                                        m_Options.privateKeyFile.c_str());
    } else {
        m_Server = std::make_unique<httplib::Server>();
    }
    if (!m_Server->is_valid()) {
        if (error)
            *error = "cannot set up the server (certificate or key not usable)";
        m_Server.reset();
        return false;
    }
    httplib::Server& server = *m_Server;
    // One request per connection: a kept-alive connection would hold up Stop and SetRefusing
    // for the server's keep-alive time.
    server.set_keep_alive_max_count(1);
    server.Get("/services/rest/",
               [this](const httplib::Request& q, httplib::Response& r) { HandleRest(q, r); });
    server.Post("/services/rest/",
                [this](const httplib::Request& q, httplib::Response& r) { HandleRest(q, r); });
    server.Get("/services/auth/",
               [this](const httplib::Request& q, httplib::Response& r) { HandleAuthPage(q, r); });
    server.Post("/services/auth/",
                [this](const httplib::Request& q, httplib::Response& r) { HandleAuthAllow(q, r); });
    server.Post("/emulator/revoke",
                [this](const httplib::Request& q, httplib::Response& r) { HandleRevoke(q, r); });
    server.Get("/emulator/requests",
               [this](const httplib::Request& q, httplib::Response& r) { HandleLog(q, r); });

    if (port == 0) {
        m_Port = server.bind_to_any_port(m_Options.host);
        if (m_Port <= 0) {
            if (error)
                *error = "cannot bind a port on " + m_Options.host;
            m_Server.reset();
            return false;
        }
    } else {
        if (!server.bind_to_port(m_Options.host, port)) {
            if (error)
                *error = "cannot listen on " + m_Options.host + ":" + std::to_string(port);
            m_Server.reset();
            return false;
        }
        m_Port = port;
    }
    m_Thread = std::thread([&server] { server.listen_after_bind(); });
    // A stop before the loop runs would be lost, and the loop would never end.
    for (int i = 0; i < 5000 && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void Emulator::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Stopping = true;
    }
    m_StopSignal.notify_all();
    if (m_Server)
        m_Server->stop();
    if (m_Thread.joinable())
        m_Thread.join();
    m_Server.reset();
}

bool Emulator::SetRefusing(bool refusing, std::string* error) {
    if (refusing) {
        if (m_Server)
            m_Server->stop();
        if (m_Thread.joinable())
            m_Thread.join();
        m_Server.reset();
        return true;
    }
    if (m_Server)
        return true;
    return Listen(m_Port, error);
}

void Emulator::Pause(int milliseconds) {
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_StopSignal.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_Stopping; });
}

void Emulator::InjectFault(const Fault& fault, int times) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (int i = 0; i < times; ++i)
        m_Faults.push_back(fault);
}

void Emulator::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Faults.clear();
}

bool Emulator::TakeFault(const std::string& method, Fault& fault) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (auto queued = m_Faults.begin(); queued != m_Faults.end(); ++queued) {
        if (queued->method.empty() || queued->method == method) {
            fault = *queued;
            m_Faults.erase(queued);
            return true;
        }
    }
    return false;
}

void Emulator::Record(LoggedRequest entry) {
    std::function<void(const LoggedRequest&)> observer;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Requests.push_back(entry);
        observer = m_Observer;
    }
    if (observer)
        observer(entry);
}

void Emulator::SetRequestObserver(std::function<void(const LoggedRequest&)> observer) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Observer = std::move(observer);
}

std::vector<LoggedRequest> Emulator::Requests() const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Requests;
}

size_t Emulator::CountCalls(const std::string& method) const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    size_t count = 0;
    for (const LoggedRequest& request : m_Requests)
        count += request.method == method ? 1 : 0;
    return count;
}

void Emulator::ClearRequests() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Requests.clear();
}

void Emulator::HandleRest(const httplib::Request& request, httplib::Response& response) {
    LoggedRequest entry = NewLogEntry(request);
    entry.method = Get(entry.params, "method");
    if (entry.params.count("api_sig") != 0) {
        entry.signatureChecked = true;
        entry.signatureValid =
            ComputeSignature(m_Options.sharedSecret, entry.params) == Get(entry.params, "api_sig");
    }
    Record(entry);

    Fault fault;
    const bool faulty = TakeFault(entry.method, fault);
    if (faulty) {
        switch (fault.kind) {
            case Fault::HttpStatus:
                response.status = fault.status;
                response.set_content(fault.body.empty() ? DefaultErrorPage(fault.status) : fault.body,
                                     HTML_TYPE);
                return;
            case Fault::UnavailablePage:
                response.set_content(UNAVAILABLE_PAGE, HTML_TYPE);
                return;
            case Fault::ErrorEnvelope:
                response.set_content(FailEnvelope(fault.code, fault.message.empty() ? ErrorMessage(fault.code)
                                                                                    : fault.message),
                                     XML_TYPE);
                return;
            case Fault::TruncatedBody:
                response.set_content(OkEnvelope("<frob>0123456789abcdef</frob>").substr(0, 60), XML_TYPE);
                return;
            case Fault::NonXmlBody:
                response.set_content("Internal error: please try again later", "text/plain");
                return;
            case Fault::EmptyBody:
                response.set_content(std::string(), XML_TYPE);
                return;
            case Fault::Stall:
                Pause(fault.stallMilliseconds);
                break;
            case Fault::LostReply:
            case Fault::StallAfter:
                break;
        }
    }

    const std::string body = Answer(entry);
    if (faulty && fault.kind == Fault::LostReply)
        return LoseReply(request, response, body, fault);
    if (faulty && fault.kind == Fault::StallAfter)
        Pause(fault.stallMilliseconds);
    response.set_content(body, XML_TYPE);
}

std::string Emulator::Answer(const LoggedRequest& entry) {
    const std::string format = Get(entry.params, "format");
    if (!format.empty() && format != "rest")
        return FailEnvelope(ERR_FORMAT_NOT_FOUND, ErrorMessage(ERR_FORMAT_NOT_FOUND, format));
    const MethodEntry* registered = m_Methods.Find(entry.method);
    if (!registered)
        return FailEnvelope(ERR_METHOD_NOT_FOUND, ErrorMessage(ERR_METHOD_NOT_FOUND, entry.method));
    const auto refuse = [](int code) { return FailEnvelope(code, ErrorMessage(code)); };
    if (Get(entry.params, "api_key") != m_Options.apiKey)
        return refuse(ERR_INVALID_API_KEY);
    if (registered->signatureRequired && !entry.signatureChecked)
        return refuse(ERR_MISSING_SIGNATURE);
    // A signature is checked whenever one is sent, even where none is required.
    if (entry.signatureChecked && !entry.signatureValid)
        return refuse(ERR_INVALID_SIGNATURE);

    MethodCall call{entry.params, m_State, std::nullopt};
    if (registered->perms != Perms::None) {
        call.grant = m_State.FindToken(Get(entry.params, "auth_token"));
        if (!entry.params.count("auth_token"))
            return refuse(ERR_NOT_LOGGED_IN);
        if (!call.grant)
            return refuse(ERR_INVALID_TOKEN);
        if (call.grant->perms < registered->perms)
            return refuse(ERR_NOT_LOGGED_IN);
    }
    const MethodResult result = registered->handler(call);
    if (result.errorCode) {
        return FailEnvelope(result.errorCode, result.errorMessage.empty() ? ErrorMessage(result.errorCode)
                                                                          : result.errorMessage);
    }
    return OkEnvelope(result.payload);
}

void Emulator::LoseReply(const httplib::Request& request, httplib::Response& response,
                         const std::string& body, const Fault& fault) {
    if (fault.reset) {
        // The server gives no handle on the connection: find its socket by the client's port. With
        // a zero linger time, closing it resets the connection. A fresh socket takes over its
        // number, so the server's own writes and close later go to that one.
        for (int fd = 0; fd < 1024; ++fd) {
            sockaddr_in local{}, peer{};
            socklen_t localLength = sizeof(local), peerLength = sizeof(peer);
            if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
                getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
                local.sin_family != AF_INET || ntohs(local.sin_port) != m_Port ||
                ntohs(peer.sin_port) != request.remote_port) {
                continue;
            }
            const linger reset{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
            const int standIn = socket(AF_INET, SOCK_STREAM, 0);
            if (standIn >= 0) {
                dup2(standIn, fd);
                close(standIn);
            }
            break;
        }
    }
    // A provider that fails makes the server drop the connection before the reply is complete.
    const std::string half = fault.reset ? std::string() : body.substr(0, body.size() / 2);
    response.set_chunked_content_provider(XML_TYPE, [half](size_t, httplib::DataSink& sink) {
        if (!half.empty())
            sink.write(half.data(), half.size());
        return false;
    });
}

bool Emulator::CheckPageParams(const std::multimap<std::string, std::string>& params, std::string& frob,
                               Perms& perms, std::string& reason) const {
    if (Get(params, "api_key") != m_Options.apiKey) {
        reason = "Invalid API Key";
        return false;
    }
    std::multimap<std::string, std::string> signedParams;
    for (const char* name : {"api_key", "frob", "perms"}) {
        if (params.count(name))
            signedParams.emplace(name, Get(params, name));
    }
    if (!params.count("api_sig")) {
        reason = "Missing signature";
        return false;
    }
    if (ComputeSignature(m_Options.sharedSecret, signedParams) != Get(params, "api_sig")) {
        reason = "Invalid signature";
        return false;
    }
    const std::optional<Perms> parsed = ParsePerms(Get(params, "perms"));
    if (!parsed) {
        reason = "Invalid permission";
        return false;
    }
    frob = Get(params, "frob");
    if (!m_State.FrobExists(frob)) {
        reason = "Invalid frob";
        return false;
    }
    perms = *parsed;
    return true;
}

void Emulator::HandleAuthPage(const httplib::Request& request, httplib::Response& response) {
    LoggedRequest entry = NewLogEntry(request);
    Record(entry);

    std::string frob, reason;
    Perms perms = Perms::None;
    if (!CheckPageParams(entry.params, frob, perms, reason)) {
        response.status = 400;
        response.set_content(Page("Authorisation failed", "<p>" + XmlEscape(reason) + ".</p>"), HTML_TYPE);
        return;
    }
    if (m_State.AutoApprove()) {
        m_State.ApproveFrob(frob, perms);
        response.set_content(
            Page("Access granted", "<p>You can close this window and return to the application.</p>"),
            HTML_TYPE);
        return;
    }
    std::string hidden;
    for (const char* name : {"api_key", "frob", "perms", "api_sig"}) {
        hidden +=
            XmlTag("input", {{"type", "hidden"}, {"name", name}, {"value", Get(entry.params, name)}}, true);
    }
    const std::string user = m_State.CurrentUser().username;
    response.set_content(
        Page("Authorise application",
             "<p>An application asks for <b>" + std::string(PermsName(perms)) +
                 "</b> access to the account of " + XmlEscape(user) +
                 ".</p><form method=\"post\" action=\"/services/auth/\">" + hidden +
                 "<button type=\"submit\" name=\"allow\" value=\"1\">Yes, go for it!</button></form>"),
        HTML_TYPE);
}

void Emulator::HandleAuthAllow(const httplib::Request& request, httplib::Response& response) {
    LoggedRequest entry = NewLogEntry(request);
    Record(entry);

    std::string frob, reason;
    Perms perms = Perms::None;
    if (!CheckPageParams(entry.params, frob, perms, reason) || !m_State.ApproveFrob(frob, perms)) {
        response.status = 400;
        response.set_content(Page("Authorisation failed",
                                  "<p>" + XmlEscape(reason.empty() ? "Frob already used" : reason) + ".</p>"),
                             HTML_TYPE);
        return;
    }
    response.set_content(
        Page("Access granted", "<p>You can close this window and return to the application.</p>"), HTML_TYPE);
}

bool Emulator::ApprovePage(const std::string& pageUrl, std::string* error) {
    const size_t query = pageUrl.find('?');
    httplib::Params params;
    if (query != std::string::npos)
        httplib::detail::parse_query_text(pageUrl.substr(query + 1), params);
    std::multimap<std::string, std::string> values(params.begin(), params.end());
    std::string frob, reason;
    Perms perms = Perms::None;
    if (!CheckPageParams(values, frob, perms, reason) || !m_State.ApproveFrob(frob, perms)) {
        if (error)
            *error = reason.empty() ? "frob already used" : reason;
        return false;
    }
    return true;
}

void Emulator::HandleRevoke(const httplib::Request& request, httplib::Response& response) {
    const size_t count = m_State.Revoke(Get(RequestParams(request), "token"));
    response.set_content("revoked " + std::to_string(count) + "\n", "text/plain");
}

void Emulator::HandleLog(const httplib::Request&, httplib::Response& response) {
    std::ostringstream out;
    const auto start = [this] {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Requests.empty() ? std::chrono::steady_clock::now() : m_Requests.front().time;
    }();
    for (const LoggedRequest& request : Requests()) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(request.time - start).count();
        out << ms << " ms " << request.path << " " << (request.method.empty() ? "-" : request.method);
        for (const auto& param : request.params) {
            // The log is for people at a terminal: tokens stay out of it.
            const bool secret = param.first == "auth_token";
            out << " " << param.first << "=" << (secret ? "<REMOVED FROM LOG>" : param.second);
        }
        out << "\n";
    }
    response.set_content(out.str(), "text/plain");
}

}  // namespace rtmemu
