#include "files/CaptureFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "files/InputFile.h"
#include "files/TextFrames.h"
#include "files/WavInput.h"

namespace {

/** Floats of one block of interleaved frames, whatever the channel count. */
constexpr std::size_t kBlockFloats = std::size_t{1} << 20;

CaptureReading failed(std::string why, bool needsRate = false)
{
    return {std::nullopt, std::move(why), needsRate, false};
}

CaptureReading cancelled()
{
    return {std::nullopt, kCancelledReason, false, true};
}

CaptureReading readWav(const std::string& path, const CaptureOptions& options)
{
    std::string error;
    const std::unique_ptr<WavInput> wav = WavInput::open(path, error);
    if (!wav) {
        return failed(error);
    }
    if (options.channel < 1 || options.channel > wav->channels()) {
        return failed("It has " + std::to_string(wav->channels()) +
                      (wav->channels() == 1 ? " channel" : " channels") + "; channel " +
                      std::to_string(options.channel) + " is not one of them.");
    }
    if (wav->frames() > kMaxWavFrames) {
        return failed("It holds more than 2^31 frames.");
    }
    if (std::string why = captureRateRefusal(wav->sampleRate()); !why.empty()) {
        return failed(why);
    }
    const auto channels = static_cast<std::size_t>(wav->channels());
    const std::size_t wanted = std::min({static_cast<std::size_t>(wav->frames()), kMaxCaptureFrames,
                                         kMaxWavDecodedValues / channels});
    CaptureSignal capture;
    capture.rate = options.rate.value_or(static_cast<double>(wav->sampleRate()));
    capture.samples.reserve(wanted);
    const std::size_t blockFrames = std::max<std::size_t>(1, kBlockFloats / channels);
    std::vector<float> block(blockFrames * channels);
    const auto channel = static_cast<std::size_t>(options.channel - 1);
    while (capture.samples.size() < wanted) {
        const std::size_t ask = std::min(blockFrames, wanted - capture.samples.size());
        if (options.progress && !options.progress(static_cast<double>(capture.samples.size()) /
                                                  static_cast<double>(wanted))) {
            return cancelled();
        }
        const std::int64_t got = wav->read(block.data(), static_cast<std::int64_t>(ask));
        if (got <= 0) {
            break;  // a data chunk shorter than its header says: what is there counts
        }
        for (std::int64_t frame = 0; frame < got; ++frame) {
            capture.samples.push_back(block[static_cast<std::size_t>(frame) * channels + channel]);
        }
    }
    if (capture.samples.empty()) {
        return failed("It holds no samples.");
    }
    return {std::move(capture), {}, false, false};
}

/** The values of the first channel of frames, up to the frames an analysis takes. */
void keepFirstChannel(TextFrames& text, std::vector<float>& samples)
{
    const std::size_t channels = text.channels();
    std::vector<float>& values = text.values();
    for (std::size_t at = 0; at < values.size() && samples.size() < kMaxCaptureFrames;
         at += channels) {
        samples.push_back(values[at]);
    }
    values.clear();
}

CaptureReading readText(const std::string& path, const CaptureOptions& options)
{
    InputFile::Opening opening = InputFile::open(path);
    if (!opening.file) {
        return failed(opening.error);
    }
    opening.file->setProgress(options.progress);
    TextFrames text(!options.rate, 1);
    std::vector<float> samples;
    const ReadEnd end = readLines(*opening.file, kLongestTextLine, [&](std::string_view line) {
        text.take(line);
        keepFirstChannel(text, samples);
    });
    if (end.cancelled) {
        return cancelled();
    }
    if (std::string why = end.failure(); !why.empty()) {
        return failed(why);
    }
    if (std::string why = text.finish(); !why.empty()) {
        return failed(why);
    }
    if (samples.empty()) {
        return failed("It holds no samples.");
    }
    CaptureSignal capture;
    if (options.rate) {
        capture.rate = *options.rate;
    } else if (text.hasTimes() && samples.size() > 1) {
        capture.rate = text.times().rate();
    } else {
        return failed("It has no time column: the sample rate must be given.", true);
    }
    capture.samples = std::move(samples);
    CaptureReading reading{std::move(capture), {}, false, false};
    reading.skippedLines = text.headerLines();
    return reading;
}

}  // namespace

CaptureReading readCapture(const std::string& path, const CaptureOptions& options)
{
    if (options.rate) {
        if (std::string why = captureRateRefusal(*options.rate); !why.empty()) {
            return failed(why);
        }
    }
    return endsWithWav(path) ? readWav(path, options) : readText(path, options);
}
