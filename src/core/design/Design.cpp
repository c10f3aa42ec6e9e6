#include "design/Design.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <new>

#include "fft/Optimize.h"
#include "fft/Wisdom.h"
#include "files/SameFile.h"
#include "files/WaveshapeFile.h"
#include "numbers/Arithmetic.h"
#include "numbers/NumberText.h"
#include "settings/SettingsRegistry.h"
#include "settings/SettingsStore.h"

Design::Design(PlanRigor rigor) : m_engine(rigor), m_mask(rigor)
{
    m_table.setSlotsPerHarmonic(slotsPerHarmonicFor(active().ppc));
}

void Design::loadSettings(const SettingsStore& store)
{
    m_settings.loadSettings(store);
    m_settings.preferences = m_settings.activeSettings = withinLimits(m_settings.preferences);
    m_table.relabelNumberColumn(m_settings.frequencyMultiplier());
    m_table.setSlotsPerHarmonic(slotsPerHarmonicFor(active().ppc));
    discardPlan();
    m_mask.load(store);
}

namespace {

/** Undo and redo put back a table, its selection and perhaps its settings. */
constexpr unsigned kReplacement =
    DesignChanges::Table | DesignChanges::Settings | DesignChanges::Replaced;
constexpr unsigned kNewDocument = kReplacement | DesignChanges::Document;

}  // namespace

void Design::notify(unsigned changes) const
{
    if (m_listener) {
        m_listener(DesignChanges{changes});
    }
}

void Design::storeSettings(SettingsStore& store) const
{
    m_settings.storeSettings(store);
    m_mask.store(store);
}

void Design::loadWisdom(const SettingsStore& store)
{
    wisdom::importText(readSetting(store, setting::wisdom));
}

void Design::storeWisdom(SettingsStore& store)
{
    writeSetting(store, setting::wisdom, wisdom::exportText());
}

bool Design::takeActiveSettings(const WaveSettings& settings)
{
    if (!isAcceptedForm(settings)) {
        return false;
    }
    setActive(settings);
    return true;
}

void Design::setActive(const WaveSettings& settings)
{
    const bool displayChanged = settings.displayMode != active().displayMode;
    m_settings.activeSettings = settings;
    if (displayChanged) {
        m_settings.applyDisplayMode(settings.displayMode);
        m_table.relabelNumberColumn(m_settings.frequencyMultiplier());
    }
    m_table.setSlotsPerHarmonic(slotsPerHarmonicFor(settings.ppc));
    discardPlan();
}

namespace {

/** The first of the Preferences fields, in the dialog's order, that breaks its limits. */
std::optional<EntryRefusal> preferencesRefusal(const WaveSettings& entered)
{
    if (auto refusal = refusalOutside(EntryField::FftCycles, kCyclesRange, entered.fftCycles)) {
        return refusal;
    }
    if (auto refusal =
            refusalOutside(EntryField::DisplayCycles, kCyclesRange, entered.displayCycles)) {
        return refusal;
    }
    return refusalOutside(EntryField::Ppc, kEnteredPpcRange, entered.ppc);
}

/** The first of magnitude and phase that breaks its limits. */
std::optional<EntryRefusal> valueRefusal(float magnitude, int phase)
{
    if (auto refusal = refusalOutside(EntryField::Magnitude, kMagnitudeRange, magnitude)) {
        return refusal;
    }
    return refusalOutside(EntryField::Phase, kPhaseRange, phase);
}

}  // namespace

PreferencesCheck Design::applyPreferences(const WaveSettings& entered)
{
    if (auto refusal = preferencesRefusal(entered)) {
        return {refusal, false};
    }
    WaveSettings& persisted = m_settings.preferences;
    WaveSettings next = active();
    const bool displayChanged = entered.displayMode != next.displayMode;
    if (displayChanged) {
        persisted.displayMode = next.displayMode = entered.displayMode;
    }
    persisted.displayCycles = next.displayCycles = entered.displayCycles;
    persisted.fftCycles = next.fftCycles = entered.fftCycles;
    // Compared with the working copy: a value a file set reaches the persisted copy only
    // when the user picks a different one.
    if (entered.basis != next.basis) {
        persisted.basis = next.basis = entered.basis;
    }
    if (entered.phaseReference != next.phaseReference) {
        persisted.phaseReference = next.phaseReference = entered.phaseReference;
    }
    if (entered.ppc != next.ppc) {
        persisted.ppc = next.ppc = entered.ppc;
    }
    setActive(next);
    notify(DesignChanges::Settings);
    return {std::nullopt, displayChanged};
}

