#pragma once

#include <optional>
#include <string>

#include "engine/LimitMask.h"

class SettingsStore;

/** Which limit mask a user chose: none, a built-in one by name, or a mask file. */
struct MaskSource {
    enum class Kind { None, BuiltIn, File };
    Kind kind = Kind::None;
    std::string name;                      ///< a built-in mask's name ("en50160")
    std::optional<double> fundamentalRms;  ///< I1 in A, for a mask in amperes
    std::string path;                      ///< the mask file

    bool operator==(const MaskSource&) const = default;
};

namespace settings_names {
/** "" (none), a built-in mask's name, or "file" for the mask file below. */
inline constexpr std::string_view limitMask = "Limit Mask";
inline constexpr std::string_view limitMaskCurrent = "Limit Mask Current";
inline constexpr std::string_view limitMaskFile = "Limit Mask File";
}  // namespace settings_names

/**
 * The limit mask a design is checked against after every recalculation, as chosen and as
 * the settings keep it.
 */
class MaskSelection {
public:
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
    /** Checks an analysed spectrum; without a mask or a spectrum there is no check. */
    void check(const std::vector<double>& spectrum, int fftCycles);
    /** The check of the last recalculation. */
    [[nodiscard]] const std::optional<MaskCheck>& lastCheck() const { return m_check; }

private:
    MaskSource m_source;
    std::optional<LimitMask> m_mask;
    std::optional<MaskCheck> m_check;
};
