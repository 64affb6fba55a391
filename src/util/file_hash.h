#pragma once

// MD5 digests of whole files, and their text form.

#include "util/md5.h"

#include <optional>
#include <string>

namespace vq::util {

// The digest of the file's whole content, or nothing when the file could not
// be read: it would not open, or part of it could not be mapped. An empty
// file is read and gives the digest of empty input.
std::optional<Md5Digest> HashFileMd5(const std::wstring& path);

// The digest as 32 upper-case hexadecimal digits, two per byte, high half first.
std::string DigestToHex(const Md5Digest& digest);

} // namespace vq::util
