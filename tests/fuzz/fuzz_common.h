#pragma once

// Helpers shared by the fuzz targets.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vq::fuzz {

// A broken invariant: print it and abort, so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what)
{
    if (!holds) {
        Fail(what);
    }
}

// Text of UTF-16 code units, two bytes each (little-endian), lone surrogates
// included, as Windows hands wide text around.
inline std::wstring Utf16Text(FuzzedDataProvider& data, std::size_t maxUnits)
{
    std::wstring text;
    const std::size_t units = data.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
    for (std::size_t i = 0; i < units && data.remaining_bytes() >= 2; ++i) {
        text += static_cast<wchar_t>(data.ConsumeIntegral<std::uint16_t>());
    }
    return text;
}

} // namespace vq::fuzz
