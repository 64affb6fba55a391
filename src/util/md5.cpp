#include "util/md5.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace vq::util {
namespace {

// The auxiliary functions of rounds 1, 3 and 4, in forms that need fewer
// operations than the textbook ones and give the same values.
constexpr std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    return z ^ (x & (y ^ z));
}

constexpr std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    return x ^ y ^ z;
}

constexpr std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    return y ^ (x | ~z);
}

// One step of a round: b + ((a + f(b, c, d) + word + constant) <<< shift).
template <auto Fn>
constexpr std::uint32_t Step(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                             std::uint32_t word, std::uint32_t constant, int shift)
{
    return b + std::rotl(a + Fn(b, c, d) + word + constant, shift);
}

// Round 2's G(b, c, d) = (b & d) | (c & ~d). The two terms share no bits, so
// they can be added one by one, and c & ~d need not wait for the newest b.
constexpr std::uint32_t StepG(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                              std::uint32_t word, std::uint32_t constant, int shift)
{
    return b + std::rotl(a + word + constant + (c & ~d) + (b & d), shift);
}

std::uint32_t LoadLittleEndian(const std::uint8_t* bytes)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    } else {
        return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
               std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    }
}

void StoreLittleEndian(std::uint32_t word, std::uint8_t* bytes)
{
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

// Transforms blockCount consecutive 64-byte blocks, keeping the chaining
// words in locals from one block to the next.
void TransformBlocks(std::array<std::uint32_t, 4>& state, const std::uint8_t* blocks,
                     std::size_t blockCount)
{
    std::uint32_t a = state[0];
    std::uint32_t b = state[1];
    std::uint32_t c = state[2];
    std::uint32_t d = state[3];
    for (; blockCount != 0; --blockCount, blocks += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i) {
            x[i] = LoadLittleEndian(blocks + 4 * i);
        }
        const std::uint32_t aa = a;
        const std::uint32_t bb = b;
        const std::uint32_t cc = c;
        const std::uint32_t dd = d;

        // Round 1
        a = Step<F>(a, b, c, d, x[0], 0xd76aa478, 7);
        d = Step<F>(d, a, b, c, x[1], 0xe8c7b756, 12);
        c = Step<F>(c, d, a, b, x[2], 0x242070db, 17);
        b = Step<F>(b, c, d, a, x[3], 0xc1bdceee, 22);
        a = Step<F>(a, b, c, d, x[4], 0xf57c0faf, 7);
        d = Step<F>(d, a, b, c, x[5], 0x4787c62a, 12);
        c = Step<F>(c, d, a, b, x[6], 0xa8304613, 17);
        b = Step<F>(b, c, d, a, x[7], 0xfd469501, 22);
        a = Step<F>(a, b, c, d, x[8], 0x698098d8, 7);
        d = Step<F>(d, a, b, c, x[9], 0x8b44f7af, 12);
        c = Step<F>(c, d, a, b, x[10], 0xffff5bb1, 17);
        b = Step<F>(b, c, d, a, x[11], 0x895cd7be, 22);
        a = Step<F>(a, b, c, d, x[12], 0x6b901122, 7);
        d = Step<F>(d, a, b, c, x[13], 0xfd987193, 12);
        c = Step<F>(c, d, a, b, x[14], 0xa679438e, 17);
        b = Step<F>(b, c, d, a, x[15], 0x49b40821, 22);
        // Round 2
        a = StepG(a, b, c, d, x[1], 0xf61e2562, 5);
        d = StepG(d, a, b, c, x[6], 0xc040b340, 9);
        c = StepG(c, d, a, b, x[11], 0x265e5a51, 14);
        b = StepG(b, c, d, a, x[0], 0xe9b6c7aa, 20);
        a = StepG(a, b, c, d, x[5], 0xd62f105d, 5);
        d = StepG(d, a, b, c, x[10], 0x02441453, 9);
        c = StepG(c, d, a, b, x[15], 0xd8a1e681, 14);
        b = StepG(b, c, d, a, x[4], 0xe7d3fbc8, 20);
        a = StepG(a, b, c, d, x[9], 0x21e1cde6, 5);
        d = StepG(d, a, b, c, x[14], 0xc33707d6, 9);
        c = StepG(c, d, a, b, x[3], 0xf4d50d87, 14);
        b = StepG(b, c, d, a, x[8], 0x455a14ed, 20);
        a = StepG(a, b, c, d, x[13], 0xa9e3e905, 5);
        d = StepG(d, a, b, c, x[2], 0xfcefa3f8, 9);
        c = StepG(c, d, a, b, x[7], 0x676f02d9, 14);
        b = StepG(b, c, d, a, x[12], 0x8d2a4c8a, 20);
        // Round 3
        a = Step<H>(a, b, c, d, x[5], 0xfffa3942, 4);
        d = Step<H>(d, a, b, c, x[8], 0x8771f681, 11);
        c = Step<H>(c, d, a, b, x[11], 0x6d9d6122, 16);
        b = Step<H>(b, c, d, a, x[14], 0xfde5380c, 23);
        a = Step<H>(a, b, c, d, x[1], 0xa4beea44, 4);
        d = Step<H>(d, a, b, c, x[4], 0x4bdecfa9, 11);
        c = Step<H>(c, d, a, b, x[7], 0xf6bb4b60, 16);
        b = Step<H>(b, c, d, a, x[10], 0xbebfbc70, 23);
        a = Step<H>(a, b, c, d, x[13], 0x289b7ec6, 4);
        d = Step<H>(d, a, b, c, x[0], 0xeaa127fa, 11);
        c = Step<H>(c, d, a, b, x[3], 0xd4ef3085, 16);
        b = Step<H>(b, c, d, a, x[6], 0x04881d05, 23);
        a = Step<H>(a, b, c, d, x[9], 0xd9d4d039, 4);
        d = Step<H>(d, a, b, c, x[12], 0xe6db99e5, 11);
        c = Step<H>(c, d, a, b, x[15], 0x1fa27cf8, 16);
        b = Step<H>(b, c, d, a, x[2], 0xc4ac5665, 23);
        // Round 4
        a = Step<I>(a, b, c, d, x[0], 0xf4292244, 6);
        d = Step<I>(d, a, b, c, x[7], 0x432aff97, 10);
        c = Step<I>(c, d, a, b, x[14], 0xab9423a7, 15);
        b = Step<I>(b, c, d, a, x[5], 0xfc93a039, 21);
        a = Step<I>(a, b, c, d, x[12], 0x655b59c3, 6);
        d = Step<I>(d, a, b, c, x[3], 0x8f0ccc92, 10);
        c = Step<I>(c, d, a, b, x[10], 0xffeff47d, 15);
        b = Step<I>(b, c, d, a, x[1], 0x85845dd1, 21);
        a = Step<I>(a, b, c, d, x[8], 0x6fa87e4f, 6);
        d = Step<I>(d, a, b, c, x[15], 0xfe2ce6e0, 10);
        c = Step<I>(c, d, a, b, x[6], 0xa3014314, 15);
        b = Step<I>(b, c, d, a, x[13], 0x4e0811a1, 21);
        a = Step<I>(a, b, c, d, x[4], 0xf7537e82, 6);
        d = Step<I>(d, a, b, c, x[11], 0xbd3af235, 10);
        c = Step<I>(c, d, a, b, x[2], 0x2ad7d2bb, 15);
        b = Step<I>(b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state = {a, b, c, d};
}

constexpr std::uint8_t kPadding[64] = {0x80};

} // namespace

void Md5Init(Md5Context& context)
{
    context.state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    context.count = {0, 0};
    context.buffer = {};
}

void Md5Update(Md5Context& context, const void* data, std::uint32_t length)
{
    if (length == 0) {
        return;
    }
    const auto* input = static_cast<const std::uint8_t*>(data);
    const std::uint32_t index = (context.count[0] >> 3) & 0x3F;

    // The bit count is kept modulo 2^64 in two words.
    const std::uint32_t bits = length << 3;
    context.count[0] += bits;
    if (context.count[0] < bits) {
        ++context.count[1];
    }
    context.count[1] += length >> 29;

    std::uint32_t used = 0;
    if (index != 0) {
        const std::uint32_t room = 64 - index;
        if (length < room) {
            std::memcpy(context.buffer.data() + index, input, length);
            return;
        }
        std::memcpy(context.buffer.data() + index, input, room);
        TransformBlocks(context.state, context.buffer.data(), 1);
        used = room;
    }
    const std::uint32_t wholeBlocks = (length - used) / 64;
    TransformBlocks(context.state, input + used, wholeBlocks);
    used += wholeBlocks * 64;
    if (used < length) {
        std::memcpy(context.buffer.data(), input + used, length - used);
    }
}

Md5Digest Md5Final(Md5Context& context)
{
    std::uint8_t lengthBytes[8];
    StoreLittleEndian(context.count[0], lengthBytes);
    StoreLittleEndian(context.count[1], lengthBytes + 4);

    // Pad to 56 bytes modulo 64, then append the message length as it was
    // before the padding.
    const std::uint32_t index = (context.count[0] >> 3) & 0x3F;
    const std::uint32_t padLength = index < 56 ? 56 - index : 120 - index;
    Md5Update(context, kPadding, padLength);
    Md5Update(context, lengthBytes, sizeof lengthBytes);

    Md5Digest digest;
    for (std::size_t i = 0; i < context.state.size(); ++i) {
        StoreLittleEndian(context.state[i], digest.data() + 4 * i);
    }
    context = Md5Context{};
    return digest;
}

} // namespace vq::util
