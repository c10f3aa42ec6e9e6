// Any stored values: the input's lines become "Ppc", "Wisdom" and the six integers (empty past
// its end), as a hand-edited or damaged settings file could hold them.

#include <string_view>

#include "FuzzChecks.h"
#include "fft/Wisdom.h"
#include "settings/SettingsRegistry.h"
#include "settings/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace n = setting;
    const std::string_view names[] = {n::ppc.key,         n::wisdom.key,   n::displayCycles.key,
                                      n::fftCycles.key,   n::cosine.key,   n::phaseReference.key,
                                      n::displayMode.key, n::optimized.key};
    MemorySettingsStore store;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string_view name : names) {
        const std::size_t end = text.find('\n');
        store.writeString(name, text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }

    // Whatever "Wisdom" holds, importing it is harmless and planning still works.
    Design::loadWisdom(store);
    Design design(PlanRigor::Estimate);
    design.loadSettings(store);
    const SettingsModel& model = design.settings();
    require(isAcceptedForm(model.preferences) && model.preferences == model.activeSettings);

    // What is written back at close reads back the same.
    MemorySettingsStore again;
    design.storeSettings(again);
    Design reloaded(PlanRigor::Estimate);
    reloaded.loadSettings(again);
    require(reloaded.settings().preferences == model.preferences);

    design.start();
    checkDesign(design);
    wisdom::forget();
    return 0;
}
