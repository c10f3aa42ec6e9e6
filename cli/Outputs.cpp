#include "Outputs.h"

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/NumberText.h"
#include "fft/FftBuffer.h"
#include "files/ScanNumbers.h"

std::string samplesCsv(std::span<const double> samples)
{
    std::string text = "index,value\n";
    text.reserve(samples.size() * 16 + text.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        text += formatInt(static_cast<int>(i));
        text += ',';
        appendFixed(text, samples[i], 0, 6);
        text += '\n';
    }
    return text;
}

std::size_t readSamplesCsv(std::string_view text, FftBuffer& samples)
{
    std::size_t taken = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        LineScanner scan(line);
        const auto index = scan.scanInt();
        scan.skipSpace();
        if (!index || scan.atEnd() || scan.peek() != ',') {
            continue;  // the header, or a line that is not index,value
        }
        scan.setPosition(scan.position() + 1);
        const auto value = scan.scanDouble();
        if (!value || !std::isfinite(*value) || *index < 0 ||
            static_cast<std::size_t>(*index) >= samples.size()) {
            continue;
        }
        samples[static_cast<std::size_t>(*index)] = *value;
        ++taken;
    }
    return taken;
}

namespace {

/** libsndfile's virtual I/O onto a growing byte string. */
struct MemoryFile {
    std::string bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* user)
{
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? file->position
                                                 : static_cast<sf_count_t>(file->bytes.size());
    file->position = std::max<sf_count_t>(0, base + offset);
    return file->position;
}

sf_count_t memoryRead(void* destination, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(file->bytes.size());
    const sf_count_t available = std::max<sf_count_t>(0, std::min(count, size - file->position));
    std::memcpy(destination, file->bytes.data() + file->position,
                static_cast<std::size_t>(available));
    file->position += available;
    return available;
}

sf_count_t memoryWrite(const void* source, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const auto end = static_cast<std::size_t>(file->position + count);
    if (file->bytes.size() < end) {
        file->bytes.resize(end);
    }
    std::memcpy(file->bytes.data() + file->position, source, static_cast<std::size_t>(count));
    file->position += count;
    return count;
}

sf_count_t memoryTell(void* user)
{
    return static_cast<MemoryFile*>(user)->position;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

}  // namespace

std::optional<std::string> wavBytes(std::span<const double> samples, int sampleRate,
                                    std::string& error)
{
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    MemoryFile memory;
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_WRITE, &info, &memory));
    if (!file) {
        error = sf_strerror(nullptr);
        return std::nullopt;
    }
    std::vector<float> scaled(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        scaled[i] = static_cast<float>(samples[i] / 100.0);
    }
    const auto frames = static_cast<sf_count_t>(scaled.size());
    if (sf_writef_float(file.get(), scaled.data(), frames) != frames) {
        error = sf_strerror(file.get());
        return std::nullopt;
    }
    file.reset();  // closing writes the final header sizes
    return std::move(memory.bytes);
}
