#pragma once
// Looking through membership bytes (model/P3dFile.h) for the members: a component holds a
// small part of its model, so its bytes are mostly zero, and runs of zeros are passed
// over 64 bytes at a time.
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Membership {
// Whether the 64 bytes at b are all zero.
inline bool Zero64(const uint8_t* b)
{
#if defined(__SSE2__)
    const auto at = [b](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k)); };
    const __m128i any = _mm_or_si128(_mm_or_si128(at(0), at(1)), _mm_or_si128(at(2), at(3)));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF;
#else
    uint64_t w[8];
    std::memcpy(w, b, sizeof w);
    return (w[0] | w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0;
#endif
}

// The position of the first non-zero byte in [from, n), or n.
inline size_t Next(const uint8_t* b, size_t from, size_t n)
{
    size_t i = from;
    while (i + 64 <= n && Zero64(b + i))
        i += 64;
    while (i < n && b[i] == 0)
        ++i;
    return i;
}

// One past the last non-zero byte in [0, n), or 0.
inline size_t End(const uint8_t* b, size_t n)
{
    size_t k = n;
    while (k >= 64 && Zero64(b + k - 64))
        k -= 64;
    while (k > 0 && b[k - 1] == 0)
        --k;
    return k;
}
}  // namespace Membership
