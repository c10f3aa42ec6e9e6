#pragma once

#include <fftw3.h>

/**
 * FFTW's planner (making and destroying plans, wisdom) may run on one thread at a time; only
 * executing a plan is thread-safe. Every planner call is made while one of these is alive.
 */
class PlannerLock {
public:
    PlannerLock();
    /** Plans whose destruction was put off while this lock was held are destroyed first. */
    ~PlannerLock();
    PlannerLock(const PlannerLock&) = delete;
    PlannerLock& operator=(const PlannerLock&) = delete;
};

/**
 * Destroys plan now, or, while another thread is planning (a measurement may take seconds),
 * as soon as that thread lets the planner go: the caller never waits. Null does nothing.
 */
void destroyPlan(fftw_plan plan);
