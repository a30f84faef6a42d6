// rtm-emulator: the service emulator as a program, for the demo and for trying the plug-in by hand.
#include "emulator/Emulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include <wx/init.h>

namespace {
volatile std::sig_atomic_t g_Stop = 0;
void OnSignal(int) {
    g_Stop = 1;
}

void PrintRequest(const rtmemu::LoggedRequest& request) {
    std::string line = request.path + " " + (request.method.empty() ? "-" : request.method);
    for (const auto& param : request.params) {
        if (param.first == "method")
            continue;
        line += " " + param.first + "=" + (param.first == "auth_token" ? "<REMOVED FROM LOG>" : param.second);
    }
    if (request.signatureChecked)
        line += request.signatureValid ? " (signed)" : " (BAD SIGNATURE)";
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int Usage(const char* error) {
    if (error)
        std::fprintf(stderr, "rtm-emulator: %s\n", error);
    std::fprintf(
        error ? stderr : stdout,
        "usage: rtm-emulator [--port N] [--auto-approve] [--verbose] [--seed FILE] [--timezone ZONE]\n"
        "                    [--cert FILE --key FILE]\n"
        "  --port N        port on 127.0.0.1 (default %d; 0 picks a free one)\n"
        "  --auto-approve  every frob is approved at once, as if the user clicked allow\n"
        "  --verbose       prints every request (tokens left out)\n"
        "  --seed FILE     the account's lists and tasks (format: emulator/samples/README.md)\n"
        "  --timezone ZONE the user's time zone: UTC (default), +10:00 or a name like Europe/Berlin\n"
        "  --cert, --key   serve HTTPS with this certificate and private key (PEM)\n"
        "Set RTM_SERVICE_URL (or corvane-host --service) to the address it prints.\n"
        "POST /emulator/revoke revokes every token; GET /emulator/requests lists the requests.\n",
        rtmemu::DEFAULT_PORT);
    return error ? 2 : 0;
}
}  // namespace

int main(int argc, char** argv) {
    rtmemu::EmulatorOptions options;
    options.port = rtmemu::DEFAULT_PORT;
    bool verbose = false;
    std::string seedFile, timeZone;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h")
            return Usage(nullptr);
        if (arg == "--auto-approve") {
            options.autoApprove = true;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--port" && hasValue) {
            char* end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (!end || *end || port < 0 || port > 65535)
                return Usage("--port takes a number from 0 to 65535");
            options.port = static_cast<int>(port);
        } else if (arg == "--seed" && hasValue) {
            seedFile = argv[++i];
        } else if (arg == "--timezone" && hasValue) {
            timeZone = argv[++i];
        } else if (arg == "--cert" && hasValue) {
            options.certificateFile = argv[++i];
        } else if (arg == "--key" && hasValue) {
            options.privateKeyFile = argv[++i];
        } else {
            return Usage(("unknown or incomplete option " + arg).c_str());
        }
    }
    if (options.certificateFile.empty() != options.privateKeyFile.empty()) {
        return Usage("--cert and --key go together");
    }

    // The seed file is read with wxWidgets' XML parser.
    wxInitializer initializer;
    rtmemu::Emulator emulator(options);
    if (verbose)
        emulator.SetRequestObserver(PrintRequest);
    std::string error;
    if (!timeZone.empty() && !emulator.State().Tasks().SetTimeZone(timeZone))
        return Usage(("unknown time zone " + timeZone).c_str());
    if (!seedFile.empty() && !emulator.State().Tasks().LoadSeedFile(seedFile, &error)) {
        std::fprintf(stderr, "rtm-emulator: %s\n", error.c_str());
        return 1;
    }
    if (!emulator.Start(&error)) {
        std::fprintf(stderr, "rtm-emulator: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("RTM emulator listening on %s%s\n", emulator.BaseUrl().c_str(),
                options.autoApprove ? " (auto-approve)" : "");
    if (!seedFile.empty())
        std::printf("Seeded %zu task series from %s\n", emulator.State().Tasks().SeriesCount(),
                    seedFile.c_str());
    std::fflush(stdout);
    while (!g_Stop)
        usleep(100 * 1000);
    emulator.Stop();
    return 0;
}
