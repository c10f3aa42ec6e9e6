// The cost of what a user feels: a recalculation (R, and W for tables off the bins), a file
// read or save (F), a whole slider step with both charts replotted (S), the same step as
// the user makes it, from the slider's signal to the painted list (E), start-up (U) and a
// command-line run as a whole process (C).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSlider>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "BenchData.h"
#include "app/SettingsStore.h"
#include "engine/Recalculate.h"
#include "engine/Workspace.h"
#include "fft/Wisdom.h"
#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"
#include "ui/CalculatedValuesDialog.h"
#include "ui/MainDialog.h"

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

std::unique_ptr<Workspace> loaded(const char* name)
{
    auto ws = std::make_unique<Workspace>();
    LoadDocumentFile(dataFile(name), *ws);
    return ws;
}

void recalculate(benchmark::State& state, const char* design)
{
    const auto ws = loaded(design);
    RecalcResult result;
    Recalculate(*ws, true, result);  // the plan is made once, outside the timing
    for (auto _ : state) {
        Recalculate(*ws, true, result);
        benchmark::DoNotOptimize(result.figures.total);
    }
    state.counters["entries"] = ws->table.count();
    state.counters["samples"] = result.sampleCount;
}

void BM_R1(benchmark::State& state)
{
    recalculate(state, "r1.kvk");
}
void BM_R2(benchmark::State& state)
{
    recalculate(state, "r2.kvk");
}
void BM_R3(benchmark::State& state)
{
    recalculate(state, "r3.kvk");
}
void BM_W1(benchmark::State& state)
{
    recalculate(state, "w1.kvk");
}
void BM_W2(benchmark::State& state)
{
    recalculate(state, "w2.kvk");
}
void BM_W3(benchmark::State& state)
{
    recalculate(state, "w3.kvk");
}

void BM_F1_OpenWaveshape(benchmark::State& state)
{
    Workspace ws;
    const std::string path = dataFile("f1.kvw");
    for (auto _ : state) {
        const LoadResult result = LoadDocumentFile(path, ws);
        benchmark::DoNotOptimize(result.summary.samplesRead);
    }
}

void BM_F2_SaveWaveshape(benchmark::State& state)
{
    const auto ws = loaded("r2.kvk");
    const std::string path = (dataFolder() / "f2-out.kvw").string();
    for (auto _ : state) {
        const std::string text =
            DocumentText(DocumentKind::Waveshape, ws->settings.activeSettings, ws->table);
        const SaveResult saved = SaveFileAtomically(path, text);
        benchmark::DoNotOptimize(saved.failure);
    }
}

void noPause(int /*milliseconds*/) {}

/** A settings file with the optimisation done and the wisdom of earlier runs. */
std::unique_ptr<QtSettingsStore> preparedStore()
{
    const auto path = dataFolder() / "Korvalin.conf";
    auto store = QtSettingsStore::forFile(path.string());
    store->writeInt("Optimized", 1);
    wisdom::exportTo(*store);
    store->flush();
    return store;
}

void sliderStep(benchmark::State& state, const char* design)
{
    const auto store = preparedStore();
    MainDialog window(*store, noPause);
    window.initialise();
    window.show();
    QApplication::processEvents();
    LoadDocumentFile(dataFile(design), window.workspace());
    window.workspace().planSlot.DiscardAnalysisPlan();
    window.Recalculate();
    HarmonicTable& table = window.workspace().table;
    const HarmonicEntry first = table.entry(0);
    int step = 0;
    for (auto _ : state) {
        // What one new slider position does: update the harmonic, recalculate, replot.
        table.UpdateHarmonic(first.number, static_cast<float>((900 + (step++ % 100)) * 0.1),
                             first.phase);
        window.Recalculate();
    }
}

void BM_S1(benchmark::State& state)
{
    sliderStep(state, "r1.kvk");
}
void BM_S2(benchmark::State& state)
{
    sliderStep(state, "r2.kvk");
}
void BM_S3(benchmark::State& state)
{
    sliderStep(state, "r3.kvk");
}

/**
 * A slider step as the user makes it: the slider's signal, the harmonic updated, the
 * recalculation, both charts replotted and the visible calculated-values list repainted.
 */
void endToEnd(benchmark::State& state, const std::string& design)
{
    const auto store = preparedStore();
    MainDialog window(*store, noPause);
    window.initialise();
    window.show();
    LoadDocumentFile(design, window.workspace());
    window.workspace().planSlot.DiscardAnalysisPlan();
    window.Recalculate();
    window.ToggleCalculationsWindow();
    QApplication::processEvents();
    auto* slider = window.findChild<QSlider*>(QStringLiteral("magnitudeSlider"));
    if (!slider || !window.calculationsWindow()->isVisible()) {
        state.SkipWithError("no magnitude slider or no calculated-values list");
        return;
    }
    int step = 0;
    for (auto _ : state) {
        slider->setValue(500 + (step++ % 2));
        QApplication::processEvents();
    }
    state.counters["recalculations"] = window.recalculationCount();
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

void BM_U1_StartUp(benchmark::State& state)
{
    const auto store = preparedStore();
    for (auto _ : state) {
        auto window = std::make_unique<MainDialog>(*store, noPause);
        window->initialise();
        window->show();
        QApplication::processEvents();
        state.PauseTiming();
        window.reset();  // closing (wisdom and settings written) is not start-up
        store->writeInt("Optimized", 1);
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_R1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_R2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_R3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_W1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_W2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_W3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_F1_OpenWaveshape)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_F2_SaveWaveshape)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_S1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_S2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_S3)->Unit(benchmark::kMillisecond);
// Process CPU time: whatever Qt hands to other threads is part of the step.
BENCHMARK(BM_E1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_E2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_E3)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
// The child's CPU time, user and system, as the iteration time.
BENCHMARK(BM_C1_CliShow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_U1_StartUp)->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
