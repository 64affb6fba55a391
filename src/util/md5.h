#pragma once

// The MD5 message digest of RFC 1321.

#include <array>
#include <cstdint>

namespace vq::util {

using Md5Digest = std::array<std::uint8_t, 16>;

// The state of one digest computation.
struct Md5Context {
    std::array<std::uint32_t, 4> state;   // chaining words A, B, C, D
    std::array<std::uint32_t, 2> count;   // message length in bits, low word first
    std::array<std::uint8_t, 64> buffer;  // bytes of an incomplete block
};

void Md5Init(Md5Context& context);
// Feeds length bytes. Whole blocks are transformed straight from data; only a
// block split across calls passes through the context's buffer.
void Md5Update(Md5Context& context, const void* data, std::uint32_t length);
// Completes the message, returns its digest and clears the context to zero.
Md5Digest Md5Final(Md5Context& context);

} // namespace vq::util
