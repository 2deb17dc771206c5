#include "install/progress_percent.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Truncation toward zero; a value that is not a number or does not fit gives 0 (a
// DownloadScale of NaN comes from a malformed switch).
int Truncate(double value) {
    if (!std::isfinite(value) || value <= INT_MIN - 1.0 || value >= INT_MAX + 1.0)
        return 0;
    return static_cast<int>(value);
}

}  // namespace

int DownloadPercent(double fraction, double scale) {
    return Truncate((fraction * scale) * 100);
}

int InstallProgress::Next(double fraction, double scale) {
    double f = std::min(fraction_ + 0.15, 0.95);
    f = std::max(f, fraction);
    fraction_ = f;
    return Truncate(((1.0 - scale) * f + scale) * 100);
}