namespace {

/** Whether the table (in number order) holds number. */
bool holds(const std::vector<HarmonicEntry>& entries, float number)
{
    const auto at = std::lower_bound(
        entries.begin(), entries.end(), number,
        [](const HarmonicEntry& entry, float wanted) { return entry.number < wanted; });
    return at != entries.end() && at->number == number;
}

/** The first multiple of step not in entries, counting on from start to bound, then from 0. */
std::optional<float> nextFree(const std::vector<HarmonicEntry>& entries, double start, double bound,
                              double step)
{
    const auto steps = static_cast<long>(std::floor(bound / step)) + 1;
    const auto first = std::clamp(static_cast<long>(std::ceil(start / step)), 0L, steps);
    for (long k = 0; k < steps; ++k) {
        const auto number = static_cast<float>(static_cast<double>((first + k) % steps) * step);
        if (!holds(entries, number)) {
            return number;
        }
    }
    return std::nullopt;
}

}  // namespace

EntryRange<float> Design::numberRange() const
{
    return {kMinHarmonicNumber, static_cast<float>(largestHarmonicNumber(active().ppc))};
}

AddProposal Design::addProposal() const
{
    const double limit = largestHarmonicNumber(active().ppc);
    const double last = m_table.lastAddedNumber();
    AddProposal proposal;
    // Written so that an unordered comparison also proposes 2.
    proposal.number = limit - 2.0 >= last ? static_cast<float>(std::floor(last + 2.0)) : 2.0F;
    const double slot = 1.0 / static_cast<double>(m_table.slotsPerHarmonic());
    for (double step = 1.0; step >= slot; step /= 2.0) {
        if (const std::optional<float> free =
                nextFree(m_table.entries(), proposal.number, limit, step)) {
            proposal.number = *free;
            break;
        }
    }
    return proposal;
}

namespace {

std::string harmonicName(const char* what, float number)
{
    return std::string(what) + " Harmonic " + formatFixed(static_cast<double>(number), 2);
}

}  // namespace

DesignSnapshot Design::snapshot() const
{
    return DesignSnapshot{m_table.entries(), m_table.selectedRow(), m_table.selectedNumber(),
                          m_table.lastAddedNumber(), active()};
}

DesignSnapshot Design::takeSnapshot()
{
    DesignSnapshot state{
        {}, m_table.selectedRow(), m_table.selectedNumber(), m_table.lastAddedNumber(), active()};
    state.entries = m_table.takeEntries();
    return state;
}

void Design::record(std::string name, bool mergeable)
{
    m_history.record(
        std::move(name), [this] { return snapshot(); }, mergeable);
}

void Design::restore(Restoration restoration)
{
    DesignSnapshot& state = restoration.state;
    if (restoration.settings) {
        state.active.displayMode = active().displayMode;  // the display mode is no design
        setActive(state.active);
    }
    m_table.restore(std::move(state.entries), state.selectedRow, state.selectedNumber,
                    state.lastAddedNumber);
}

bool Design::undo()
{
    if (!m_history.canUndo()) {
        return false;
    }
    restore(m_history.undo(takeSnapshot()));
    notify(kReplacement);
    return true;
}

bool Design::redo()
{
    if (!m_history.canRedo()) {
        return false;
    }
    restore(m_history.redo(takeSnapshot()));
    notify(kReplacement);
    return true;
}

EntryCheck Design::add(float number, float magnitude, int phase)
{
    // As the Add dialog compares: the single-precision values against their bounds.
    if (auto refusal = refusalOutside(EntryField::Number, numberRange(), number)) {
        return {refusal};
    }
    if (auto refusal = valueRefusal(magnitude, phase)) {
        return {refusal};
    }
    if (m_table.findHarmonic(number)) {
        return {EntryRefusal{EntryField::Number, 0.0, 0.0, true}};
    }
    record(harmonicName("Add", number));
    m_table.addHarmonic(number, magnitude, phase);
    notify(DesignChanges::Table);
    return {};
}

