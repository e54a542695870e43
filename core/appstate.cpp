#include "appstate.h"

QString FormatElapsed(std::int64_t ms) {
    // Built digit by digit: the recording display asks for it 20 times a second, and
    // QString::asprintf cost more than everything else in that step.
    if (ms < 0)
        ms = 0;
    const std::int64_t seconds = ms / 1000;
    std::int64_t h = seconds / 3600;
    const int m = static_cast<int>(seconds / 60 % 60);
    const int s = static_cast<int>(seconds % 60);
    char digits[32];
    int at = static_cast<int>(sizeof digits);
    const auto two = [&](int v) {
        digits[--at] = static_cast<char>('0' + v % 10);
        digits[--at] = static_cast<char>('0' + v / 10);
    };
    two(s);
    digits[--at] = ':';
    two(m);
    digits[--at] = ':';
    int hourDigits = 0;
    do {
        digits[--at] = static_cast<char>('0' + h % 10);
        h /= 10;
        ++hourDigits;
    } while (h > 0);
    if (hourDigits < 2)
        digits[--at] = '0';
    return QString::fromLatin1(digits + at, static_cast<qsizetype>(sizeof digits) - at);
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
