#include "bench/ProcessStats.h"

#include <malloc.h>
#include <sys/resource.h>

#include <fstream>
#include <string>

namespace {
// A "Vm...:   1234 kB" line of /proc/self/status.
double StatusMegabytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, key.size(), key) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}
}  // namespace

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ResidentMegabytes() {
    return StatusMegabytes("VmRSS:");
}

double PeakResidentMegabytes() {
    return StatusMegabytes("VmHWM:");
}

void ResetPeakResident() {
    // Memory freed earlier and still held by the allocator is not what the process holds.
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
