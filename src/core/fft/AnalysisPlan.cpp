#include "fft/AnalysisPlan.h"

#include <utility>

#include "fft/FftBuffer.h"
#include "fft/PlanMeasurer.h"
#include "fft/Planner.h"

namespace {

unsigned flagsFor(PlanRigor rigor)
{
    switch (rigor) {
    case PlanRigor::Estimate:
        return FFTW_ESTIMATE;
    case PlanRigor::WisdomOnly:
        return FFTW_MEASURE | FFTW_WISDOM_ONLY;
    case PlanRigor::Measure:
        break;
    }
    return FFTW_MEASURE;
}

struct KnownOrEstimated {
    FftPlan plan;
    bool estimated = false;
};

/**
 * The measured plan where wisdom knows n, else an estimate. The planner is let go before a
 * measurement is asked for, which then holds it for up to seconds.
 */
KnownOrEstimated knownOrEstimated(int n)
{
    if (FftPlan known = FftPlan::forwardInPlace(n, PlanRigor::WisdomOnly); !known.empty()) {
        return {std::move(known), false};
    }
    return {FftPlan::forwardInPlace(n, PlanRigor::Estimate), true};
}

std::size_t complexDoubles(int n)
{
    return 2 * (static_cast<std::size_t>(n) / 2 + 1);
}

}  // namespace

FftPlan& FftPlan::operator=(FftPlan&& other) noexcept
{
    if (this != &other) {
        reset();
        m_plan = other.m_plan;
        other.m_plan = nullptr;
    }
    return *this;
}

void FftPlan::reset()
{
    destroyPlan(std::exchange(m_plan, nullptr));
}

FftPlan FftPlan::forwardInPlace(int n, PlanRigor rigor)
{
    if (n <= 0) {
        return FftPlan();
    }
    // FFTW's planner overwrites the arrays it measures on: plan on scratch memory of the
    // same alignment as the sample buffer (both come from fftw_malloc).
    FftBuffer scratch(complexDoubles(n));
    const PlannerLock planner;
    return FftPlan(fftw_plan_dft_r2c_1d(
        n, scratch.data(), reinterpret_cast<fftw_complex*>(scratch.data()), flagsFor(rigor)));
}

FftPlan FftPlan::inverseOutOfPlace(int n, PlanRigor rigor)
{
    if (n <= 0) {
        return FftPlan();
    }
    FftBuffer in(complexDoubles(n));
    FftBuffer out(static_cast<std::size_t>(n));
    const PlannerLock planner;
    return FftPlan(fftw_plan_dft_c2r_1d(n, reinterpret_cast<fftw_complex*>(in.data()), out.data(),
                                        flagsFor(rigor)));
}

void FftPlan::executeForwardInPlace(FftBuffer& buffer) const
{
    if (m_plan) {
        fftw_execute_dft_r2c(m_plan, buffer.data(), reinterpret_cast<fftw_complex*>(buffer.data()));
    }
}

AnalysisPlanSlot::AnalysisPlanSlot(PlanRigor rigor) : m_rigor(rigor) {}

AnalysisPlanSlot::~AnalysisPlanSlot() = default;

bool AnalysisPlanSlot::ensureAnalysisPlan(int n)
{
    if (m_measurer) {
        // Taken here, before the transform runs: a plan never changes under a running one.
        if (FftPlan measured = m_measurer->take(n); !measured.empty()) {
            m_plan = std::move(measured);
            m_size = n;
        }
    }
    if (!m_plan.empty() && m_size != n) {
        m_plan.reset();
    }
    if (m_plan.empty()) {
        m_plan = makePlan(n);
        m_size = n;
        if (!m_plan.empty()) {
            ++m_plansCreated;
        }
    }
    return !m_plan.empty();
}

FftPlan AnalysisPlanSlot::makePlan(int n)
{
    if (m_rigor != PlanRigor::Measure || n <= 0) {
        return FftPlan::forwardInPlace(n, m_rigor);
    }
    KnownOrEstimated made = knownOrEstimated(n);
    if (made.estimated) {
        if (!m_measurer) {
            m_measurer = std::make_unique<PlanMeasurer>();
        }
        m_measurer->request(n);
    }
    return std::move(made.plan);
}

FftPlan AnalysisPlanSlot::oneOffPlan(int n) const
{
    if (m_rigor != PlanRigor::Measure || n <= 0) {
        return FftPlan::forwardInPlace(n, m_rigor);
    }
    return knownOrEstimated(n).plan;
}

void AnalysisPlanSlot::finishMeasuring()
{
    if (m_measurer) {
        m_measurer->wait();
    }
}

void AnalysisPlanSlot::stopMeasuring()
{
    if (m_measurer) {
        m_measurer->stop();
    }
}