std::optional<HarmonicEntry> Design::selectedEntry() const
{
    const int row = m_table.selectedRow();
    if (row < 0) {
        return std::nullopt;
    }
    return m_table.entry(row);  // its number is selectedNumber, which the edits go to
}

EntryCheck Design::editSelected(float magnitude, int phase)
{
    if (auto refusal = valueRefusal(magnitude, phase)) {
        return {refusal};
    }
    if (selectedEntry()) {
        record(harmonicName("Edit", m_table.selectedNumber()));
        m_table.updateHarmonic(m_table.selectedNumber(), magnitude, phase);
        notify(DesignChanges::Table);
    }
    return {};
}

void Design::moveSlider(Slider slider, float magnitude, int phase)
{
    if (!selectedEntry()) {
        return;
    }
    const float number = m_table.selectedNumber();
    record((slider == Slider::Magnitude ? "Magnitude of Harmonic " : "Phase of Harmonic ") +
               formatFixed(static_cast<double>(number), 2),
           true);
    m_table.updateHarmonic(number, magnitude, phase);
    notify(DesignChanges::Table);
}

std::optional<HarmonicEntry> Design::deleteSelected()
{
    const int row = m_table.selectedRow();
    if (row < 0) {
        return std::nullopt;
    }
    record(harmonicName("Delete", m_table.entry(row).number));
    m_table.removeRow(row);
    std::optional<HarmonicEntry> entry;
    if (m_table.count() > 0) {
        const int next = row > 0 ? row - 1 : 0;
        m_table.selectRow(next);
        entry = m_table.entry(next);
        m_table.setSelectedNumber(entry->number);
    }
    notify(DesignChanges::Table);
    return entry;
}

std::optional<HarmonicEntry> Design::selectRow(int row)
{
    // No row highlighted, or the selected one again: the sliders keep their harmonic.
    if (row < 0 || row >= m_table.count() ||
        m_table.entry(row).number == m_table.selectedNumber()) {
        m_table.selectRow(row);
        return std::nullopt;
    }
    return m_table.makeCurrent(row);
}

void Design::putFundamental()
{
    WaveSettings next = m_settings.preferences;
    next.displayMode = active().displayMode;  // the display mode is not part of a design
    setActive(next);
    m_table.clearHarmonics();
    m_table.addHarmonic(kFundamental.number, kFundamental.magnitude, kFundamental.phase);
}

void Design::clearTable()
{
    record("Clear Harmonics");
    m_table.clearHarmonics();
    notify(DesignChanges::Table);
}

void Design::start()
{
    putFundamental();
    m_history.clear();
}

void Design::recordReplacement(const char* name, const std::string& fileName,
                               const std::function<void()>& replace, bool saved)
{
    const WaveSettings before = active();
    // The table is about to be replaced: its entries move into the step, a large table
    // would otherwise be copied for nothing.
    m_history.record(name, [this] { return takeSnapshot(); });
    replace();
    if (active() != before) {
        m_history.markSettingsChanged();
    }
    m_history.beginDocument(fileName, saved);
}

void Design::newDesign()
{
    recordReplacement("New", {}, [this] { putFundamental(); });
    notify(kNewDocument);
}

ReadSummary Design::openReading(const std::string& fileName,
                                const std::function<ReadSummary()>& read)
{
    ReadSummary summary;
    recordReplacement("Open", fileName, [&] {
        try {
            summary = read();
        } catch (const std::bad_alloc&) {  // a file within the cap may still not fit
            summary.failure = kNoMemoryToRead;
        }
    });
    if (!summary.failure.empty()) {
        restore(m_history.withdraw());
    } else {
        notify(kNewDocument);
    }
    return summary;
}

ReadSummary Design::open(OpenedDocument& document, const std::string& fileName)
{
    return openReading(fileName,
                       [&] { return loadDocument(*document.file, document.kind, *this); });
}

LoadResult Design::open(const std::string& path)
{
    OpenedDocument document = openDocumentFile(path);
    LoadResult result;
    result.opened = document.opened();
    result.error = document.error;
    if (result.opened) {
        result.summary = open(document, path);
        result.opened = result.summary.failure.empty();
        result.error = result.summary.failure;
    }
    return result;
}

