#include "design/Design.h"

#include <cmath>
#include <istream>

#include "fft/Optimize.h"
#include "files/WaveshapeFile.h"

Design::Design(PlanRigor rigor) : m_engine(rigor)
{
    m_table.setSlotsPerHarmonic(slotsPerHarmonicFor(active().ppc));
}

void Design::loadSettings(const SettingsStore& store)
{
    m_settings.LoadSettings(store);
    m_table.RelabelNumberColumn(m_settings.frequencyMultiplier());
    m_table.setSlotsPerHarmonic(slotsPerHarmonicFor(active().ppc));
    discardPlan();
}

void Design::setActive(const WaveSettings& settings)
{
    const bool displayChanged = settings.harmIndex != active().harmIndex;
    m_settings.activeSettings = settings;
    if (displayChanged) {
        m_settings.ApplyDisplayMode(settings.harmIndex);
        m_table.RelabelNumberColumn(m_settings.frequencyMultiplier());
    }
    m_table.setSlotsPerHarmonic(slotsPerHarmonicFor(settings.ppc));
    discardPlan();
}

bool Design::applyPreferences(const WaveSettings& entered)
{
    WaveSettings& persisted = m_settings.preferences;
    WaveSettings next = active();
    const bool displayChanged = entered.harmIndex != next.harmIndex;
    if (displayChanged) {
        persisted.harmIndex = next.harmIndex = entered.harmIndex;
    }
    persisted.displayCycles = next.displayCycles = entered.displayCycles;
    persisted.fftCycles = next.fftCycles = entered.fftCycles;
    // Compared with the working copy: a value a file set reaches the persisted copy only
    // when the user picks a different one.
    if (entered.cosine != next.cosine) {
        persisted.cosine = next.cosine = entered.cosine;
    }
    if (entered.phaseReference != next.phaseReference) {
        persisted.phaseReference = next.phaseReference = entered.phaseReference;
    }
    if (entered.ppc != next.ppc) {
        persisted.ppc = next.ppc = entered.ppc;
    }
    setActive(next);
    return displayChanged;
}

AddProposal Design::addProposal() const
{
    const double limit = static_cast<double>(active().ppc) * 0.5 -
                         1.0 / static_cast<double>(m_table.slotsPerHarmonic());
    const double last = m_table.lastAddedNumber();
    AddProposal proposal;
    // Written so that an unordered comparison also proposes 2.
    proposal.number = limit - 2.0 >= last ? static_cast<float>(std::floor(last + 2.0)) : 2.0F;
    proposal.maximumNumber = static_cast<float>(limit);
    return proposal;
}

bool Design::add(float number, float magnitude, int phase)
{
    if (m_table.FindHarmonic(number)) {
        return false;
    }
    m_table.AddHarmonic(number, magnitude, phase);
    return true;
}

std::optional<HarmonicEntry> Design::selectedEntry() const
{
    return m_table.FindHarmonic(m_table.selectedNumber());
}

void Design::updateSelected(float magnitude, int phase)
{
    m_table.UpdateHarmonic(m_table.selectedNumber(), magnitude, phase);
}

std::optional<HarmonicEntry> Design::entryToDelete() const
{
    const int row = m_table.selectedRow();
    if (row < 0) {
        return std::nullopt;
    }
    return m_table.entry(row);
}

std::optional<HarmonicEntry> Design::deleteSelected()
{
    const int row = m_table.selectedRow();
    if (row < 0) {
        return std::nullopt;
    }
    m_table.RemoveRow(row);
    if (m_table.count() == 0) {
        return std::nullopt;
    }
    const int next = row > 0 ? row - 1 : 0;
    m_table.selectRow(next);
    const HarmonicEntry entry = m_table.entry(next);
    m_table.setSelectedNumber(entry.number);
    return entry;
}

std::optional<HarmonicEntry> Design::selectRow(int row)
{
    m_table.selectRow(row);
    if (row < 0 || row >= m_table.count()) {
        return std::nullopt;  // no row highlighted: the sliders keep their harmonic
    }
    const HarmonicEntry entry = m_table.entry(row);
    if (entry.number == m_table.selectedNumber()) {
        return std::nullopt;
    }
    m_table.setSelectedNumber(entry.number);
    // Entries with an equal number (possible after a file load) take this one's values.
    m_table.UpdateHarmonic(entry.number, entry.magnitude, entry.phase);
    return entry;
}

void Design::newDesign()
{
    WaveSettings next = m_settings.preferences;
    next.harmIndex = active().harmIndex;  // the display mode is not part of a design
    setActive(next);
    m_table.ClearHarmonics();
    m_table.AddHarmonic(kFundamental.number, kFundamental.magnitude, kFundamental.phase);
}

ReadSummary Design::open(OpenedDocument& document)
{
    return open(*document.stream, document.kind);
}

LoadResult Design::open(const std::string& path)
{
    OpenedDocument document = OpenDocumentFile(path);
    LoadResult result;
    result.opened = document.opened();
    result.error = document.error;
    if (result.opened) {
        result.summary = open(document);
    }
    return result;
}

ReadSummary Design::open(std::istream& in, DocumentKind kind)
{
    return LoadDocument(in, kind, *this);
}

std::size_t Design::openSamples(const std::function<std::size_t(FftBuffer&)>& fill)
{
    m_table.ClearHarmonics();
    m_engine.samples.fill(0.0);
    const std::size_t count = fill(m_engine.samples);
    AnalyseWaveshape(*this);
    FinishLoading(*this);
    return count;
}

bool Design::runFirstRunOptimisation(SettingsStore& store, OptimizeProgress& progress)
{
    return RunFirstRunOptimisation(store, m_engine.planSlot, progress);
}

void Design::reoptimize(OptimizeProgress& progress)
{
    Reoptimize(m_engine.planSlot, progress);
}

const RecalcResult& Design::recalculate(bool listRows)
{
    Recalculate(m_settings, m_table, m_engine, listRows, m_result);
    return m_result;
}
