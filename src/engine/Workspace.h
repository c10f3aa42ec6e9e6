#pragma once

#include "app/WaveSettings.h"
#include "engine/HarmonicTable.h"
#include "engine/Synthesis.h"
#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"

class SettingsStore;

/**
 * The design in force and what works on it: both settings copies, the harmonic table,
 * the analysis plan slot, the sample buffer and the synthesis with its own transform. The main window owns one; so does each
 * command-line run.
 */
class Workspace {
public:
    explicit Workspace(PlanRigor rigor = PlanRigor::Measure) : planSlot(rigor) {}

    SettingsModel settings;
    HarmonicTable table;
    AnalysisPlanSlot planSlot;
    SampleBuffer samples;
    Synthesizer synthesizer;

    /** LoadSettings of the model; the table takes the display mode's multiplier. */
    void LoadSettings(const SettingsStore& store);
    /** ApplyDisplayMode of the model, then RelabelNumberColumn of the table. */
    void ApplyDisplayMode(int harmIndex);
    /** slotsPerHarmonic = trunc(65536 / active ppc). */
    void UpdateSlotsPerHarmonic();
};
