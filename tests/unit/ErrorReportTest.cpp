#include "fake_platform.h"
#include "util/error_report.h"

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

namespace vq {
namespace {

using fake::Fake;

TEST(ErrorReportTest, AppendsAFullStopOnlyAfterCharactersAboveTheFullStop)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"Failed to get data for 'Width'", L"Failed to get data for 'Width'"},
        {L"Out of memory", L"Out of memory."},
        {L"Range 1 to 9", L"Range 1 to 9."},
        {L"Done.", L"Done."},
        {L"Aborting!", L"Aborting!"},
        {L"(closed)", L"(closed)"},
        {L"a-", L"a-"},
        {L"a/", L"a/."},
        {L"", L""},
    };
    for (const auto& [message, text] : cases) {
        EXPECT_EQ(util::ErrorReportText(message), text) << fake::Narrow(message);
    }
}

TEST(ErrorReportTest, AFailureLeavingAHandlerIsReportedAndTheProgramGoesOn)
{
    fake::Reset();
    int owner = 0;
    bool after = false;
    util::RunHandler(&owner, [] { throw util::AppError(L"Invalid data type for 'State'"); });
    util::RunHandler(&owner, [] { throw std::bad_alloc(); });
    util::RunHandler(&owner, [] { throw std::runtime_error("Not a number: x"); });
    util::RunHandler(&owner, [&] { after = true; });

    EXPECT_TRUE(after);
    ASSERT_EQ(Fake().messageBoxes.size(), 3u);
    EXPECT_EQ(Fake().messageBoxes[0].text, L"Invalid data type for 'State'") << "a quote is below the full stop";
    EXPECT_EQ(Fake().messageBoxes[0].caption, L"Quarvel Velquist");
    EXPECT_EQ(Fake().messageBoxes[0].type, 0x10u);
    EXPECT_EQ(Fake().messageBoxes[0].owner, &owner);
    EXPECT_EQ(Fake().messageBoxes[1].text, L"Out of memory.");
    EXPECT_EQ(Fake().messageBoxes[2].text, L"Not a number: x.");
}

// What the window procedures run under: nothing leaves, a failure is
// reported and answers 0, and the messages that the report's own loop
// dispatches while it is open do not report again.
TEST(ErrorReportTest, AFailingWindowProcedureIsReportedOnceAndAnswersZero)
{
    fake::Reset();
    int owner = 0;
    bool reportOpen = false;
    std::optional<long> nestedAnswer;
    bool nestedRan = false;
    Fake().whileMessageBoxShows = [&] {
        if (!std::exchange(nestedRan, true)) {
            nestedAnswer =
                util::RunWindowProcedure(&owner, reportOpen, []() -> long { throw std::runtime_error("again"); });
        }
    };

    EXPECT_EQ(util::RunWindowProcedure(&owner, reportOpen, []() -> long { throw std::runtime_error("Paint failed"); }),
              0);
    EXPECT_EQ(nestedAnswer, 0);
    ASSERT_EQ(Fake().messageBoxes.size(), 1u);
    EXPECT_EQ(Fake().messageBoxes[0].text, L"Paint failed.");
    EXPECT_EQ(Fake().messageBoxes[0].owner, &owner);
    EXPECT_FALSE(reportOpen);

    // Once the box is closed, the next failure is reported again.
    Fake().whileMessageBoxShows = nullptr;
    util::RunWindowProcedure(&owner, reportOpen, [] { throw std::bad_alloc(); });
    EXPECT_EQ(Fake().messageBoxes.size(), 2u);
    EXPECT_EQ(util::RunWindowProcedure(&owner, reportOpen, [] { return 42L; }), 42L);
    EXPECT_EQ(Fake().messageBoxes.size(), 2u);
}

} // namespace
} // namespace vq
