#include "numbers/NumberText.h"

#include <clocale>
#include <cstdio>
#include <random>
#include <vector>

#include <locale.h>

#include <gtest/gtest.h>

namespace {

/** What printf writes in the C locale, whatever the program's locale is. */
std::string printfText(const char* format, double value)
{
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", nullptr);
    const locale_t was = ::uselocale(cLocale);
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    ::uselocale(was);
    return buffer;
}

TEST(NumberText, MatchesPrintfInTheCLocaleUnderADecimalCommaLocaleToo)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where it is installed
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
    std::setlocale(LC_ALL, "C");
}

}  // namespace
