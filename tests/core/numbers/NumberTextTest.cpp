#include "numbers/NumberText.h"

#include <clocale>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string printfText(const char* format, double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

TEST(NumberText, MatchesPrintfInTheCLocale)
{
    std::setlocale(LC_ALL, "C");
    // Ties, a negative zero, a text longer than its field, the longest fixed text; then any.
    std::vector<double> values{0.005, 0.125, -0.0, -12345.0, 1e300, 1234567.0, 1e-5};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    }
    for (const double value : values) {
        ASSERT_EQ(formatGeneral(value), printfText("%g", value)) << value;
        ASSERT_EQ(formatFixed(value, 2), printfText("%.2f", value)) << value;
        ASSERT_EQ(formatFixed(value, 11, 6), printfText("%11.6f", value)) << value;
    }
    EXPECT_EQ(formatInt(-2147483647 - 1), "-2147483648");
}

TEST(NumberText, IgnoresADecimalCommaLocale)
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    EXPECT_EQ(printfText("%.2f", 1.5), "1,50");  // what printf itself would write here
    EXPECT_EQ(formatFixed(1.5, 2), "1.50");
    EXPECT_EQ(formatGeneral(2.5), "2.5");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
