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

// Numbers in messages stay within twelve characters, plain while that holds.
TEST(NumberText, CompactTextsFitTwelveCharacters)
{
    const std::pair<double, const char*> cases[] = {
        {48000.0, "48000"},  {49.9999984, "49.999998"},     {0.5, "0.5"},
        {1e9, "1000000000"}, {4294967295.0, "4294967295"},  {123456789012.25, "123456789012"},
        {1e300, "1e+300"},   {-1.2345678e15, "-1.235e+15"}, {777777777777777777771.7, "7.778e+20"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(formatCompact(value, 6), text) << value;
    }
}

}  // namespace
