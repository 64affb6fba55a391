#pragma once

#include "platform/iphelper.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace vq::connections {

// Frees what calloc gave.
struct CallocFree {
    void operator()(std::uint32_t* words) const noexcept { std::free(words); }
};
using TableWords = std::unique_ptr<std::uint32_t[], CallocFree>;

// Zeroed words for a table, or null when there is no memory for them. The
// system hands a large block over in fresh pages, already zero: a page the
// platform never writes is never touched.
inline TableWords AllocateTableWords(std::size_t count)
{
    return TableWords(static_cast<std::uint32_t*>(std::calloc(count, sizeof(std::uint32_t))));
}

// Room for one read of a table, all zero where the platform did not write.
struct TableRoom {
    TableWords words;
    std::size_t wordCount = 0;
    // What the last read said it wrote (all of it when the read failed):
    // zeroed before the room is read into again.
    std::size_t usedBytes = 0;
};

// One read of an extended table: the buffer the platform filled, owned for
// as long as its rows are walked. Bytes the platform did not write read as
// zero, also when it claims to have written more than it did.
template <typename Row>
class TableBuffer {
public:
    TableBuffer() = default;
    // writtenLength: the bytes the platform says it wrote, when it says so.
    TableBuffer(TableRoom room, std::size_t writtenLength = SIZE_MAX)
        : room_(std::move(room)),
          writtenLength_(std::min(writtenLength, room_.wordCount * sizeof(std::uint32_t)))
    {
    }
    explicit TableBuffer(const std::vector<std::uint32_t>& words, std::size_t writtenLength = SIZE_MAX)
        : TableBuffer(TableRoom{AllocateTableWords(words.size()), words.size(), 0}, writtenLength)
    {
        if (!room_.words && !words.empty()) {
            throw std::bad_alloc();
        }
        std::copy(words.begin(), words.end(), room_.words.get());
    }

    // The buffer, for the next read of the table to reuse; the table is empty after.
    TableRoom TakeRoom() noexcept
    {
        room_.usedBytes = writtenLength_;
        writtenLength_ = 0;
        return std::move(room_);
    }

    // Entries the platform reported, never more than it wrote.
    std::size_t size() const noexcept
    {
        if (writtenLength_ < kRowsOffset) {
            return 0;
        }
        const std::size_t fits = (writtenLength_ - kRowsOffset) / sizeof(Row);
        return room_.words[0] < fits ? room_.words[0] : fits;
    }

    Row operator[](std::size_t index) const noexcept
    {
        Row row;
        std::memcpy(&row, reinterpret_cast<const unsigned char*>(room_.words.get()) + kRowsOffset + index * sizeof(Row),
                    sizeof(Row));
        return row;
    }

    // The first fields of an entry, as a shorter record the entry begins
    // with: a walk over every entry copies only what it looks at.
    template <typename Head>
    Head HeadOf(std::size_t index) const noexcept
    {
        static_assert(sizeof(Head) <= sizeof(Row));
        Head head;
        std::memcpy(&head, reinterpret_cast<const unsigned char*>(room_.words.get()) + kRowsOffset + index * sizeof(Row),
                    sizeof(Head));
        return head;
    }

private:
    static constexpr std::size_t kRowsOffset = platform::kTableRowsOffset<Row>;

    TableRoom room_;
    std::size_t writtenLength_ = 0;
};

enum class ReadOutcome {
    Unavailable,  // entry point missing or the size query did not answer 122: nothing allocated
    Failed,       // the table read itself failed; its room is released or back in spare
    Read,
};

template <typename Row>
struct TableRead {
    ReadOutcome outcome = ReadOutcome::Unavailable;
    TableBuffer<Row> table;
};

// The rooms of the last reads, one per table, for the next reads to reuse:
// at a million rows, fresh memory for every read costs more in page faults
// than the read itself. A kept room holds the pages its last read wrote.
struct TableRooms {
    TableRoom tcp;
    TableRoom udp;
    TableRoom tcp6;
    TableRoom udp6;
};

// The two-call protocol: ask for the size, allocate twice that, read into it.
// With spare room that is large enough (and not far too large), the read
// reuses it instead of allocating; room the read did not take stays in
// spare. A size that cannot be allocated throws util::AppError naming the
// table.
TableRead<platform::TcpRowOwnerPid> ReadTcpTable(const platform::IpHelperEntryPoints& ipHelper,
                                                 TableRoom* spare = nullptr);
TableRead<platform::UdpRowOwnerPid> ReadUdpTable(const platform::IpHelperEntryPoints& ipHelper,
                                                 TableRoom* spare = nullptr);
// The same for the IPv6 tables, through the same entry points.
TableRead<platform::Tcp6RowOwnerPid> ReadTcp6Table(const platform::IpHelperEntryPoints& ipHelper,
                                                   TableRoom* spare = nullptr);
TableRead<platform::Udp6RowOwnerPid> ReadUdp6Table(const platform::IpHelperEntryPoints& ipHelper,
                                                   TableRoom* spare = nullptr);

// The same four tables read with the owner-module classes, whose rows carry
// the time each endpoint was made and its owner module.
TableRead<platform::TcpRowOwnerModule> ReadTcpModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                          TableRoom* spare = nullptr);
TableRead<platform::UdpRowOwnerModule> ReadUdpModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                          TableRoom* spare = nullptr);
TableRead<platform::Tcp6RowOwnerModule> ReadTcp6ModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                            TableRoom* spare = nullptr);
TableRead<platform::Udp6RowOwnerModule> ReadUdp6ModuleTable(const platform::IpHelperEntryPoints& ipHelper,
                                                            TableRoom* spare = nullptr);

} // namespace vq::connections
