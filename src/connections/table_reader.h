#pragma once

#include "platform/iphelper.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vq::connections {

// One read of an extended table: the buffer the platform filled, owned for
// as long as its rows are walked.
template <typename Row>
class TableBuffer {
public:
    TableBuffer() = default;
    // writtenLength: the bytes the platform says it wrote, when it says so.
    explicit TableBuffer(std::vector<std::uint32_t> words, std::size_t writtenLength = SIZE_MAX)
        : words_(std::move(words)),
          writtenLength_(std::min(writtenLength, words_.size() * sizeof(std::uint32_t)))
    {
    }

    // Entries the platform reported, never more than it wrote.
    std::size_t size() const noexcept
    {
        if (writtenLength_ < sizeof(std::uint32_t)) {
            return 0;
        }
        const std::size_t fits = (writtenLength_ - sizeof(std::uint32_t)) / sizeof(Row);
        return words_[0] < fits ? words_[0] : fits;
    }

    Row operator[](std::size_t index) const noexcept
    {
        Row row;
        std::memcpy(&row, reinterpret_cast<const unsigned char*>(words_.data() + 1) + index * sizeof(Row),
                    sizeof(Row));
        return row;
    }

private:
    std::vector<std::uint32_t> words_;
    std::size_t writtenLength_ = 0;
};

enum class ReadOutcome {
    Unavailable,  // entry point missing or the size query did not answer 122: nothing allocated
    Failed,       // the table read itself failed; the buffer is already released
    Read,
};

template <typename Row>
struct TableRead {
    ReadOutcome outcome = ReadOutcome::Unavailable;
    TableBuffer<Row> table;
};

// The two-call protocol: ask for the size, allocate twice that, read into it.
// A size that cannot be allocated throws util::AppError naming the table.
TableRead<platform::TcpRowOwnerPid> ReadTcpTable(const platform::IpHelperEntryPoints& ipHelper);
TableRead<platform::UdpRowOwnerPid> ReadUdpTable(const platform::IpHelperEntryPoints& ipHelper);
// The same for the IPv6 tables, through the same entry points.
TableRead<platform::Tcp6RowOwnerPid> ReadTcp6Table(const platform::IpHelperEntryPoints& ipHelper);
TableRead<platform::Udp6RowOwnerPid> ReadUdp6Table(const platform::IpHelperEntryPoints& ipHelper);

} // namespace vq::connections
