#include "design/MaskSelection.h"

#include <charconv>

#include "engine/Recalculate.h"
#include "files/MaskFile.h"
#include "numbers/NumberText.h"
#include "settings/SettingsStore.h"

namespace {

constexpr std::string_view kFileKind = "file";

std::optional<double> parseAmperes(const std::string& text)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0.0
               ? std::optional(value)
               : std::nullopt;
}

MaskChoice maskFor(const MaskSource& source)
{
    switch (source.kind) {
    case MaskSource::Kind::None:
        break;
    case MaskSource::Kind::BuiltIn:
        return builtInMask(source.name, source.parameters);
    case MaskSource::Kind::File:
        return readMaskFile(source.path);
    }
    return {};
}

}  // namespace

std::string MaskSelection::choose(const MaskSource& source)
{
    return choose(source, maskFor(source));
}

std::string MaskSelection::choose(const MaskSource& source, MaskChoice read)
{
    if (source.kind != MaskSource::Kind::None && !read.mask) {
        return read.error;
    }
    m_source = source;
    m_mask = std::move(read.mask);
    m_check.reset();
    return {};
}

void MaskSelection::load(const SettingsStore& store)
{
    const std::string kind = readSetting(store, setting::limitMask);
    MaskSource source;
    if (kind == kFileKind) {  // not read: it awaits its file
        source.kind = MaskSource::Kind::File;
        source.path = readSetting(store, setting::limitMaskFile);
        m_source = source;
        m_mask.reset();
        m_check.reset();
        return;
    }
    if (!kind.empty()) {
        source.kind = MaskSource::Kind::BuiltIn;
        source.name = kind;
        source.parameters.fundamentalRms =
            parseAmperes(readSetting(store, setting::limitMaskCurrent));
    }
    if (!choose(source).empty()) {
        static_cast<void>(choose(MaskSource{}));
    }
}

void MaskSelection::store(SettingsStore& store) const
{
    switch (m_source.kind) {
    case MaskSource::Kind::None:
        writeSetting(store, setting::limitMask, "");
        break;
    case MaskSource::Kind::BuiltIn:
        writeSetting(store, setting::limitMask, m_source.name);
        break;
    case MaskSource::Kind::File:
        writeSetting(store, setting::limitMask, kFileKind);
        writeSetting(store, setting::limitMaskFile, m_source.path);
        break;
    }
    if (m_source.parameters.fundamentalRms) {
        writeSetting(store, setting::limitMaskCurrent,
                     formatGeneral(*m_source.parameters.fundamentalRms));
    }
}

void MaskSelection::check(std::span<const HarmonicEntry> entries, const WaveSettings& active,
                          const RecalcResult& displayed)
{
    if (!m_mask || !displayed.analyzed) {
        m_check.reset();
        return;
    }
    m_check = checkAgainst(*m_mask, m_measure, entries, active, displayed);
}

MaskCheck MaskSelection::checkAgainst(const LimitMask& mask, CheckMeasure measure,
                                      std::span<const HarmonicEntry> entries,
                                      const WaveSettings& active, const RecalcResult& displayed,
                                      std::optional<double> supplyHz) const
{
    // The supply the design's fundamental stands for: 60 Hz where its numbers read so.
    const DisplayMode supply =
        active.displayMode == DisplayMode::Hertz60 ? DisplayMode::Hertz60 : DisplayMode::Hertz50;
    const double fundamentalHz = supplyHz.value_or(frequencyMultiplierFor(supply));
    if (measure == CheckMeasure::Display ||
        !m_meter.measure(entries, synthesisFormOf(active), fundamentalHz, m_measured,
                         displayed.waveform)) {
        m_measured.kind = CheckMeasure::Display;
        m_measured.cycles = active.fftCycles;
        m_measured.lines = displayed.lines;
        m_measured.hasFundamental = displayed.hasFundamental;
        m_measured.fundamentalHz = fundamentalHz;
        m_measured.entryOrders = entryOrdersOf(entries);
    }
    return checkMask(mask, m_measured);
}
