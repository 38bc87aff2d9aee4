#include "Measure.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <malloc.h>

namespace Bench {

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double TimeMs(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

namespace {
// A "Vm...:  1234 kB" line of /proc/self/status, in bytes; -1 when missing.
qint64 StatusField(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (!line.startsWith(wanted))
            continue;
        const QList<QByteArray> parts = line.mid(wanted.size()).simplified().split(' ');
        bool ok = false;
        const qint64 kb = parts.value(0).toLongLong(&ok);
        return ok ? kb * 1024 : -1;
    }
    return -1;
}

qint64 Highest = -1;

qint64 NoteHighest(qint64 hwm)
{
    Highest = std::max(Highest, hwm);
    return hwm;
}
}  // namespace

void TrimHeap() { malloc_trim(0); }

qint64 ResetPeak()
{
    // Freed large blocks may stay in the heap after the previous document went; without
    // the trim they would count towards the baseline and hide part of the next peak.
    TrimHeap();
    NoteHighest(StatusField("VmHWM"));
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || clear.write("5") != 1)
        return -1;
    clear.close();
    return StatusField("VmRSS");
}

qint64 PeakResident() { return NoteHighest(StatusField("VmHWM")); }

qint64 CurrentResident() { return StatusField("VmRSS"); }

qint64 HighestResident() { return NoteHighest(StatusField("VmHWM")); }

}  // namespace Bench
