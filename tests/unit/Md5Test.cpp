#include "util/file_hash.h"
#include "util/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vq {
namespace {

using util::Md5Context;

std::string DigestOf(const std::string& message)
{
    Md5Context context;
    util::Md5Init(context);
    util::Md5Update(context, message.data(), static_cast<std::uint32_t>(message.size()));
    return util::DigestToHex(util::Md5Final(context));
}

struct DigestCase {
    std::string message;
    const char* digest;
};

TEST(Md5Test, GivesTheStandardDigests)
{
    const DigestCase cases[] = {
        // The test suite of RFC 1321.
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890"
         "1234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
        // Lengths around the padding's limits: the length still fits the
        // last block (55), needs a block of its own (56), whole blocks (64, 128).
        {std::string(55, 'a'), "EF1772B6DFF9A122358552954AD0DF65"},
        {std::string(56, 'a'), "3B0C8AC703F828B04C6C197006D17218"},
        {std::string(63, 'a'), "B06521F39153D618550606BE297466D5"},
        {std::string(64, 'a'), "014842D480B571495A4A0363793F7367"},
        {std::string(65, 'a'), "C743A45E0D2E6A95CB859ADAE0248435"},
        {std::string(119, 'a'), "8A7BD0732ED6A28CE75F6DABC90E1613"},
        {std::string(120, 'a'), "5F61C0CCAD4CAC44C75FF505E1F1E537"},
        {std::string(128, 'a'), "E510683B3F5FFE4093D021808BC6FF70"},
    };
    for (const auto& [message, digest] : cases) {
        EXPECT_EQ(DigestOf(message), digest) << "length " << message.size();
    }
}

// Pieces that split blocks anywhere give the digest of the message fed at once.
TEST(Md5Test, PiecesAcrossBlockBoundariesGiveTheWholeMessagesDigest)
{
    std::string message(1000, '\0');
    for (std::size_t i = 0; i < message.size(); ++i) {
        message[i] = static_cast<char>(i * 131 + (i >> 3));
    }
    const std::string whole = DigestOf(message);
    for (const std::size_t pieceLength : {1, 3, 55, 63, 64, 65, 127, 128, 129, 999}) {
        Md5Context context;
        util::Md5Init(context);
        for (std::size_t at = 0; at < message.size(); at += pieceLength) {
            const std::size_t length = std::min(pieceLength, message.size() - at);
            util::Md5Update(context, message.data() + at, static_cast<std::uint32_t>(length));
        }
        util::Md5Update(context, nullptr, 0);
        EXPECT_EQ(util::DigestToHex(util::Md5Final(context)), whole) << "pieces of " << pieceLength;
    }
}

TEST(Md5Test, FinalClearsTheContext)
{
    Md5Context context;
    util::Md5Init(context);
    util::Md5Update(context, "abc", 3);
    util::Md5Final(context);

    const Md5Context cleared{};
    EXPECT_EQ(context.state, cleared.state);
    EXPECT_EQ(context.count, cleared.count);
    EXPECT_EQ(context.buffer, cleared.buffer);
}

// Past 512 MiB the bit count no longer fits its low word.
TEST(Md5Test, BitCountCarriesIntoItsHighWord)
{
    Md5Context context;
    util::Md5Init(context);
    context.count = {0xFFFFFE00, 0};  // 64 bytes short of 2^32 bits
    const std::vector<std::uint8_t> bytes(72, 0x5A);
    util::Md5Update(context, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    EXPECT_EQ(context.count[0], 64u);
    EXPECT_EQ(context.count[1], 1u);
}

} // namespace
} // namespace vq
