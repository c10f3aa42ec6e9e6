#pragma once

#include <optional>
#include <string>

#include "engine/CheckMeasurement.h"
#include "engine/LimitCheck.h"
#include "engine/LimitTables.h"
#include "settings/SettingsRegistry.h"
#include "settings/WaveSettings.h"

class SettingsStore;
struct RecalcResult;

/** Which limit mask a user chose: none, a built-in one by name, or a mask file. */
struct MaskSource {
    enum class Kind { None, BuiltIn, File };
    Kind kind = Kind::None;
    std::string name;           ///< a built-in mask's name ("en50160")
    MaskParameters parameters;  ///< what a built-in mask needs (I1 in A, ...)
    std::string path;           ///< the mask file

    bool operator==(const MaskSource&) const = default;
};

/**
 * The limit mask a design is checked against after every recalculation, as chosen and as
 * the settings keep it.
 */
class MaskSelection {
public:
    explicit MaskSelection(PlanRigor rigor = PlanRigor::Measure) : m_meter(rigor) {}

    /**
     * Takes source when its mask can be had (read, or scaled by its I1); otherwise the mask
     * stays as it was and the reason is returned.
     */
    [[nodiscard]] std::string choose(const MaskSource& source);
    /** The same with source's mask as read elsewhere (a file read off the window's thread). */
    [[nodiscard]] std::string choose(const MaskSource& source, MaskChoice read);
    /**
     * The stored choice; one whose mask cannot be had any more is none. A mask file, which may
     * be large, is not read here: its choice awaits the file until choose() takes it.
     */
    void load(const SettingsStore& store);
    void store(SettingsStore& store) const;

    [[nodiscard]] const MaskSource& source() const { return m_source; }
    [[nodiscard]] const std::optional<LimitMask>& mask() const { return m_mask; }
    /** Whether the choice is a mask file that load() left unread. */
    [[nodiscard]] bool awaitsFile() const
    {
        return m_source.kind == MaskSource::Kind::File && !m_mask;
    }
    /** How checks measure the design: as IEC 61000-4-7 does (the default), or as displayed. */
    void setMeasure(CheckMeasure measure) { m_measure = measure; }
    [[nodiscard]] CheckMeasure measure() const { return m_measure; }
    /**
     * Checks the design after a recalculation (displayed: its result) against the mask;
     * without a mask or an analysis there is no check.
     */
    void check(std::span<const HarmonicEntry> entries, const WaveSettings& active,
               const RecalcResult& displayed);
    /**
     * The same against any mask and measured as asked, for a check asked for once; the
     * supply's fundamental in Hz, where given, sets IEC 61000-4-7's window (else 60 Hz where
     * the design's numbers read so, 50 Hz otherwise).
     */
    [[nodiscard]] MaskCheck checkAgainst(const LimitMask& mask, CheckMeasure measure,
                                         std::span<const HarmonicEntry> entries,
                                         const WaveSettings& active, const RecalcResult& displayed,
                                         std::optional<double> supplyHz = std::nullopt) const;
    /** The check of the last recalculation. */
    [[nodiscard]] const std::optional<MaskCheck>& lastCheck() const { return m_check; }

    /** Waits until the check's transform plan is measured, if it is being measured. */
    void finishPlanning() { m_meter.finishPlanning(); }

private:
    MaskSource m_source;
    std::optional<LimitMask> m_mask;
    std::optional<MaskCheck> m_check;
    CheckMeasure m_measure = CheckMeasure::Iec;
    // The meter's plan and buffers, and the last measurement, are kept for the next check.
    mutable IecMeter m_meter;
    mutable CheckMeasurement m_measured;
};
