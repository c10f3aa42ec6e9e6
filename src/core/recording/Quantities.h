#pragma once

#include <cstddef>
#include <string>

#include "engine/LimitTables.h"

/**
 * The values each window of a recording gives and every aggregation keeps, by index: the
 * fundamental's level, THD, the harmonic subgroups and the centred interharmonic subgroups.
 */
namespace quantity {

/** The fundamental's subgroup as an RMS value, in the recording's own unit. */
inline constexpr std::size_t kLevel = 0;
/** THD over the harmonic subgroups 2 to 40, in percent of the fundamental's subgroup. */
inline constexpr std::size_t kThd = 1;
/** THD to the highest order of the mask a recording is checked against. */
inline constexpr std::size_t kCheckThd = 2;
/** Harmonic subgroups of orders 2 to kHighestOrder, in percent of the fundamental's. */
inline constexpr std::size_t kFirstHarmonic = 3;
/** Centred interharmonic subgroups above orders 1 to kHighestOrder - 1, likewise. */
inline constexpr std::size_t kFirstInterharmonic = kFirstHarmonic + kHighestOrder - 1;
inline constexpr std::size_t kCount = kFirstInterharmonic + kHighestOrder - 1;

/** The THD counted when no mask asks for another order. */
inline constexpr int kThdOrders = 40;

[[nodiscard]] constexpr std::size_t harmonic(int order)
{
    return kFirstHarmonic + static_cast<std::size_t>(order - 2);
}

[[nodiscard]] constexpr std::size_t interharmonic(int below)
{
    return kFirstInterharmonic + static_cast<std::size_t>(below - 1);
}

/** The order a harmonic or interharmonic index stands for: 5 for h5, 5.5 for ih5. */
[[nodiscard]] double orderOf(std::size_t index);

/** Whether outputs carry the value: the mask's THD only where it counts other orders. */
[[nodiscard]] constexpr bool isReported(std::size_t index, int checkThdOrders)
{
    return index != kCheckThd || checkThdOrders != kThdOrders;
}

/** As outputs name it: "level", "thd", "thd50", "h5", "ih5". */
[[nodiscard]] std::string name(std::size_t index, int checkThdOrders);

}  // namespace quantity
