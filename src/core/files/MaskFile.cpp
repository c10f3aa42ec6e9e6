#include "files/MaskFile.h"

#include <algorithm>

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
                                   [&](const BuiltInMask& mask) { return mask.name == text; });
    // A misspelt name is refused as a name, not looked for as a file.
    return known || text.find_first_of("/.") == std::string::npos;
}

MaskChoice chooseMask(const std::string& nameOrPath, const MaskParameters& parameters)
{
    if (namesBuiltInMask(nameOrPath)) {
        return builtInMask(nameOrPath, parameters);
    }
    if (parameters != MaskParameters{}) {
        return {std::nullopt, "a mask file takes no parameters: its limits are in percent"};
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
    MaskReader reader(fileTitle(path));
    // One byte past the longest line, so that a longer one is told apart and refused.
    const ReadEnd end = readLines(*opening.file, kLongestMaskLine + 1,
                                  [&reader](std::string_view line) { reader.takeLine(line); });
    if (end.cancelled) {
        return {std::nullopt, kCancelledReason};
    }
    if (end.error) {
        return {std::nullopt, "It could not be read to its end."};
    }
    if (end.stoppedAtCap) {
        return {std::nullopt, "It grew larger than " + inputCapText() + " while it was read."};
    }
    return reader.finish();
}
