#include "design/CaptureImport.h"

#include <algorithm>

#include "files/RecordingFile.h"

CaptureImport readAndAnalyzeCapture(const std::string& path, const CaptureOptions& options,
                                    const CaptureRequest& request, const CaptureReader& read)
{
    CaptureImport done{read(path, options), Outcome<CaptureAnalysis>::failure({})};
    done.analysis = done.reading.capture ? analyzeCapture(*done.reading.capture, request)
                                         : Outcome<CaptureAnalysis>::failure(done.reading.error);
    if (done.reading.capture) {
        done.rate = done.reading.capture->rate;
        done.seconds = static_cast<double>(done.reading.capture->samples.size()) / done.rate;
    }
    done.reading.capture.reset();  // analysed: its samples are done with
    return done;
}

CaptureImport readRecordingWindow(const std::string& path, std::optional<double> rate, int channel,
                                  double start)
{
    CaptureImport done{{}, Outcome<CaptureAnalysis>::failure({})};
    RecordingReader::Opening opening = RecordingReader::open(path, rate);
    if (!opening.reader) {
        done.reading.error = opening.error;
        done.analysis.error = opening.error;
        return done;
    }
    RecordingReader& reader = *opening.reader;
    const auto index = static_cast<std::size_t>(channel - 1);
    if (channel < 1 || channel > reader.channels()) {
        done.analysis.error = "There is no channel " + std::to_string(channel) + ".";
        return done;
    }
    const auto first = static_cast<std::size_t>(std::max(0.0, start) * reader.rate());
    const auto count = static_cast<std::size_t>(kRecordingWindowSpan * reader.rate());
    CaptureSignal signal;
    signal.rate = reader.rate();
    std::vector<std::vector<float>> block;
    constexpr std::size_t kBlockFrames = std::size_t{1} << 16;
    for (std::size_t at = 0; signal.samples.size() < count;) {
        const std::size_t got = reader.read(kBlockFrames, block);
        if (got == 0) {
            break;
        }
        const std::vector<float>& samples = block[index];
        for (std::size_t f = 0; f < got && signal.samples.size() < count; ++f, ++at) {
            if (at >= first) {
                signal.samples.push_back(samples[f]);
            }
        }
        for (std::vector<float>& each : block) {
            each.clear();
        }
    }
    if (!reader.error().empty() || signal.samples.empty()) {
        done.analysis.error =
            reader.error().empty() ? "The recording ends before that window." : reader.error();
        return done;
    }
    done.analysis = analyzeCapture(signal, {.start = 0.0});
    return done;
}
