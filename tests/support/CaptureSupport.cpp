#include "CaptureSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>

std::vector<double> synthesizeCapture(const ToneCapture& capture)
{
    std::vector<double> samples(capture.count);
    std::mt19937 random(capture.seed);
    std::normal_distribution<double> gauss(0.0, capture.noise);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / capture.rate;
        double x = 0.0;
        for (const ToneLine& line : capture.lines) {
            x += capture.amplitude * line.percent / 100.0 *
                 std::cos(2.0 * std::numbers::pi * line.order * capture.fundamental * t +
                          line.degrees * std::numbers::pi / 180.0);
        }
        samples[i] = x + (capture.noise > 0.0 ? gauss(random) : 0.0);
    }
    return samples;
}

namespace {

void put(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

int bitsOf(WavForm form)
{
    constexpr int kBits[] = {8, 16, 24, 32, 32};  // in the order of WavForm
    return kBits[static_cast<int>(form)];
}

void putSample(std::string& out, double x, WavForm form)
{
    const int bits = bitsOf(form);
    if (form == WavForm::F32) {
        const auto value = static_cast<float>(x);
        std::uint32_t raw = 0;
        std::memcpy(&raw, &value, sizeof raw);
        put(out, raw, 4);
        return;
    }
    const double full = std::ldexp(1.0, bits - 1);
    const auto code =
        static_cast<std::int64_t>(std::clamp(std::nearbyint(x * full), -full, full - 1.0));
    put(out, static_cast<std::uint64_t>(form == WavForm::U8 ? code + 128 : code), bits / 8);
}

}  // namespace

std::string channelsWavBytes(const std::vector<std::vector<double>>& channels, double rate,
                             const WavLayout& layout)
{
    const auto count = static_cast<int>(channels.size());
    const int bytes = bitsOf(layout.form) / 8;
    const int blockAlign = bytes * count;
    const bool isFloat = layout.form == WavForm::F32;
    std::string fmt;
    put(fmt, layout.extensible ? 0xFFFE : (isFloat ? 3 : 1), 2);
    put(fmt, static_cast<std::uint64_t>(count), 2);
    put(fmt, static_cast<std::uint64_t>(rate), 4);
    put(fmt, static_cast<std::uint64_t>(rate) * static_cast<std::uint64_t>(blockAlign), 4);
    put(fmt, static_cast<std::uint64_t>(blockAlign), 2);
    put(fmt, static_cast<std::uint64_t>(bytes * 8), 2);
    if (layout.extensible) {
        put(fmt, 22, 2);
        put(fmt, static_cast<std::uint64_t>(bytes * 8), 2);
        put(fmt, 0, 4);  // no speaker positions
        put(fmt, isFloat ? 3 : 1, 2);
        fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string data;
    const std::size_t frames = channels.empty() ? 0 : channels.front().size();
    data.reserve(frames * static_cast<std::size_t>(blockAlign));
    for (std::size_t f = 0; f < frames; ++f) {
        for (const std::vector<double>& channel : channels) {
            putSample(data, channel[f], layout.form);
        }
    }
    std::string body = "WAVEfmt ";
    put(body, fmt.size(), 4);
    body += fmt;
    if (layout.extraChunk) {
        body += "JUNK";
        put(body, 10, 4);
        body += std::string(10, '\0');
    }
    body += "data";
    put(body, data.size(), 4);
    body += data;
    std::string out = "RIFF";
    put(out, body.size(), 4);
    return out + body;
}

std::string wavBytes(const std::vector<double>& samples, double rate, const WavLayout& layout)
{
    std::vector<std::vector<double>> channels(static_cast<std::size_t>(layout.channels),
                                              std::vector<double>(samples.size(), 0.0));
    channels.back() = samples;
    return channelsWavBytes(channels, rate, layout);
}

std::string captureCsv(const std::vector<double>& samples, double rate, bool withTime)
{
    std::string text = withTime ? "time,value\n" : "";
    char line[64];
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int time =
            withTime ? std::snprintf(line, sizeof line, "%.17g,", static_cast<double>(i) / rate)
                     : 0;
        std::snprintf(line + time, sizeof line - static_cast<std::size_t>(time), "%.9g\n",
                      samples[i]);
        text += line;
    }
    return text;
}

CaptureSignal toneSignal(const std::vector<ToneLine>& lines, double fundamental, double rate,
                         double cycles, double noise)
{
    const auto count = static_cast<std::size_t>(rate / fundamental * cycles);
    const std::vector<double> samples =
        synthesizeCapture({lines, fundamental, rate, count, 0.4, noise});
    return {std::vector<float>(samples.begin(), samples.end()), rate};
}
