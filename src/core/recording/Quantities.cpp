#include "recording/Quantities.h"

namespace quantity {

double orderOf(std::size_t index)
{
    if (index >= kFirstInterharmonic) {
        return static_cast<double>(index - kFirstInterharmonic + 1) + 0.5;
    }
    return static_cast<double>(index - kFirstHarmonic + 2);
}

std::string name(std::size_t index, int checkThdOrders)
{
    switch (index) {
    case kLevel:
        return "level";
    case kThd:
        return "thd";
    case kCheckThd:
        return "thd" + std::to_string(checkThdOrders);
    default:
        break;
    }
    if (index >= kFirstInterharmonic) {
        return "ih" + std::to_string(index - kFirstInterharmonic + 1);
    }
    return "h" + std::to_string(index - kFirstHarmonic + 2);
}

}  // namespace quantity
