#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "files/ScanNumbers.h"

TEST(ScanNumbersInt, SkipsWhiteSpaceAndStopsAfterTheDigits)
{
    LineScanner scan(" \t 42x");
    EXPECT_EQ(scan.scanInt(), 42);
    EXPECT_EQ(scan.position(), 5U);
    EXPECT_EQ(scan.peek(), 'x');
    EXPECT_EQ(scan.scanInt(), std::nullopt);

    LineScanner decimal("12.5");
    EXPECT_EQ(decimal.scanInt(), 12);
    EXPECT_EQ(decimal.rest(), ".5");
}

TEST(ScanNumbersInt, SignsAndThe32BitRange)
{
    EXPECT_EQ(LineScanner("+7").scanInt(), 7);
    EXPECT_EQ(LineScanner("-7").scanInt(), -7);
    EXPECT_EQ(LineScanner("-2147483648").scanInt(), std::numeric_limits<int>::min());
    EXPECT_EQ(LineScanner("2147483647").scanInt(), std::numeric_limits<int>::max());
    EXPECT_EQ(LineScanner("2147483648").scanInt(), std::nullopt);
    EXPECT_EQ(LineScanner("-2147483649").scanInt(), std::nullopt);
    EXPECT_EQ(LineScanner("+-7").scanInt(), std::nullopt);
    EXPECT_EQ(LineScanner("- 7").scanInt(), std::nullopt);
    EXPECT_EQ(LineScanner("").scanInt(), std::nullopt);
    EXPECT_EQ(LineScanner("   ").scanInt(), std::nullopt);
}

TEST(ScanNumbersFloat, DecimalForms)
{
    EXPECT_EQ(LineScanner("1.5").scanFloat(), 1.5F);
    EXPECT_EQ(LineScanner(".5").scanFloat(), 0.5F);
    EXPECT_EQ(LineScanner("5.").scanFloat(), 5.0F);
    EXPECT_EQ(LineScanner("+2.25").scanFloat(), 2.25F);
    EXPECT_EQ(LineScanner("-2.25").scanFloat(), -2.25F);
    EXPECT_EQ(LineScanner("1e-05").scanFloat(), 1e-05F);
    EXPECT_EQ(LineScanner("2E3").scanFloat(), 2000.0F);
    EXPECT_EQ(LineScanner("33.330002").scanFloat(), 33.33F);
    EXPECT_EQ(LineScanner("-99.879546").scanDouble(), -99.879546);  // not via a float
    EXPECT_EQ(LineScanner(".").scanFloat(), std::nullopt);
    EXPECT_EQ(LineScanner("-").scanFloat(), std::nullopt);
    EXPECT_EQ(LineScanner("+-1").scanFloat(), std::nullopt);
    EXPECT_EQ(LineScanner("e5").scanFloat(), std::nullopt);
    LineScanner scan("1e+x");  // an incomplete exponent is left unread
    EXPECT_EQ(scan.scanFloat(), 1.0F);
    EXPECT_EQ(scan.rest(), "e+x");
}

TEST(ScanNumbersFloat, OutOfRangeBecomesInfinityOrZero)
{
    EXPECT_EQ(LineScanner("1e39").scanFloat(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(LineScanner("-1e39").scanFloat(), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(LineScanner("1e999").scanDouble(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(LineScanner("123456789e305").scanDouble(), std::numeric_limits<double>::infinity());

    EXPECT_EQ(LineScanner("1e-999").scanDouble(), 0.0);
    const auto negativeTiny = LineScanner("-0.000001e-999").scanDouble();
    EXPECT_TRUE(negativeTiny == 0.0 && std::signbit(*negativeTiny));
    // strtof gives the nearest subnormal here, not zero.
    EXPECT_NEAR(LineScanner("1e-40").scanFloat().value_or(0.0F), 1e-40F, 1e-44F);

    EXPECT_TRUE(std::isnan(*LineScanner("nan").scanFloat()));
    EXPECT_EQ(LineScanner("-infinity").scanDouble(), -std::numeric_limits<double>::infinity());

    LineScanner scan("1e999 7");
    EXPECT_TRUE(std::isinf(*scan.scanDouble()));
    EXPECT_EQ(scan.scanDouble(), 7.0);  // the whole out-of-range text was consumed
}

TEST(ScanNumbersDouble, ConvertHereDoesNotSkipWhiteSpace)
{
    LineScanner scan(" 5");
    EXPECT_EQ(scan.convertDoubleHere(), std::nullopt);
    EXPECT_EQ(scan.position(), 0U);
    scan.setPosition(1);
    EXPECT_EQ(scan.convertDoubleHere(), 5.0);
    EXPECT_TRUE(scan.atEnd());
}
