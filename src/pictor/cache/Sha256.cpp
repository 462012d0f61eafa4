#include "pictor/cache/Sha256.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pictor {

#if defined(__x86_64__)
namespace {

alignas(16) constexpr uint32_t roundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be,
    0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa,
    0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85,
    0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3,
    0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f,
    0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

// Runs the compression function over whole 64-byte blocks. The state is kept as the ABEF and
// CDGH word pairs the instructions work on.
__attribute__((target("sha,sse4.1,ssse3"))) void compress(uint32_t state[8], const uint8_t* data, size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefStart = abef;
        const __m128i cdghStart = cdgh;
        __m128i words[4];
        for (int group = 0; group < 16; ++group) {
            __m128i& current = words[group % 4];
            if (group < 4) {
                current = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), byteSwap);
            } else {
                // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16], four words at a time.
                const __m128i& previous = words[(group + 3) % 4];
                __m128i next = _mm_sha256msg1_epu32(words[group % 4], words[(group + 1) % 4]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(previous, words[(group + 2) % 4], 4));
                current = _mm_sha256msg2_epu32(next, previous);
            }
            __m128i message = _mm_add_epi32(current, _mm_load_si128(reinterpret_cast<const __m128i*>(roundConstants + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abefStart);
        cdgh = _mm_add_epi32(cdgh, cdghStart);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

} // namespace
#endif

bool Sha256::accelerated()
{
#if defined(__x86_64__)
    static const bool supported = __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1");
    return supported;
#else
    return false;
#endif
}

QByteArray Sha256::digest(QByteArrayView bytes)
{
#if defined(__x86_64__)
    if (accelerated()) {
        uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        const size_t length = size_t(bytes.size());
        compress(state, data, length / 64);
        // The tail, the 0x80 marker, zeros and the bit length fill one or two last blocks.
        uint8_t tail[128] = {};
        const size_t rest = length % 64;
        if (rest > 0)
            std::memcpy(tail, data + length - rest, rest);
        tail[rest] = 0x80;
        const size_t tailBlocks = rest < 56 ? 1 : 2;
        qToBigEndian(quint64(length) * 8, tail + tailBlocks * 64 - 8);
        compress(state, tail, tailBlocks);
        QByteArray out(32, Qt::Uninitialized);
        for (int i = 0; i < 8; ++i)
            qToBigEndian(state[i], out.data() + 4 * i);
        return out;
    }
#endif
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace pictor
