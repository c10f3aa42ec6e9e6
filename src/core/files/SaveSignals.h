#pragma once

#include <string>

/**
 * Sets the process up for saving: a write past the file-size limit fails with EFBIG instead
 * of killing the process (SIGXFSZ ignored), and SIGINT, SIGTERM and SIGHUP remove the
 * temporary files of saves under way before they end the process as they would have. A
 * signal the process ignores stays ignored. Both programs call it first thing.
 */
void prepareProcessForSaves();

/** Registers a temporary file for removal by those signals while this object lives. */
class RemovedOnSignal {
public:
    explicit RemovedOnSignal(const std::string& path);
    ~RemovedOnSignal();
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

private:
    int m_slot = -1;  ///< none when the registry was full or the path too long
};
