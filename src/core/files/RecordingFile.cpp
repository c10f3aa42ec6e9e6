#include "files/RecordingFile.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "engine/CaptureAnalysis.h"
#include "files/InputFile.h"
#include "files/TextFrames.h"
#include "files/WavInput.h"

namespace {

/** Floats decoded at a time, whatever the channel count. */
constexpr std::size_t kBlockFloats = std::size_t{1} << 16;
/** Frames read ahead of the analysis to take a text recording's rate from its times. */
constexpr std::size_t kRateFrames = std::size_t{1} << 16;
/** The steps of the whole time column may differ from those the rate was taken from by this. */
constexpr double kRateAgreement = 1e-4;

void deinterleave(const float* block, std::size_t frames, std::size_t channelCount,
                  std::vector<std::vector<float>>& channels)
{
    channels.resize(channelCount);
    for (std::size_t c = 0; c < channelCount; ++c) {
        std::vector<float>& out = channels[c];
        const std::size_t at = out.size();
        out.resize(at + frames);
        for (std::size_t f = 0; f < frames; ++f) {
            out[at + f] = block[f * channelCount + c];
        }
    }
}

class WavRecording final : public RecordingReader {
public:
    WavRecording(std::unique_ptr<WavInput> wav, std::optional<double> rate) : m_wav(std::move(wav))
    {
        m_rate = rate.value_or(static_cast<double>(m_wav->sampleRate()));
        m_channels = m_wav->channels();
        m_frames = m_wav->frames();
        m_block.resize(std::max<std::size_t>(kBlockFloats, static_cast<std::size_t>(m_channels)));
    }

    std::size_t read(std::size_t most, std::vector<std::vector<float>>& channels) override
    {
        const auto count = static_cast<std::size_t>(m_channels);
        std::size_t taken = 0;
        while (taken < most) {
            const std::size_t ask = std::min(most - taken, m_block.size() / count);
            const std::int64_t got = m_wav->read(m_block.data(), static_cast<std::int64_t>(ask));
            if (got <= 0) {
                break;  // a data chunk shorter than its header says: what is there counts
            }
            deinterleave(m_block.data(), static_cast<std::size_t>(got), count, channels);
            taken += static_cast<std::size_t>(got);
        }
        return taken;
    }

    [[nodiscard]] double done() const override
    {
        return m_wav->bytes() == 0 ? 0.0
                                   : std::min(1.0, static_cast<double>(m_wav->position()) /
                                                       static_cast<double>(m_wav->bytes()));
    }

private:
    std::unique_ptr<WavInput> m_wav;
    std::vector<float> m_block;
};

/** Lines of text, pulled a chunk at a time. */
class TextRecording final : public RecordingReader {
public:
    TextRecording(InputFile file, bool timed)
        : m_file(std::move(file)), m_text(timed, kMostTextChannels)
    {}

    /** Reads ahead until the frames hold the channel count and, from the times, the rate. */
    std::string start(std::optional<double> rate)
    {
        while (m_text.frames() < kRateFrames && pull()) {
        }
        if (!m_error.empty()) {
            return m_error;
        }
        if (m_text.frames() == 0) {
            return "It holds no samples.";
        }
        m_channels = static_cast<int>(m_text.channels());
        if (rate) {
            m_rate = *rate;
        } else if (m_text.hasTimes() && m_text.frames() > 1) {
            m_rate = m_text.times().rate();
            m_startRate = m_rate;
        } else {
            m_needsRate = true;
            return "It has no time column: the sample rate must be given.";
        }
        return captureRateRefusal(m_rate);
    }

    [[nodiscard]] bool needsRate() const { return m_needsRate; }

    std::size_t read(std::size_t most, std::vector<std::vector<float>>& channels) override
    {
        const auto count = static_cast<std::size_t>(m_channels);
        while (m_text.values().size() / count < most && pull()) {
        }
        std::vector<float>& values = m_text.values();
        const std::size_t frames = std::min(most, values.size() / count);
        deinterleave(values.data(), frames, count, channels);
        values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(frames * count));
        return frames;
    }

    [[nodiscard]] double done() const override
    {
        return m_file.size() == 0 ? 0.0
                                  : std::min(1.0, static_cast<double>(m_taken) /
                                                      static_cast<double>(m_file.size()));
    }

    [[nodiscard]] std::size_t skippedLines() const override { return m_text.headerLines(); }

private:
    /** Takes the lines of one more chunk; false at the end or on an error. */
    bool pull()
    {
        if (m_ended || !m_error.empty()) {
            return false;
        }
        const auto take = [this](std::string_view line) { m_text.take(line); };
        const std::size_t got = m_file.read(m_chunk);
        m_taken += got;
        if (got == 0) {
            m_ended = true;
            m_lines.finish(take);
            finishReading();
            return false;
        }
        m_lines.take(std::string_view(m_chunk.data(), got), take);
        if (!m_text.error().empty()) {
            m_error = m_text.error();
            return false;
        }
        return true;
    }

    void finishReading()
    {
        if (std::string why = m_file.end().failure(); !why.empty()) {
            m_error = why;
        } else if (std::string uneven = m_text.finish(); !uneven.empty()) {
            m_error = uneven;
        } else if (m_startRate > 0.0 &&
                   std::fabs(m_text.times().rate() - m_startRate) > kRateAgreement * m_startRate) {
            m_error = "Its time column's steps change along the file: the first " +
                      std::to_string(kRateFrames) + " lines give another rate than the whole.";
        }
    }

    InputFile m_file;
    TextFrames m_text;
    std::vector<char> m_chunk = std::vector<char>(kReadChunk);
    LineSplitter m_lines = LineSplitter(kLongestTextLine);
    std::uint64_t m_taken = 0;
    double m_startRate = 0.0;  ///< from the times read ahead
    bool m_ended = false;
    bool m_needsRate = false;
};

}  // namespace

RecordingReader::Opening RecordingReader::open(const std::string& path, std::optional<double> rate)
{
    if (rate) {
        if (std::string why = captureRateRefusal(*rate); !why.empty()) {
            return {nullptr, why, false};
        }
    }
    if (endsWithWav(path)) {
        std::string error;
        std::unique_ptr<WavInput> wav = WavInput::open(path, error);
        if (!wav) {
            return {nullptr, error, false};
        }
        if (!rate) {
            if (std::string why = captureRateRefusal(wav->sampleRate()); !why.empty()) {
                return {nullptr, why, false};
            }
        }
        return {std::make_unique<WavRecording>(std::move(wav), rate), {}, false};
    }
    InputFile::Opening opening = InputFile::open(path, std::numeric_limits<std::uint64_t>::max());
    if (!opening.file) {
        return {nullptr, opening.error, false};
    }
    auto text = std::make_unique<TextRecording>(std::move(*opening.file), !rate);
    if (std::string why = text->start(rate); !why.empty()) {
        return {nullptr, why, text->needsRate()};
    }
    return {std::move(text), {}, false};
}
