// The whole process's CPU time and memory, for benchmarks of an operation that spans libraries
// (libcurl, expat, libical): what the operation costs the process, not one thread's share.
#pragma once

// User plus system time since the process started.
double ProcessCpuSeconds();
// The resident set now (VmRSS) and its peak (VmHWM), in megabytes.
double ResidentMegabytes();
double PeakResidentMegabytes();
// Gives freed memory back to the system and sets the peak back to the resident set now, so that
// the next peak is that of what follows.
void ResetPeakResident();
