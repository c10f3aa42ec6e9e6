// The cost of what a user feels: a recalculation (R, and W for tables off the bins), a file
// read or save (F), the recalculation with a limit mask checked (M), a whole slider step with both
// charts replotted (S), the same step as the user makes it, from the slider's signal to the painted
// list (E), start-up (U), a command-line run as a whole process (C) and the mask and capture
// readers over their largest inputs (L), and planning a transform size the program has not met:
// Preferences (P) and a capture import (I).

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "BenchData.h"
#include "design/Design.h"
#include "engine/CaptureAnalysis.h"
#include "engine/LimitCheck.h"
#include "engine/Recalculate.h"
#include "engine/TimeSynthesis.h"
#include "fft/Wisdom.h"
#include "files/CaptureFile.h"
#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"
#include "files/MaskFile.h"
#include "settings/SettingsStore.h"
#include "ui/CalculatedValuesDialog.h"
#include "ui/MainWindow.h"
#include "ui/PreferencesDialog.h"

namespace {

const std::filesystem::path& dataFolder()
{
    static const std::filesystem::path folder = [] {
        const char* given = std::getenv("KORVALIN_BENCH_DATA");
        auto path = given ? std::filesystem::path(given)
                          : std::filesystem::temp_directory_path() / "korvalin-bench-data";
        std::filesystem::create_directories(path);
        writeBenchData(path.string());
        return path;
    }();
    return folder;
}

std::string dataFile(const char* name)
{
    return (dataFolder() / name).string();
}

std::unique_ptr<Design> loaded(const char* name)
{
    auto design = std::make_unique<Design>();
    design->open(dataFile(name));
    return design;
}

void recalculate(benchmark::State& state, const char* name)
{
    const auto design = loaded(name);
    design->recalculate(true);  // the plan is made once, outside the timing
    design->finishPlanning();
    for (auto _ : state) {
        benchmark::DoNotOptimize(design->recalculate(true).figures.total);
    }
    state.counters["entries"] = design->table().count();
    state.counters["samples"] = design->result().sampleCount;
}

/** A recalculation followed by the check a limit mask adds to every slider step. */
void recalculateAndCheck(benchmark::State& state, const char* name)
{
    const auto design = loaded(name);
    static_cast<void>(design->chooseMask({MaskSource::Kind::BuiltIn, "iec61000-2-2", {}, {}}));
    design->recalculate(true);
    design->finishPlanning();
    for (auto _ : state) {
        design->recalculate(true);
        benchmark::DoNotOptimize(design->limitMask().lastCheck()->passed());
    }
    state.counters["entries"] = design->table().count();
}

void BM_F1_OpenWaveshape(benchmark::State& state)
{
    Design design;
    const std::string path = dataFile("f1.kvw");
    for (auto _ : state) {
        const LoadResult result = design.open(path);
        benchmark::DoNotOptimize(result.summary.samplesRead);
    }
}

void BM_F2_SaveWaveshape(benchmark::State& state)
{
    const auto design = loaded("r2.kvk");
    const std::string path = (dataFolder() / "f2-out.kvw").string();
    for (auto _ : state) {
        const std::string text =
            documentText(DocumentKind::Waveshape, design->active(), design->table());
        const SaveResult saved = saveFileAtomically(path, text);
        benchmark::DoNotOptimize(saved.failure);
    }
}

void noPause(int /*milliseconds*/) {}

/** Starts a new peak of resident memory at the current size (Linux: clear_refs 5). */
void resetResidentPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

/** A line of /proc/self/status such as "VmHWM:", in MiB. */
double statusMiB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::strtod(line.c_str() + field.size(), nullptr) / 1024.0;
        }
    }
    return 0.0;
}

/** A settings file with the optimization done and the wisdom of earlier runs. */
std::unique_ptr<QtSettingsStore> preparedStore()
{
    const auto path = dataFolder() / "Korvalin.conf";
    auto store = QtSettingsStore::forFile(path.string());
    store->writeInt("Optimized", 1);
    // No mask left from an earlier case: the E cases without one must not check one.
    store->writeString(setting::limitMask.key, "");
    Design::storeWisdom(*store);
    store->flush();
    return store;
}

