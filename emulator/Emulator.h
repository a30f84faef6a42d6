// A local stand-in for the web service: the REST endpoint and the authorisation page over HTTP (or
// HTTPS) on loopback, with a request log and faults injected on demand.
#pragma once

#include "emulator/AccountState.h"
#include "emulator/MethodRegistry.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace rtmemu {

extern const char* const DEFAULT_API_KEY;
extern const char* const DEFAULT_SHARED_SECRET;
const int DEFAULT_PORT = 8099;

struct EmulatorOptions {
    std::string host = "127.0.0.1";
    int port = 0;  // 0: any free port
    bool autoApprove = false;
    // The registered application: its key and the secret its requests are signed with.
    std::string apiKey = DEFAULT_API_KEY;
    std::string sharedSecret = DEFAULT_SHARED_SECRET;
    // Both set: serve HTTPS with this certificate and key (PEM files).
    std::string certificateFile;
    std::string privateKeyFile;
};

// A fault for the next requests to the REST endpoint (to the next calls of `method` when it is set;
// other calls then pass it by).
struct Fault {
    enum Kind {
        HttpStatus,       // the status with `body` (a plain error page when empty)
        UnavailablePage,  // HTTP 200 with the service's "temporarily unavailable" page
        ErrorEnvelope,    // HTTP 200 with a "fail" envelope carrying `code` (and `message`)
        TruncatedBody,    // HTTP 200 with an envelope cut off in the middle
        NonXmlBody,       // HTTP 200 with a body that is not XML
        EmptyBody,        // HTTP 200 with a body of zero bytes
        Stall,            // no answer for `stallMilliseconds`, then the normal one
        // The call is carried out (the account changes), then the reply goes astray:
        LostReply,   // the connection closes part-way through the body (or is reset, `reset`)
        StallAfter,  // no answer for `stallMilliseconds`, then the normal one
    };
    Kind kind = HttpStatus;
    int status = 500;
    std::string body;
    int code = 105;
    std::string message;
    int stallMilliseconds = 0;
    bool reset = false;
    std::string method;

    // Only calls of this REST method take the fault.
    Fault& ForMethod(std::string name) {
        method = std::move(name);
        return *this;
    }

    static Fault Status(int status, std::string body = std::string()) {
        Fault f;
        f.kind = HttpStatus;
        f.status = status;
        f.body = std::move(body);
        return f;
    }
    static Fault Of(Kind kind) {
        Fault f;
        f.kind = kind;
        return f;
    }
    static Fault Envelope(int code, std::string message = std::string()) {
        Fault f = Of(ErrorEnvelope);
        f.code = code;
        f.message = std::move(message);
        return f;
    }
    static Fault StallFor(int milliseconds) {
        Fault f = Of(Stall);
        f.stallMilliseconds = milliseconds;
        return f;
    }
    // Carried out, then the reply cut short (libcurl: partial transfer) or the connection reset
    // (libcurl: receive error).
    static Fault Lost(bool resetConnection = false) {
        Fault f = Of(LostReply);
        f.reset = resetConnection;
        return f;
    }
    // Carried out, then nothing for that long: a client with less patience gives up on it.
    static Fault StallAfterCall(int milliseconds) {
        Fault f = Of(StallAfter);
        f.stallMilliseconds = milliseconds;
        return f;
    }
};

struct LoggedRequest {
    std::chrono::steady_clock::time_point time;
    std::string path;
    std::string target;  // the request line's target as sent, query included
    std::string method;  // the REST method, empty for other paths
    std::multimap<std::string, std::string> params;
    bool signatureChecked = false;  // an api_sig was present and compared
    bool signatureValid = false;
};

class Emulator {
  public:
    explicit Emulator(EmulatorOptions options = EmulatorOptions());
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Starts listening; false with a reason when the port cannot be bound.
    bool Start(std::string* error = nullptr);
    void Stop();
    bool IsRunning() const;
    int Port() const { return m_Port; }
    // "http://127.0.0.1:PORT" (or https), the base the plug-in takes as RTM_SERVICE_URL.
    std::string BaseUrl() const;

    AccountState& State() { return m_State; }
    MethodRegistry& Methods() { return m_Methods; }

    void InjectFault(const Fault& fault, int times = 1);
    void ClearFaults();
    // Refused connections: stops listening until set back to false (same port again).
    bool SetRefusing(bool refusing, std::string* error = nullptr);

    // Called on the request thread for every request as it is logged.
    void SetRequestObserver(std::function<void(const LoggedRequest&)> observer);
    std::vector<LoggedRequest> Requests() const;
    size_t CountCalls(const std::string& method) const;
    void ClearRequests();

    // What the allow button does, for a page address as the client opens it: checks the address
    // and approves its frob. False with a reason when the address is not valid.
    bool ApprovePage(const std::string& pageUrl, std::string* error = nullptr);

  private:
    bool Listen(int port, std::string* error);
    void HandleRest(const httplib::Request& request, httplib::Response& response);
    void HandleAuthPage(const httplib::Request& request, httplib::Response& response);
    void HandleAuthAllow(const httplib::Request& request, httplib::Response& response);
    void HandleRevoke(const httplib::Request& request, httplib::Response& response);
    void HandleLog(const httplib::Request& request, httplib::Response& response);
    // The first queued fault for this REST method (or for any), taken off the queue.
    bool TakeFault(const std::string& method, Fault& fault);
    // The reply of a call that passed the faults: the method's envelope or the check that refused it.
    std::string Answer(const LoggedRequest& entry);
    // Lets the reply of a carried-out call go astray as `fault` says.
    void LoseReply(const httplib::Request& request, httplib::Response& response, const std::string& body,
                   const Fault& fault);
    void Record(LoggedRequest entry);
    // Checks the page parameters; the frob and permission on success, else the reason.
    bool CheckPageParams(const std::multimap<std::string, std::string>& params, std::string& frob,
                         Perms& perms, std::string& reason) const;
    // Waits the time given or until the emulator stops.
    void Pause(int milliseconds);

    EmulatorOptions m_Options;
    AccountState m_State;
    MethodRegistry m_Methods;
    std::unique_ptr<httplib::Server> m_Server;
    std::thread m_Thread;
    int m_Port = 0;

    mutable std::mutex m_Mutex;
    std::deque<Fault> m_Faults;
    std::vector<LoggedRequest> m_Requests;
    std::function<void(const LoggedRequest&)> m_Observer;
    std::condition_variable m_StopSignal;
    bool m_Stopping = false;
};

}  // namespace rtmemu
