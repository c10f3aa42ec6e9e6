#pragma once

#include <cstddef>
#include <memory>

/** Releases memory from fftw_malloc. */
struct FftwFree {
    void operator()(void* p) const;
};

/** A zeroed array of doubles aligned for FFTW's SIMD code (fftw_malloc). */
class FftBuffer {
public:
    explicit FftBuffer(std::size_t size);

    [[nodiscard]] double* data() { return m_data.get(); }
    [[nodiscard]] const double* data() const { return m_data.get(); }
    [[nodiscard]] std::size_t size() const { return m_size; }
    double& operator[](std::size_t i) { return m_data[i]; }
    const double& operator[](std::size_t i) const { return m_data[i]; }
    void fill(double value);

private:
    std::unique_ptr<double[], FftwFree> m_data;
    std::size_t m_size;
};

/**
 * The analysis grid: doubles in the sample buffer shared by the recalculation and the file
 * readers, and the harmonic table's slots over one cycle.
 */
inline constexpr std::size_t kSampleBufferSize = 65536;

/** The sample buffer: kSampleBufferSize doubles, samples, then the half spectrum. */
class SampleBuffer final : public FftBuffer {
public:
    SampleBuffer() : FftBuffer(kSampleBufferSize) {}
};
