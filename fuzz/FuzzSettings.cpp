// Any stored values: the input's lines become "Ppc", "Wisdom" and the five integers, as a
// hand-edited or damaged settings file could hold them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzChecks.h"
#include "settings/SettingsStore.h"
#include "settings/WaveSettings.h"
#include "fft/Wisdom.h"

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

    SettingsModel model;
    model.LoadSettings(store);
    for (const WaveSettings* s : {&model.preferences, &model.activeSettings}) {
        require(isAcceptedCycles(s->displayCycles) && isAcceptedCycles(s->fftCycles));
        require(isAcceptedPpc(s->ppc));
        require(s->cosine == 0 || s->cosine == 1);
    }
    require(model.preferences == model.activeSettings);

    // What is written back at close reads back the same.
    MemorySettingsStore again;
    model.StoreSettings(again);
    SettingsModel reloaded;
    reloaded.LoadSettings(again);
    require(reloaded.preferences == model.preferences);

    // Whatever "Wisdom" holds, importing it is harmless and planning still works.
    wisdom::importFrom(store);
    Design design(PlanRigor::Estimate);
    design.loadSettings(store);
    design.start();
    checkDesign(design);
    wisdom::forget();
    return 0;
}
