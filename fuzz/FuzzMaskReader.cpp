// Any bytes as a user's limit mask, read from a file as the window and check read it, then
// checked against a spectrum whose every line says which bin it is: a pass must rest on the
// line at its own order, never on another one.

#include "FuzzChecks.h"
#include "engine/HarmonicGroups.h"
#include "engine/LimitCheck.h"
#include "files/MaskFile.h"
#include "files/MaskReader.h"

namespace {

/** How far an order may lie off its bin and still be measured there, in bins. */
constexpr double kOnBin = 1e-3;
constexpr int kBinsPerCycle = 65;

void checkRestsOnItsLine(const MaskCheck& check, std::span<const double> spectrum, int cycles)
{
    for (const OrderCheck& order : check.orders) {
        if (order.status == LimitStatus::Unresolved) {
            continue;
        }
        // Bin k holds k + 1, so the level tells which line the order was read off.
        require(std::fabs(order.level - 1.0 - order.order * cycles) <= kOnBin);
    }
    if (check.thd && check.thd->status != LimitStatus::Unresolved) {
        require(static_cast<double>(check.thd->limit.highestOrder) * cycles <
                static_cast<double>(spectrum.size()));
    }
    require(check.passed() == (check.count(LimitStatus::Pass) ==
                               static_cast<int>(check.orders.size()) + (check.thd ? 1 : 0)));
    require(!verdictLine(check).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int fd = ::memfd_create("fuzz-mask", MFD_CLOEXEC);
    require(fd >= 0 && ::write(fd, data, size) == static_cast<ssize_t>(size));
    const MaskChoice fromFile = readMaskFile("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    const MaskChoice choice = parseMask(text, "fuzz");
    require(fromFile.mask.has_value() == choice.mask.has_value() && fromFile.error == choice.error);
    if (!choice.mask) {
        require(!choice.error.empty());
        return 0;
    }
    CheckMeasurement measured;
    measured.kind = CheckMeasure::Display;
    measured.cycles = 1 + static_cast<int>(size % kMaxCycles);
    measured.hasFundamental = true;
    measured.lines.resize(static_cast<std::size_t>(kBinsPerCycle * measured.cycles));
    for (std::size_t k = 0; k < measured.lines.size(); ++k) {
        measured.lines[k] = static_cast<double>(k) + 1.0;
    }
    checkRestsOnItsLine(checkMask(*choice.mask, measured), measured.lines, measured.cycles);
    // As an analyser measures: every order is read off a subgroup, whatever the mask holds.
    measured.kind = CheckMeasure::Iec;
    measured.cycles = kIecCycles50;
    require(!verdictLine(checkMask(*choice.mask, measured)).empty());
    return 0;
}
