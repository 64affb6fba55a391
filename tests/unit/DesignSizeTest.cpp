#include "ui/design_size.h"

#include <gtest/gtest.h>

namespace vq::ui {
namespace {

TEST(DesignSizeTest, ScalesByTheResolutionOver96RoundingToTheNearestPixel)
{
    struct Case {
        int size;
        int dpi;
        int scaled;
    };
    const Case cases[] = {
        {998, 96, 998},  {536, 96, 536},  // the built-in sizes stay as they are at 96
        {998, 144, 1497}, {145, 144, 218}, {19, 144, 29},  // 1.5 times, halves rounded up
        {75, 120, 94},   {125, 192, 250}, {145, 168, 254},  // 1.25, 2 and 1.75 times
        {145, 0, 145},   {145, -5, 145},                     // an unknown resolution counts as 96
        {0, 144, 0},     {-2, 144, -3},                      // signs are kept, halves away from zero
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScaleToDpi(c.size, c.dpi), c.scaled) << c.size << " at " << c.dpi;
    }
}

} // namespace
} // namespace vq::ui
