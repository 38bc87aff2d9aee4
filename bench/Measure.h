#pragma once
// Timing and memory probes for the benchmark: wall-clock milliseconds of one call, the
// median of several, and the process's resident memory from /proc (Linux only).
#include <QtGlobal>
#include <functional>
#include <vector>

namespace Bench {

double Median(std::vector<double> values);

// Wall-clock milliseconds one call of f takes.
double TimeMs(const std::function<void()>& f);

// Hands memory the allocator keeps but no longer uses back to the system. Timed calls
// start after it, so none of them finds a block already paged in by the one before (a
// 16 MB read then takes about a tenth of the time it takes on fresh pages).
void TrimHeap();
// Trims the heap, so the baseline is what the process really holds, then makes the peak
// start from now. Returns the resident size in bytes at that point, or -1 when /proc
// cannot tell.
qint64 ResetPeak();
// Highest resident size in bytes since the last ResetPeak (VmHWM), or -1.
qint64 PeakResident();
// Current resident size (VmRSS), or -1.
qint64 CurrentResident();
// The highest resident size any of the calls above saw, resets included.
qint64 HighestResident();

}  // namespace Bench