ReadSummary Design::open(std::istream& in, DocumentKind kind)
{
    return openReading({}, [&] { return loadDocument(in, kind, *this); });
}

std::size_t Design::openSamples(const std::function<std::size_t(FftBuffer&)>& fill)
{
    m_history.record("Open", [this] { return takeSnapshot(); });  // the table is emptied
    m_history.beginDocument({});
    m_engine.samples.fill(0.0);
    const std::size_t count = fill(m_engine.samples);
    analyzeWaveshape(*this);
    finishLoading(*this);
    notify(kNewDocument);
    return count;
}

std::size_t Design::importCapture(const CaptureAnalysis& analysis, const std::string& name,
                                  double noiseFloor)
{
    std::size_t beyond = 0;
    const auto replace = [&] {
        WaveSettings next = active();
        next.fftCycles = analysis.cycles;
        next.ppc = std::min(static_cast<float>(analysis.pointsPerCycle), kEnteredPpcRange.maximum);
        next.basis = WaveBasis::Cosine;
        next.phaseReference = PhaseReference::Harmonic;
        setActive(next);
        m_table.clearHarmonics();
        {
            const HarmonicTable::BulkLoad bulk(m_table);
            for (const CaptureLine& line : analysis.lines) {
                if (line.magnitude < noiseFloor) {
                    continue;
                }
                const auto number = static_cast<float>(line.order);
                if (!m_table.isWithinSlotLimit(number)) {
                    ++beyond;
                    continue;
                }
                m_table.addHarmonic(number, static_cast<float>(line.magnitude),
                                    roundHalfAway(line.phase));
            }
        }
        finishLoading(*this);
    };
    recordReplacement("Import Capture", name, replace, false);
    notify(kNewDocument);
    return beyond;
}

bool Design::runFirstRunOptimization(SettingsStore& store, OptimizeProgress& progress)
{
    if (!store.keepsValues() || readSetting(store, setting::optimized) != 0) {
        return false;
    }
    discardPlan();
    optimizePlans(m_engine.planSlot, progress);
    writeSetting(store, setting::optimized, 1);
    store.flush();
    return true;
}

PlanRigor Design::planRigorFor(const SettingsStore& store)
{
    return store.keepsValues() ? PlanRigor::Measure : PlanRigor::Estimate;
}

void Design::reoptimize(OptimizeProgress& progress)
{
    reoptimizePlans(m_engine.planSlot, progress);
}

const RecalcResult& Design::recalculate(bool listRows)
{
    if (isAcceptedForm(active())) {
        recalculateInto(m_settings, m_table, m_engine, listRows, m_result);
    } else {
        m_result = RecalcResult{};  // settings set around the limits must not overrun the buffer
    }
    m_mask.check(m_table.entries(), active(), m_result);
    return m_result;
}

SaveResult Design::exportWaveform(const std::string& path, const WaveformExport& request) const
{
    const bool readsBack = isAcceptedForm(exportedSettings(active(), request));
    return saveWaveform(path, m_table.entries(), active(), request,
                        readsBack ? ExportComment::Settings : ExportComment::Layout);
}

std::string Design::aliasingRefusal(int points) const
{
    return ::aliasingRefusal(m_table.entries(), points);
}

SaveResult Design::exportTable(const std::string& path, const TableExport& request) const
{
    return saveHarmonicTable(path, m_table.entries(), synthesisFormOf(active()), request);
}

std::string Design::chooseMask(const MaskSource& source)
{
    std::string refusal = m_mask.choose(source);
    if (refusal.empty()) {
        notify(DesignChanges::Mask);
    }
    return refusal;
}

std::string Design::chooseMask(const MaskSource& source, MaskChoice read)
{
    std::string refusal = m_mask.choose(source, std::move(read));
    if (refusal.empty()) {
        notify(DesignChanges::Mask);
    }
    return refusal;
}

std::string Design::outputRefusal(const std::string& path) const
{
    const MaskSource& mask = m_mask.source();
    if (mask.kind != MaskSource::Kind::File) {
        return {};
    }
    const std::string inputs[] = {mask.path};
    return sameFileRefusal(path, inputs);
}
