#include "fft/Wisdom.h"

#include <memory>

#include <fftw3.h>

#include "fft/FftBuffer.h"
#include "fft/Planner.h"

namespace wisdom {

bool importText(std::string_view text)
{
    if (text.empty()) {
        return false;
    }
    const std::string terminated(text);
    const PlannerLock planner;
    return fftw_import_wisdom_from_string(terminated.c_str()) != 0;
}

std::string exportText()
{
    const PlannerLock planner;
    const std::unique_ptr<char, FftwFree> text(fftw_export_wisdom_to_string());
    return text ? std::string(text.get()) : std::string();
}

void forget()
{
    const PlannerLock planner;
    fftw_forget_wisdom();
}

}  // namespace wisdom
