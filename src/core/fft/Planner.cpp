#include "fft/Planner.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {

// Constant-initialized, so that plans destroyed by static objects at exit still find them.
constinit std::mutex gPlanner;
constinit std::mutex gPutOffMutex;
constinit std::vector<fftw_plan> gPutOff;

bool anyPutOff()
{
    const std::lock_guard lock(gPutOffMutex);
    return !gPutOff.empty();
}

void destroyPutOff()
{
    std::vector<fftw_plan> plans;
    {
        const std::lock_guard lock(gPutOffMutex);
        plans.swap(gPutOff);
    }
    for (fftw_plan plan : plans) {
        fftw_destroy_plan(plan);
    }
}

/**
 * Lets the planner go. A plan put off after the last look is taken care of by whoever holds
 * the planner when it is put off, or here, on the second look after the unlock.
 */
void releasePlanner()
{
    do {
        destroyPutOff();
        gPlanner.unlock();
    } while (anyPutOff() && gPlanner.try_lock());
}

}  // namespace

PlannerLock::PlannerLock()
{
    gPlanner.lock();
}

PlannerLock::~PlannerLock()
{
    releasePlanner();
}

void destroyPlan(fftw_plan plan)
{
    if (!plan) {
        return;
    }
    if (gPlanner.try_lock()) {
        fftw_destroy_plan(plan);
        releasePlanner();
        return;
    }
    {
        const std::lock_guard lock(gPutOffMutex);
        gPutOff.push_back(plan);
    }
    // The holder may have let go before the plan was put off: then it is ours to destroy.
    if (gPlanner.try_lock()) {
        releasePlanner();
    }
}