void sliderStep(benchmark::State& state, const char* design)
{
    const auto store = preparedStore();
    MainWindow window(*store, noPause);
    window.initialize();
    window.show();
    QApplication::processEvents();
    window.openFile(QString::fromStdString(dataFile(design)));
    window.design().finishPlanning();
    auto* slider = window.findChild<QSlider*>(QStringLiteral("magnitudeSlider"));
    int step = 0;
    for (auto _ : state) {
        // One new slider position: the handler updates the harmonic, recalculates, replots.
        slider->setValue(900 + (step++ % 100));
    }
}

/**
 * File > Open of a file with very many entries into the shown window, as the user opens
 * it: reading, the list, the first row selected, the recalculation and both charts.
 */
void openInWindow(benchmark::State& state, const char* design)
{
    const auto store = preparedStore();
    MainWindow window(*store, noPause);
    window.initialize();
    window.show();
    QApplication::processEvents();
    const QString path = QString::fromStdString(dataFile(design));
    state.counters["rss_before_MiB"] = statusMiB("VmRSS:");
    resetResidentPeak();
    for (auto _ : state) {
        window.openFile(path);
        QApplication::processEvents();
    }
    state.counters["entries"] = window.design().table().count();
    state.counters["peak_MiB"] = statusMiB("VmHWM:");
}

/**
 * A WAV's samples as `korvalin-cli convert --rate 384000` makes them (fundamental 50 Hz):
 * the design's synthesis set up, then state.range(0) samples in blocks of 16384 from the
 * signal's start. Items are samples: items_per_second is the synthesis rate.
 */
