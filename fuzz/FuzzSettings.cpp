// Any stored values: the input's lines become "Ppc", "Wisdom" and the five integers, as a
// hand-edited or damaged settings file could hold them.

#include <string_view>

#include "FuzzChecks.h"
#include "fft/Wisdom.h"
#include "settings/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view names[] = {settings_names::ppc,           settings_names::wisdom,
                                      settings_names::displayCycles, settings_names::fftCycles,
                                      settings_names::cosine,        settings_names::phaseReference,
                                      settings_names::harmIndex,     settings_names::optimized};
    MemorySettingsStore store;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string_view name : names) {
        const std::size_t end = text.find('\n');
        store.writeString(name, text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
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
