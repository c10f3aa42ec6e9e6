#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "app/WaveSettings.h"

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

/** A parsed command line, or the one-line reason it is not usable. */
struct CliRequest {
    QString command;  ///< "show", "convert", "plot"; empty with --help or --version alone
    QStringList files;
    SettingOverrides overrides;
    bool json = false;
    bool force = false;  ///< replace a write-protected OUT
    double fundamentalHz = 50.0;
    int width = 1000;
    int height = 700;
    bool help = false;
    bool version = false;
    QString usageError;  ///< non-empty: print it and exit 2
};

/** Parses arguments (program name first) with Qt's command-line parser and checks limits. */
[[nodiscard]] CliRequest parseCommandLine(const QStringList& arguments);

/** The help text: of the whole tool, or of one command. */
[[nodiscard]] QString helpText(const QString& command);
