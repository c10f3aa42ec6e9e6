#include "files/SaveSignals.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

/** Saves under way at once: one a front end makes, and some room. */
constexpr int kSlots = 8;
constexpr std::size_t kLongestPath = 4096;
constexpr int kRemovingSignals[] = {SIGINT, SIGTERM, SIGHUP};

enum SlotState : int { kFree, kFilling, kActive };

// Fixed storage the handler can read without allocating or locking.
std::atomic<int> slotStates[kSlots];
char slotPaths[kSlots][kLongestPath];

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the states");

extern "C" void removeTemporaryFilesAndEnd(int signal)
{
    for (int slot = 0; slot < kSlots; ++slot) {
        if (slotStates[slot].load() == kActive) {
            ::unlink(slotPaths[slot]);
        }
    }
    // The handler was reset on entry (SA_RESETHAND): the signal, blocked until the handler
    // returns, then ends the process as it would have without us.
    ::raise(signal);
}

}  // namespace

void prepareProcessForSaves()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, nullptr);
    for (const int signal : kRemovingSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) {
            continue;  // ignored (nohup) or handled by someone else: left as it is
        }
        struct sigaction removing {};
        removing.sa_handler = removeTemporaryFilesAndEnd;
        removing.sa_flags = SA_RESETHAND;
        sigemptyset(&removing.sa_mask);
        for (const int other : kRemovingSignals) {
            sigaddset(&removing.sa_mask, other);
        }
        ::sigaction(signal, &removing, nullptr);
    }
}

RemovedOnSignal::RemovedOnSignal(const std::string& path)
{
    if (path.size() >= kLongestPath) {
        return;
    }
    for (int slot = 0; slot < kSlots; ++slot) {
        int expected = kFree;
        if (slotStates[slot].compare_exchange_strong(expected, kFilling)) {
            std::memcpy(slotPaths[slot], path.c_str(), path.size() + 1);
            slotStates[slot].store(kActive);
            m_slot = slot;
            return;
        }
    }
}

RemovedOnSignal::~RemovedOnSignal()
{
    if (m_slot >= 0) {
        slotStates[m_slot].store(kFree);
    }
}
