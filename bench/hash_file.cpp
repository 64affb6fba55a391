// Hashes one file with HashFileMd5 through the host file implementation and
// prints its digest and how fast it was read.

#include "util/file_hash.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vq_hash_file FILE\n");
        return 2;
    }
    const std::filesystem::path file(argv[1]);
    const auto start = std::chrono::steady_clock::now();
    const vq::util::FileHash hash = vq::util::HashFileMd5(file.wstring());
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!hash.digest) {
        std::fprintf(stderr, "%s: not read, system error %u\n", argv[1], static_cast<unsigned>(hash.error));
        return 1;
    }
    const double mebibytes = static_cast<double>(std::filesystem::file_size(file)) / (1024 * 1024);
    std::printf("%s  %s\n", vq::util::DigestToHex(*hash.digest).c_str(), argv[1]);
    std::printf("%.1f MiB in %.3f s: %.1f MiB/s\n", mebibytes, elapsed.count(),
                mebibytes / elapsed.count());
    return 0;
}
