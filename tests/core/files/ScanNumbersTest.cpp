#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <span>

#include "files/ScanNumbers.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kMin = std::numeric_limits<int>::min();
constexpr int kMax = std::numeric_limits<int>::max();

struct ScanCase {
    const char* text;
    std::optional<double> value;  // none: nothing converts
    const char* rest = "";        // what a conversion leaves unread
};

/** One scan of each text: values must agree in sign too (zeros), and NaN must stay NaN. */
template <typename Scan>
void expectScans(std::span<const ScanCase> cases, Scan scan)
{
    for (const ScanCase& c : cases) {
        LineScanner scanner(c.text);
        const auto got = scan(scanner);
        ASSERT_EQ(got.has_value(), c.value.has_value()) << c.text;
        if (got) {
            const auto value = static_cast<double>(*got);
            EXPECT_TRUE(value == *c.value || (std::isnan(value) && std::isnan(*c.value)))
                << c.text << " gave " << value;
            EXPECT_EQ(std::signbit(value), std::signbit(*c.value)) << c.text;
            EXPECT_EQ(scanner.rest(), c.rest) << c.text;
        }
    }
}

}  // namespace

TEST(ScanNumbers, IntTakesLeadingWhiteSpaceAndOnly32BitValues)
{
    const ScanCase cases[] = {
        {" \t 42x", 42, "x"},  {"12.5", 12, ".5"},   {"+7", 7},          {"-7", -7},
        {"-2147483648", kMin}, {"2147483647", kMax}, {"2147483648", {}}, {"-2147483649", {}},
        {"+-7", {}},           {"- 7", {}},          {"", {}},           {"   ", {}}};
    expectScans(cases, [](LineScanner& s) { return s.scanInt(); });
}

// An incomplete exponent is left unread; out of range saturates, but 1e-40 is strtof's
// nearest subnormal, not zero.
TEST(ScanNumbers, FloatAndDoubleSaturateOutOfRange)
{
    const ScanCase cases[] = {
        {" \t1.5", 1.5},    {".5", 0.5},       {"5.", 5},        {"+2.25", 2.25},
        {"-2.25", -2.25},   {"1e-05", 1e-05F}, {"2E3", 2000},    {"33.330002", 33.33F},
        {"1e+x", 1, "e+x"}, {"1e39", kInf},    {"-1e39", -kInf}, {"1e-40", 1e-40F},
        {"nan", kNaN},      {".", {}},         {"-", {}},        {"+-1", {}},
        {"e5", {}}};
    expectScans(cases, [](LineScanner& s) { return s.scanFloat(); });
    // -99.879546 is not read via a float; out-of-range text is consumed whole.
    const ScanCase doubles[] = {{"-99.879546", -99.879546}, {"1e999 7", kInf, " 7"},
                                {"123456789e305", kInf},    {"1e-999", 0.0},
                                {"-0.000001e-999", -0.0},   {"-infinity", -kInf}};
    expectScans(doubles, [](LineScanner& s) { return s.scanDouble(); });
    const ScanCase here[] = {{" 5", {}}, {"5 ", 5, " "}};  // no white space skipped
    expectScans(here, [](LineScanner& s) { return s.convertDoubleHere(); });
}
