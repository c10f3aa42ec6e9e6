#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "AnalyzeOptions.h"
#include "WavWriter.h"
#include "design/Presets.h"
#include "engine/CheckMeasurement.h"
#include "engine/LimitTables.h"
#include "files/InstrumentExport.h"
#include "settings/WaveSettings.h"

/** Settings the command line puts in force; each one is optional. */
struct SettingOverrides {
    std::optional<float> ppc;
    std::optional<int> displayCycles;
    std::optional<int> fftCycles;
    std::optional<int> cosine;
    std::optional<int> phaseReference;

    /** Applies every given override to the settings. */
    void applyTo(WaveSettings& settings) const;
};

/** A --harmonic N:MAG:PHASE as written; its ranges are checked against the design. */
struct HarmonicOption {
    QString text;
    float number = 0.0F;
    float magnitude = 0.0F;
    int phase = 0;
};

/** --fundamental's bounds and default, for a .wav without --rate and for --rate's synthesis. */
inline constexpr double kMinFundamentalHz = 0.1;
inline constexpr double kMaxFundamentalHz = 10000.0;
inline constexpr double kDefaultFundamentalHz = 50.0;

/** --size's bounds and default, in pixels. */
inline constexpr int kMinPictureWidth = 200;
inline constexpr int kMinPictureHeight = 150;
inline constexpr int kMaxPictureSide = 8000;
inline constexpr int kDefaultPictureWidth = 1000;
inline constexpr int kDefaultPictureHeight = 700;

/** The name standard input and output go by in place of a file. */
inline const QString kStandardStream = QStringLiteral("-");

/** A parsed command line, or the one-line reason it is not usable. */
struct CliRequest {
    QString command;  ///< "show", "check", "convert", "new", "spectrum", "plot"; or empty
    QStringList files;
    std::optional<Preset> preset;
    int order = kDefaultPresetOrder;
    std::vector<HarmonicOption> harmonics;
    QString format;  ///< what "-" holds: kvk, kvw, csv (and for outputs wav, png, svg, pdf)
    WavOptions wav;
    std::optional<WaveformExport> waveform;  ///< --points: the waveform for an instrument
    std::optional<TableExport> table;        ///< --table: the harmonic table
    SettingOverrides overrides;
    bool json = false;
    bool force = false;             ///< replace a write-protected OUT
    QString limits;                 ///< check's mask: a built-in name or a mask file
    MaskParameters maskParameters;  ///< what a built-in mask needs
    CheckMeasure measure = CheckMeasure::Iec;
    bool listMasks = false;  ///< check --list
    double fundamentalHz = kDefaultFundamentalHz;
    int width = kDefaultPictureWidth;
    int height = kDefaultPictureHeight;
    AnalyzeOptions analyze;  ///< analyse's options
    bool help = false;
    bool version = false;
    QString usageError;  ///< non-empty: print it and exit 2
};

/** Parses arguments (program name first) with Qt's command-line parser and checks limits. */
[[nodiscard]] CliRequest parseCommandLine(const QStringList& arguments);

/** The files the command reads, in argument order ("-": standard input). */
[[nodiscard]] QStringList inputsOf(const CliRequest& request);
/** The file the command writes ("-": standard output, also spectrum's without OUT); or empty. */
[[nodiscard]] QString outputOf(const CliRequest& request);
/** What the output is: --format for "-", else its extension in lower case ("kvk", "wav"). */
[[nodiscard]] QString outputFormat(const CliRequest& request);

/** The help text: of the whole tool, or of one command. */
[[nodiscard]] QString helpText(const QString& command);
