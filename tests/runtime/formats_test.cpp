#include "runtime/formats.h"

#include <gtest/gtest.h>

namespace qrv::notation {
namespace {

TEST(FormatNotation, RealsFollowPrecisionAndWidth) {
    EXPECT_EQ(Real(21.46, 1, 6), "  21.5");  // %f[p1w6]
    EXPECT_EQ(Real(-5.04, 1, 6), "  -5.0");
    EXPECT_EQ(Real(-300.0, 1, 6), "-300.0");
    EXPECT_EQ(Real(1234567.0, 1, 6), "1234567.0");  // too wide: never cut
    EXPECT_EQ(Real(3.03, 2, 5), " 3.03");           // %f[p2w5]: the version in the title
    EXPECT_EQ(Real(21.5), "21.500000");             // %f
}

TEST(FormatNotation, NonFiniteRealsKeepTheLineShape) {
    EXPECT_EQ(Real(std::numeric_limits<double>::infinity(), 1, 6), "9999.9");
    EXPECT_EQ(Real(-std::numeric_limits<double>::quiet_NaN(), 1, 6).size(), 7u);
}

TEST(FormatNotation, IntegersPadWithBlanksOrZeros) {
    EXPECT_EQ(Int(1, 10, true), "0000000001");  // %i[w10p0]
    EXPECT_EQ(Int(5, 2, true), "05");           // %i[w2p0]
    EXPECT_EQ(Int(2026, 4, true), "2026");      // %i[w4p0]
    EXPECT_EQ(Int(42, 6), "    42");            // %d[w6]
    EXPECT_EQ(Int(-1), "-1");                   // %i
    EXPECT_EQ(Int(123, 2, true), "123");
}

TEST(FormatNotation, TargetWidthCutsOrPadsSourceWidthOnlyCuts) {
    EXPECT_EQ(Fit("abc", 5), "abc  ");
    EXPECT_EQ(Fit("abcdefgh", 5), "abcde");
    EXPECT_EQ(Fit("", 2), "  ");
    EXPECT_EQ(Take("2026-12-06xyz", 12), "2026-12-06xy");
    EXPECT_EQ(Take("2026-12-06", 12), "2026-12-06");
}

TEST(FormatNotation, ScanIntTakesTheLeadingNumber) {
    EXPECT_EQ(ScanInt("0000000005"), 5);
    EXPECT_EQ(ScanInt("  -12abc"), -12);
    EXPECT_EQ(ScanInt("+7"), 7);
    EXPECT_EQ(ScanInt("abc"), std::nullopt);
    EXPECT_EQ(ScanInt(""), std::nullopt);
    EXPECT_EQ(ScanInt("-"), std::nullopt);
    EXPECT_EQ(ScanInt("99999999999999"), std::numeric_limits<int>::max());
}

TEST(FormatNotation, ScanRealAndWord) {
    EXPECT_DOUBLE_EQ(*ScanReal("  21.5"), 21.5);
    EXPECT_DOUBLE_EQ(*ScanReal("-300.0  Freezer"), -300.0);
    EXPECT_DOUBLE_EQ(*ScanReal("1e2"), 100.0);
    EXPECT_EQ(ScanReal("x1"), std::nullopt);
    EXPECT_EQ(ScanReal("nan"), std::nullopt);
    EXPECT_EQ(ScanWord("  0612345678 extra"), "0612345678");
    EXPECT_EQ(ScanWord("   "), "");
}

}  // namespace
}  // namespace qrv::notation
