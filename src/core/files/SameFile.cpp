#include "files/SameFile.h"

#include <sys/stat.h>

namespace {

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string sameFileRefusal(const std::string& output, std::span<const std::string> inputs)
{
    struct stat written {};
    if (output.empty() || ::stat(output.c_str(), &written) != 0) {
        return {};  // nothing there yet (or nothing stat can see): no input is destroyed
    }
    for (const std::string& input : inputs) {
        struct stat read {};
        if (!input.empty() && ::stat(input.c_str(), &read) == 0 && sameFile(written, read)) {
            return "It is the same file as the input " + input +
                   ", which writing it would destroy; choose another name.";
        }
    }
    return {};
}
