#include "Outputs.h"

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
