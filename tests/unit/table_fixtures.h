#pragma once

#include "platform/iphelper.h"

#include <cstdint>

namespace vq::fake {

// An address field in network byte order for a.b.c.d.
constexpr std::uint32_t Addr(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    return a | (b << 8) | (c << 16) | (d << 24);
}

// A port field as the platform lays it out: network byte order in the low 16 bits.
constexpr std::uint32_t Port(std::uint32_t port)
{
    return (port >> 8) | ((port & 0xFF) << 8);
}

} // namespace vq::fake
