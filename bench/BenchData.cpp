#include "BenchData.h"

#include <cmath>
#include <cstdint>
#include <fstream>

#include "engine/NumberText.h"
#include "engine/Synthesis.h"
#include "engine/Workspace.h"
#include "files/CoefficientFile.h"
#include "files/WaveshapeFile.h"

namespace {

/** A small deterministic generator, so every run and the peer see the same designs. */
class Lcg {
public:
    double next()  // uniform in [0, 1)
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(m_state >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    std::uint64_t m_state = 0x4b6f7276616c696eULL;
};

WaveSettings denseSettings(int fftCycles = 12, float ppc = 512.0F)
{
    WaveSettings s;
    s.ppc = ppc;
    s.displayCycles = 12;
    s.fftCycles = fftCycles;
    return s;
}

void write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

void writeBenchData(const std::string& folder)
{
    Lcg random;
    {
        HarmonicTable table;
        table.AddHarmonic(1.0F, 100.0F, 0);
        write(folder + "/r1.kvk", WriteCoefficientFile(WaveSettings{}, table));
    }
    {
        HarmonicTable table;
        table.setSlotsPerHarmonic(slotsPerHarmonicFor(512.0F));
        table.AddHarmonic(1.0F, 100.0F, 0);
        for (int n = 2; n <= 51; ++n) {
            const auto magnitude = static_cast<float>(1.0 + 9.0 * random.next());
            const int phase = static_cast<int>(std::floor(random.next() * 361.0)) - 180;
            table.AddHarmonic(static_cast<float>(n), magnitude, phase);
        }
        write(folder + "/r2.kvk", WriteCoefficientFile(denseSettings(), table));
    }
    // What opening a noisy waveshape gives: one entry per bin of the analysis window.
    // Estimated plans: measured ones are picked by timing and could move a last digit.
    const auto analysed = [&](const WaveSettings& settings, const char* name) {
        Workspace ws(PlanRigor::Estimate);
        ws.settings.activeSettings = settings;
        ws.UpdateSlotsPerHarmonic();
        for (std::size_t i = 0; i < 6144; ++i) {
            ws.samples[i] = 100.0 * std::cos(2.0 * pi() * static_cast<double>(i) /
                                             static_cast<double>(settings.ppc)) +
                            40.0 * (random.next() - 0.5);
        }
        AnalyseWaveshape(ws);
        write(folder + name, WriteCoefficientFile(ws.settings.activeSettings, ws.table));
    };
    analysed(denseSettings(), "/r3.kvk");
    {
        std::string text = ":1 12 1 1 128.000000\r\n";
        for (int line = 0; line < 65536 / 4; ++line) {
            for (int column = 0; column < 4; ++column) {
                if (column > 0) {
                    text += ", ";
                }
                const int i = line * 4 + column;
                appendFixed(text,
                            100.0 * std::cos(2.0 * pi() * i / 128.0) + 10.0 * (random.next() - 0.5),
                            11, 6);
            }
            text += "\r\n";
        }
        write(folder + "/f1.kvw", text);
    }
    {
        HarmonicTable table;
        table.setSlotsPerHarmonic(slotsPerHarmonicFor(512.0F));
        table.AddHarmonic(1.0F, 100.0F, 0);
        for (int e = 0; e < 3000; ++e) {
            const auto number = static_cast<float>(1.0 + 254.0 * random.next());
            const auto magnitude = static_cast<float>(0.01 + 10.0 * random.next());
            const int phase = static_cast<int>(std::floor(random.next() * 361.0)) - 180;
            table.AddHarmonic(number, magnitude, phase);
        }
        write(folder + "/w1.kvk", WriteCoefficientFile(denseSettings(), table));
    }
    analysed(denseSettings(11), "/w2.kvk");
    analysed(denseSettings(12, 511.9F), "/w3.kvk");
}
