#include "appstate.h"

QString FormatElapsed(std::int64_t ms) {
    if (ms < 0)
        ms = 0;
    const std::int64_t seconds = ms / 1000;
    const std::int64_t h = seconds / 3600;
    const std::int64_t m = (seconds - h * 3600) / 60;
    const std::int64_t s = seconds % 60;
    return QString::asprintf("%.2lld:%.2lld:%.2lld", static_cast<long long>(h),
                             static_cast<long long>(m), static_cast<long long>(s));
}

std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0)
        return -1;
    const __int128 p = static_cast<__int128>(a) * b;
    __int128 q = p / c;
    const __int128 r = p % c;
    // Round half away from zero, as the Windows MulDiv does.
    const __int128 twice = (r < 0 ? -r : r) * 2;
    const __int128 absC = c < 0 ? -c : c;
    if (twice >= absC)
        q += ((p < 0) != (c < 0)) ? -1 : 1;
    return static_cast<std::int64_t>(q);
}
