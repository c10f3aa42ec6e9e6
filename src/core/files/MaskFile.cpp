#include "files/MaskFile.h"

#include <algorithm>
#include <array>

#include "files/InputFile.h"

namespace {

std::string fileTitle(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool namesBuiltInMask(const std::string& text)
{
    const auto& masks = builtInMasks();
    const bool known = std::any_of(masks.begin(), masks.end(),
                                   [&](const LimitMask& mask) { return mask.name == text; });
    // A misspelt name is refused as a name, not looked for as a file.
    return known || text.find_first_of("/.") == std::string::npos;
}

MaskChoice chooseMask(const std::string& nameOrPath, std::optional<double> fundamentalRms)
{
    if (namesBuiltInMask(nameOrPath)) {
        return builtInMask(nameOrPath, fundamentalRms);
    }
    return readMaskFile(nameOrPath);
}

MaskChoice readMaskFile(const std::string& path, const ReadProgress& progress)
{
    InputFile::Opening opening = InputFile::open(path);
    if (!opening.file) {
        return {std::nullopt, opening.error};
    }
    opening.file->setProgress(progress);
    std::string text;
    std::array<char, kReadChunk> chunk{};
    while (const std::size_t count = opening.file->read(chunk)) {
        text.append(chunk.data(), count);
    }
    if (opening.file->end().cancelled) {
        return {std::nullopt, kCancelledReason};
    }
    if (opening.file->end().error) {
        return {std::nullopt, "It could not be read to its end."};
    }
    if (opening.file->end().stoppedAtCap) {
        return {std::nullopt, "It grew larger than 64 MiB while it was read."};
    }
    return parseMask(text, fileTitle(path));
}
