#include "design/Presets.h"

#include "design/Design.h"

std::optional<Preset> presetNamed(std::string_view name)
{
    if (name == "square") {
        return Preset::Square;
    }
    if (name == "triangle") {
        return Preset::Triangle;
    }
    if (name == "sawtooth") {
        return Preset::Sawtooth;
    }
    return std::nullopt;
}

std::vector<HarmonicEntry> presetEntries(Preset preset, int order)
{
    std::vector<HarmonicEntry> entries;
    const int step = preset == Preset::Sawtooth ? 1 : 2;
    for (int n = 1; n <= order; n += step) {
        const double harmonic = n;
        switch (preset) {
        case Preset::Square:
        case Preset::Sawtooth:
            entries.push_back({static_cast<float>(n), static_cast<float>(100.0 / harmonic), -90});
            break;
        case Preset::Triangle:
            // The sine series' signs alternate: every other odd harmonic is inverted.
            entries.push_back({static_cast<float>(n),
                               static_cast<float>(100.0 / (harmonic * harmonic)),
                               n % 4 == 1 ? -90 : 90});
            break;
        }
    }
    return entries;
}

WaveSettings presetForm(WaveSettings settings)
{
    settings.basis = WaveBasis::Cosine;
    settings.phaseReference = PhaseReference::Harmonic;
    return settings;
}

void putPreset(Design& design, Preset preset, int order)
{
    design.clearTable();
    for (const HarmonicEntry& e : presetEntries(preset, order)) {
        design.add(e.number, e.magnitude, e.phase);
    }
}
