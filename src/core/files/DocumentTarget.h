#pragma once

#include "fft/AnalysisPlan.h"
#include "settings/WaveSettings.h"

class FftBuffer;
class HarmonicTable;

/**
 * What a document being read changes: the design implements it, so that a settings line
 * takes effect through the same path as every other settings change.
 */
class DocumentTarget {
public:
    [[nodiscard]] virtual const WaveSettings& activeSettings() const = 0;
    /**
     * A settings line was read: the slot limit and the plan follow the new settings.
     * Returns false (and changes nothing) for settings outside the limits.
     */
    virtual bool takeActiveSettings(const WaveSettings& settings) = 0;
    [[nodiscard]] virtual HarmonicTable& harmonics() = 0;
    [[nodiscard]] virtual FftBuffer& sampleBuffer() = 0;
    /** The one-shot forward in-place plan of n points for a waveshape analysis. */
    [[nodiscard]] virtual FftPlan waveshapePlan(int n) = 0;

protected:
    ~DocumentTarget() = default;
};
