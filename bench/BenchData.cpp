#include "BenchData.h"

#include <cmath>
#include <cstdint>
#include <fstream>

#include "design/Design.h"
#include "engine/NumberText.h"
#include "engine/Synthesis.h"
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

WaveSettings denseSettings()
{
    WaveSettings s;
    s.ppc = 512.0F;
    s.displayCycles = 12;
    s.fftCycles = 12;
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
        Design design;
        design.start();
        write(folder + "/r1.kvk", WriteCoefficientFile(design.active(), design.table()));
    }
    {
        Design design;
        design.setActive(denseSettings());
        design.add(1.0F, 100.0F, 0);
        for (int n = 2; n <= 51; ++n) {
            const auto magnitude = static_cast<float>(1.0 + 9.0 * random.next());
            const int phase = static_cast<int>(std::floor(random.next() * 361.0)) - 180;
            design.add(static_cast<float>(n), magnitude, phase);
        }
        write(folder + "/r2.kvk", WriteCoefficientFile(design.active(), design.table()));
    }
    {
        Design design;
        design.setActive(denseSettings());
        design.openSamples([&random](FftBuffer& samples) {
            for (std::size_t i = 0; i < 6144; ++i) {
                samples[i] = 100.0 * std::cos(2.0 * pi() * static_cast<double>(i) / 512.0) +
                             40.0 * (random.next() - 0.5);
            }
            return std::size_t{6144};
        });
        write(folder + "/r3.kvk", WriteCoefficientFile(design.active(), design.table()));
    }
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
}
