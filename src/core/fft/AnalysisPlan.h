#pragma once

#include <cstddef>
#include <memory>

#include <fftw3.h>

class FftBuffer;
class PlanMeasurer;

/**
 * FFTW planner rigour: Measure as the program plans; Estimate for the command-line tool
 * (deterministic, and one run cannot repay a measurement) and for fuzzing, where every
 * input may bring a new size and measuring it would take a second; WisdomOnly for tests
 * that make planning fail on purpose.
 */
enum class PlanRigor { Measure, Estimate, WisdomOnly };

/** One FFTW plan, destroyed exactly once; an empty plan is null and destroying it does nothing. */
class FftPlan {
public:
    FftPlan() = default;
    explicit FftPlan(fftw_plan plan) : m_plan(plan) {}
    ~FftPlan() { reset(); }
    FftPlan(FftPlan&& other) noexcept : m_plan(other.m_plan) { other.m_plan = nullptr; }
    FftPlan& operator=(FftPlan&& other) noexcept;
    FftPlan(const FftPlan&) = delete;
    FftPlan& operator=(const FftPlan&) = delete;

    /**
     * A forward real-to-complex in-place plan of n points, measured (or taken from wisdom)
     * on scratch memory so that no sample buffer is overwritten. Empty when FFTW gives none.
     */
    [[nodiscard]] static FftPlan forwardInPlace(int n, PlanRigor rigor = PlanRigor::Measure);
    /** An out-of-place complex-to-real plan of n points on scratch memory. */
    [[nodiscard]] static FftPlan inverseOutOfPlace(int n, PlanRigor rigor = PlanRigor::Measure);

    [[nodiscard]] bool empty() const { return m_plan == nullptr; }
    /** The FFTW plan, for executions on other arrays of the planned alignment. */
    [[nodiscard]] fftw_plan get() const { return m_plan; }
    void reset();
    /**
     * Runs a forward in-place plan of n points on the first n doubles of buffer, which must
     * hold at least 2 (n / 2 + 1) doubles: bin k becomes (re at 2k, im at 2k + 1).
     */
    void executeForwardInPlace(FftBuffer& buffer) const;

private:
    fftw_plan m_plan = nullptr;
};

/**
 * The main window's cached analysis plan: empty, or a plan for the current FFT size.
 * Measuring a size takes up to seconds: with Measure, a size that wisdom does not know gets
 * an estimated plan at once (the same transform) while the measured one is made on another
 * thread; the next recalculation after it is ready takes it.
 */
class AnalysisPlanSlot {
public:
    explicit AnalysisPlanSlot(PlanRigor rigor = PlanRigor::Measure);
    /** Drops queued measurements and waits for the one under way. */
    ~AnalysisPlanSlot();
    AnalysisPlanSlot(const AnalysisPlanSlot&) = delete;
    AnalysisPlanSlot& operator=(const AnalysisPlanSlot&) = delete;

    /**
     * Creates the plan for n points if the slot is empty; false when none could be made.
     * A plan for another size (which every settings change should have discarded) is
     * replaced rather than run on the wrong number of samples.
     */
    bool ensureAnalysisPlan(int n);
    /**
     * A forward in-place plan of n points for one transform: as the slot's own, but with
     * Measure the estimate of a size wisdom does not know is not followed by a measurement.
     */
    [[nodiscard]] FftPlan oneOffPlan(int n) const;
    /** Destroys the cached plan, if any. */
    void discardAnalysisPlan() { m_plan.reset(); }
    /** Waits until no measurement is queued or under way. */
    void finishMeasuring();
    /** Drops the queued measurements and waits for the one under way. */
    void stopMeasuring();
    [[nodiscard]] int planSize() const { return m_plan.empty() ? 0 : m_size; }

    [[nodiscard]] bool holdsPlan() const { return !m_plan.empty(); }
    [[nodiscard]] const FftPlan& plan() const { return m_plan; }
    /** Number of plans this slot has created; lets tests see caching at work. */
    [[nodiscard]] int plansCreated() const { return m_plansCreated; }
    [[nodiscard]] PlanRigor rigor() const { return m_rigor; }

private:
    /** The plan of n points; with Measure, an estimate is followed by a measurement. */
    [[nodiscard]] FftPlan makePlan(int n);

    FftPlan m_plan;
    int m_size = 0;
    PlanRigor m_rigor;
    int m_plansCreated = 0;
    std::unique_ptr<PlanMeasurer> m_measurer;  // from the first size that wisdom does not know
};