void wavSynthesis(benchmark::State& state, const char* design)
{
    Design loaded;
    loaded.open(std::filesystem::path(design).is_absolute() ? design : dataFile(design));
    const WaveSettings& active = loaded.active();
    const SynthesisForm form = synthesisFormOf(active);
    const std::int64_t frames = state.range(0);
    std::vector<double> block(16384);
    for (auto _ : state) {
        TimeSynthesizer synthesizer(loaded.table().entries(), form, 50.0, 384000);
        for (std::int64_t first = 0; first < frames; first += 16384) {
            const auto count =
                static_cast<std::size_t>(std::min<std::int64_t>(16384, frames - first));
            synthesizer.fill(first, std::span(block.data(), count));
            benchmark::DoNotOptimize(block.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["entries"] = loaded.table().count();
    state.counters["peak_MiB"] = statusMiB("VmHWM:");
}

/**
 * Ten slider gestures on a file with very many entries, each an undo step that holds the
 * table as it was before it: the memory the history takes.
 */
void editLargeTable(benchmark::State& state, const char* design)
{
    const auto store = preparedStore();
    MainWindow window(*store, noPause);
    window.initialize();
    window.show();
    window.openFile(QString::fromStdString(dataFile(design)));
    QApplication::processEvents();
    auto* slider = window.findChild<QSlider*>(QStringLiteral("magnitudeSlider"));
    resetResidentPeak();
    for (auto _ : state) {
        for (int gesture = 0; gesture < 10; ++gesture) {
            slider->setValue(500 + gesture % 2);
            window.design().endGesture();
        }
    }
    state.counters["peak_MiB"] = statusMiB("VmHWM:");
    state.counters["rss_MiB"] = statusMiB("VmRSS:");
}

/**
 * A slider step as the user makes it: the slider's signal, the harmonic updated, the
 * recalculation, both charts replotted and the visible calculated-values list repainted;
 * with a mask, its check, verdict line and step line too.
 */
void endToEnd(benchmark::State& state, const std::string& design, const char* mask = nullptr)
{
    const auto store = preparedStore();
    MainWindow window(*store, noPause);
    int recalculations = 0;
    QObject::connect(&window, &MainWindow::recalculated, [&recalculations] { ++recalculations; });
    window.initialize();
    if (mask) {
        MaskSource source;
        source.kind = MaskSource::Kind::BuiltIn;
        source.name = mask;
        if (const std::string error = window.design().chooseMask(source); !error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    window.show();
    window.openFile(QString::fromStdString(design));
    window.toggleCalculationsWindow();
    QApplication::processEvents();
    window.design().finishPlanning();  // no measurement beside the steps
    auto* slider = window.findChild<QSlider*>(QStringLiteral("magnitudeSlider"));
    auto* calculations = window.findChild<CalculatedValuesDialog*>();
    if (!slider || !calculations || !calculations->isVisible()) {
        state.SkipWithError("no magnitude slider or no calculated-values list");
        return;
    }
    int step = 0;
    for (auto _ : state) {
        slider->setValue(500 + (step++ % 2));
        QApplication::processEvents();
    }
    state.counters["recalculations"] = recalculations;
}

void BM_E1(benchmark::State& state)
{
    endToEnd(state, dataFile("r1.kvk"));
}
void BM_E2(benchmark::State& state)
{
    endToEnd(state, KORVALIN_EXAMPLES "/square.kvk");
}
void BM_E3(benchmark::State& state)
{
    endToEnd(state, dataFile("w1.kvk"));
}
/** E2 against the mask of the most orders. */
void BM_E4(benchmark::State& state)
{
    endToEnd(state, KORVALIN_EXAMPLES "/square.kvk", "iec61000-2-2");
}
/** E3 against the same mask. */
void BM_E5(benchmark::State& state)
{
    endToEnd(state, dataFile("w1.kvk"), "iec61000-2-2");
}

/**
 * Preferences > OK to a transform size the planner has never met, 11 cycles of points per
 * cycle: wall time from the OK to the repainted window. One at a time: the wisdom forgotten
 * and 222 or 223 points in turn, each measurement over before the next change; else one new
 * size after another while the measurements of the last ones still run.
 */
void preferencesToNewSizes(benchmark::State& state, bool oneAtATime)
{
    constexpr int kFftCycles = 11;
    constexpr int kFirstPpc = 222;
    constexpr int kSizeStep = 7;
    const auto store = preparedStore();
    MainWindow window(*store, noPause);
    window.initialize();
    window.show();
    QApplication::processEvents();
    auto* preferences = window.findChild<QAction*>(QStringLiteral("preferencesAction"));
    using Clock = std::chrono::steady_clock;
    static int unmet = 0;  // sizes no earlier repetition met either
    int step = 0;
    for (auto _ : state) {
        if (oneAtATime) {
            wisdom::forget();
        }
        Clock::time_point ok;
        const int ppc = oneAtATime ? kFirstPpc + step++ % 2 : kFirstPpc + kSizeStep * unmet++;
        QTimer::singleShot(0, [&ok, ppc] {
            auto* dialog = qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                return;
            }
            dialog->findChild<QLineEdit*>(QStringLiteral("fftCyclesEdit"))
                ->setText(QString::number(kFftCycles));
            dialog->findChild<QLineEdit*>(QStringLiteral("samplesPerCycleEdit"))
                ->setText(QString::number(ppc));
            ok = Clock::now();
            dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        preferences->trigger();
        QApplication::processEvents();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - ok).count());
        if (oneAtATime) {
            window.design().finishPlanning();
        }
    }
    state.counters["fftSize"] = window.design().result().fftSize;
}

void BM_P1_PreferencesNewSize(benchmark::State& state)
{
    preferencesToNewSizes(state, true);
}
/** P1 without waiting: a measurement under way holds no one up. */
void BM_P2_PreferencesNewSizesInARow(benchmark::State& state)
{
    preferencesToNewSizes(state, false);
}

/**
 * Import Capture of a second of mains at 48 kHz, a transform size the planner has never met:
 * reading, analysis, the design replaced and recalculated as the window does it.
 */
void BM_I1_ImportCapture(benchmark::State& state)
{
    const std::string path = dataFile("pq.csv");
    Design design;
    design.start();
    design.recalculate(true);
    for (auto _ : state) {
        state.PauseTiming();
        design.finishPlanning();
        wisdom::forget();
        state.ResumeTiming();
        CaptureReading reading = readCapture(path, {});
        const Outcome<CaptureAnalysis> analysis = analyzeCapture(*reading.capture, {});
        design.importCapture(*analysis.value, path);
        benchmark::DoNotOptimize(design.recalculate(true).figures.total);
    }
    state.counters["fftSize"] = design.result().fftSize;
}

/** CPU time (user and system) of one run of a program to its end, its output discarded. */
double childCpuSeconds(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return -1.0;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1.0;
    }
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_C1_CliShow(benchmark::State& state)
{
    const std::string cli =
        (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "cli" /
         "korvalin-cli")
            .string();
    const std::string design = dataFile("r3.kvk");
    for (auto _ : state) {
        const double cpu = childCpuSeconds({cli, "show", "--json", design});
        if (cpu < 0.0) {
            state.SkipWithError("korvalin-cli show failed");
            return;
        }
        state.SetIterationTime(cpu);
    }
}

/**
 * A reader over its largest input (L): CPU time, and the whole process's peak resident memory
 * while it reads (what earlier cases left resident included, so an upper bound).
 */
template <typename Read>
void readLargest(benchmark::State& state, const char* name, Read read)
{
    const std::string path = dataFile(name);
    for (auto _ : state) {
        resetResidentPeak();
        benchmark::DoNotOptimize(read(path));
        state.counters["peak_MiB"] = statusMiB("VmHWM:");
    }
}

void BM_L1_ReadLargestMask(benchmark::State& state)
{
    readLargest(state, "m64.csv", [](const std::string& path) {
        const MaskChoice choice = readMaskFile(path);
        return choice.mask ? choice.mask->orders.size() : 0;
    });
}

void BM_L2_ReadLargestCapture(benchmark::State& state)
{
    readLargest(state, "c64.csv", [](const std::string& path) {
        const CaptureReading reading = readCapture(path, {});
        return reading.capture ? reading.capture->samples.size() : 0;
    });
}

void BM_U1_StartUp(benchmark::State& state)
{
    const auto store = preparedStore();
    for (auto _ : state) {
        auto window = std::make_unique<MainWindow>(*store, noPause);
        window->initialize();
        window->show();
        QApplication::processEvents();
        state.PauseTiming();
        window.reset();  // closing (wisdom and settings written) is not start-up
        store->writeInt("Optimized", 1);
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK_CAPTURE(recalculate, R1, "r1.kvk")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(recalculate, R2, "r2.kvk")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(recalculate, R3, "r3.kvk")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(recalculate, W1, "w1.kvk")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(recalculate, W2, "w2.kvk")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(recalculate, W3, "w3.kvk")->Unit(benchmark::kMicrosecond);
// One second of 384 kHz each: a minute takes 60 times as long.
BENCHMARK_CAPTURE(wavSynthesis, V1, KORVALIN_EXAMPLES "/square.kvk")
    ->Arg(384000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(wavSynthesis, V2, "w1.kvk")->Arg(384000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(wavSynthesis, V3, "f6.kvk")
    ->Arg(384000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(recalculateAndCheck, M1, "r1.kvk")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(recalculateAndCheck, M3, "r3.kvk")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_F1_OpenWaveshape)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_F2_SaveWaveshape)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openInWindow, F3, "f3.kvk")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(openInWindow, F4, "f4.kvk")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(editLargeTable, F4, "f4.kvk")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(sliderStep, S1, "r1.kvk")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(sliderStep, S2, "r2.kvk")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(sliderStep, S3, "r3.kvk")->Unit(benchmark::kMillisecond);
// Process CPU time: whatever Qt hands to other threads is part of the step.
BENCHMARK(BM_L1_ReadLargestMask)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_L2_ReadLargestCapture)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_E1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_E2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_E3)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_E4)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_E5)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
// The child's CPU time, user and system, as the iteration time.
BENCHMARK(BM_C1_CliShow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_U1_StartUp)->Unit(benchmark::kMillisecond)->Iterations(20);
// Wall time: what the user waits for, whichever thread spends it.
BENCHMARK(BM_P1_PreferencesNewSize)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_P2_PreferencesNewSizesInARow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(6);
BENCHMARK(BM_I1_ImportCapture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
