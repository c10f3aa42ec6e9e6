#include "fft/FftBuffer.h"

#include <algorithm>
#include <new>

#include <fftw3.h>

void FftwFree::operator()(void* p) const
{
    fftw_free(p);
}

FftBuffer::FftBuffer(std::size_t size)
    : m_data(static_cast<double*>(fftw_malloc(sizeof(double) * std::max<std::size_t>(size, 1)))),
      m_size(size)
{
    if (!m_data) {
        throw std::bad_alloc();
    }
    fill(0.0);
}

void FftBuffer::fill(double value)
{
    std::fill_n(m_data.get(), m_size, value);
}
