#include "convert/RatioText.h"

#include <gtest/gtest.h>

using namespace convert;

// Rounded down to a whole percent, sizes over 4 GiB included, and an empty source is 0%.
TEST(RatioText, WholePercentOfTheSource) {
    EXPECT_EQ(ratio_text(1234567, 4000000), "30%");
    EXPECT_EQ(ratio_text(1000000, 4000000), "25%");
    EXPECT_EQ(ratio_text(0, 0), "0%");
    EXPECT_EQ(ratio_text(3LL << 30, 6LL << 30), "50%");
}
