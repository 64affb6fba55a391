#pragma once

#include "platform/iphelper.h"

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
    explicit TableBuffer(std::vector<std::uint32_t> words) : words_(std::move(words)) {}

    // Entries the platform reported, never more than the buffer holds.
    std::size_t size() const noexcept
    {
        if (words_.empty()) {
            return 0;
        }
        const std::size_t fits = (words_.size() - 1) * sizeof(std::uint32_t) / sizeof(Row);
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
TableRead<platform::TcpRowOwnerPid> ReadTcpTable(const platform::IpHelperEntryPoints& ipHelper);
TableRead<platform::UdpRowOwnerPid> ReadUdpTable(const platform::IpHelperEntryPoints& ipHelper);

} // namespace vq::connections
