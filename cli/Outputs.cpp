#include "Outputs.h"

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/NumberText.h"
#include "engine/Workspace.h"
#include "files/InputFile.h"
#include "files/ScanNumbers.h"
#include "files/WaveshapeFile.h"

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

bool readSamplesCsvLine(std::string_view line, Workspace& workspace)
{
    LineScanner scan(line);
    const auto index = scan.scanInt();
    scan.skipSpace();
    if (!index || scan.atEnd() || scan.peek() != ',') {
        return false;  // the header, or a line that is not index,value
    }
    scan.setPosition(scan.position() + 1);
    const auto value = scan.scanDouble();
    if (!value || !std::isfinite(*value) || *index < 0 ||
        static_cast<std::size_t>(*index) >= workspace.samples.size()) {
        return false;
    }
    workspace.samples[static_cast<std::size_t>(*index)] = *value;
    return true;
}

LoadResult LoadSamplesCsvFile(const std::string& path, Workspace& workspace)
{
    InputFile::Opening opening = InputFile::open(path);
    if (!opening.file) {
        return {false, std::move(opening.error), {}};
    }
    workspace.table.ClearHarmonics();
    workspace.samples.fill(0.0);
    LoadResult result{true, {}, {}};
    {
        const HarmonicTable::BulkLoad bulk(workspace.table);
        // No real line is longer than a few dozen bytes; the rest of a longer one is dropped.
        const ReadEnd end = ReadLines(*opening.file, 4096, [&](std::string_view line) {
            result.summary.samplesRead += readSamplesCsvLine(line, workspace) ? 1 : 0;
        });
        result.summary.readError = end.error;
        result.summary.stoppedAtCap = end.stoppedAtCap;
        AnalyseWaveshape(workspace);
    }
    FinishLoading(workspace);
    return result;
}

SaveResult saveOutput(const std::string& path, std::string_view bytes, bool force)
{
    if (!force && isWriteProtected(path)) {
        return {SaveResult::Failure::Open, "It is write-protected (--force replaces it)."};
    }
    return SaveFileAtomically(path, bytes);
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
