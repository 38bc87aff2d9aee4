#include "platform/Progress.h"

#include <algorithm>

bool TProgress::Advance(qint64 done, qint64 total)
{
    if (total > 0) {
        const double part = double(std::clamp<qint64>(done, 0, total)) / double(total);
        const double f = std::min(1.0, From_ + (To_ - From_) * part);
        const double shown = Shown_.load(std::memory_order_relaxed);
        // A report per step of the whole, and the end once.
        if (f >= shown + 1.0 / Steps || (f >= 1 && shown < 1)) {
            Shown_.store(f, std::memory_order_relaxed);
            if (Report_)
                Report_(f);
        }
    }
    return !Cancelled();
}

void TProgress::SetPart(double from, double to)
{
    From_ = std::clamp(from, 0.0, 1.0);
    To_ = std::clamp(to, From_, 1.0);
}
