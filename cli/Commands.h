#pragma once

struct CliRequest;
struct CliStreams;

/** The commands, each from a usable request; each returns the exit status. */
int runShow(const CliRequest& request, const CliStreams& streams);
int runCheck(const CliRequest& request, const CliStreams& streams);
int runConvert(const CliRequest& request, const CliStreams& streams);
int runNew(const CliRequest& request, const CliStreams& streams);
int runSpectrum(const CliRequest& request, const CliStreams& streams);
int runPlot(const CliRequest& request, const CliStreams& streams);
int runAnalyze(const CliRequest& request, const CliStreams& streams);
/** analyse --all-windows: a long recording, window by window. */
int runRecording(const CliRequest& request, const CliStreams& streams);
