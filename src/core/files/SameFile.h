#pragma once

#include <span>
#include <string>

/**
 * Why output may not be written: it is the same file as one of inputs (the same device and
 * inode, whichever links lead there), so writing it would destroy what is being read. Empty
 * when it may be written: no input is that file, or the output does not exist yet. Every
 * command that writes, in the window and on the command line, asks this before it reads.
 */
[[nodiscard]] std::string sameFileRefusal(const std::string& output,
                                          std::span<const std::string> inputs);
