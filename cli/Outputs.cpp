#include "Outputs.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "files/InputFile.h"
#include "files/ScanNumbers.h"
#include "numbers/NumberText.h"

namespace {

/** No real line is longer than a few dozen bytes; the rest of a longer one is dropped. */
constexpr std::size_t kLongestCsvLine = 4096;

}  // namespace

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

void SamplesCsv::takeLine(std::string_view line)
{
    if (std::exchange(m_first, false) && !line.empty() && line.front() == ';') {
        m_settings = ':' + std::string(line.substr(1));
        return;
    }
    LineScanner scan(line);
    const auto index = scan.scanInt();
    scan.skipSpace();
    if (!index || scan.atEnd() || scan.peek() != ',') {
        return;  // the header, or a line that is not index,value
    }
    scan.setPosition(scan.position() + 1);
    const auto value = scan.scanDouble();
    if (!value || !std::isfinite(*value) || *index < 0 ||
        static_cast<std::size_t>(*index) >= m_values.size()) {
        return;
    }
    m_values[static_cast<std::size_t>(*index)] = *value;
    ++m_taken;
}

std::size_t SamplesCsv::fill(FftBuffer& buffer) const
{
    std::copy_n(m_values.begin(), std::min(m_values.size(), buffer.size()), buffer.data());
    return m_taken;
}

std::optional<SamplesCsv> readSamplesCsvFile(const std::string& path, std::string& error)
{
    InputFile::Opening opening = InputFile::open(path);
    if (!opening.file) {
        error = std::move(opening.error);
        return std::nullopt;
    }
    SamplesCsv csv;
    error = readLines(*opening.file, kLongestCsvLine, [&csv](std::string_view line) {
                csv.takeLine(line);
            }).failure();
    if (!error.empty()) {
        return std::nullopt;
    }
    return csv;
}

SamplesCsv samplesCsvOfText(std::string_view text)
{
    SamplesCsv csv;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        csv.takeLine(text.substr(0, std::min(end, kLongestCsvLine)));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return csv;
}

std::string replaceRefusal(const std::string& path, bool force)
{
    return !force && isWriteProtected(path) ? "It is write-protected (--force replaces it)."
                                            : std::string();
}

SaveResult saveOutput(const std::string& path, std::string_view bytes, bool force)
{
    return saveOutput(path, force,
                      [bytes](const std::string& to) { return saveFileAtomically(to, bytes); });
}

SaveResult saveOutput(const std::string& path, bool force,
                      const std::function<SaveResult(const std::string&)>& save)
{
    std::string refusal = replaceRefusal(path, force);
    if (!refusal.empty()) {
        return {SaveResult::Failure::Open, std::move(refusal)};
    }
    return save(path);
}
