#include "StepResponseFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

using P = StepResponseFit::Parameter;

// Far below a sample: the bound that keeps exp() finite.
constexpr double MIN_TAU_SAMPLES = 0.05;
constexpr int MAX_ITERATIONS = 100;
// Past this the exponential is 1 to double precision.
constexpr double SETTLED_REMAINDER = 1e-18;
// Walk ratios tried: none, and a quarter decade apart from 1e-10 to 1e-2 per
// sample. A drift is slower than the samples: over ten samples its wander
// stays below the white noise (a faster "walk" is a converter's steps or the
// like, which the weighting must not follow).
constexpr double WALK_LOWEST = 1e-10;
constexpr int WALK_STEPS_PER_DECADE = 4;
constexpr int WALK_DECADES = 8;
// Weighting and fit alternate this often.
constexpr int WALK_ROUNDS = 2;
// The strongest walk still allowed lies this far below the likelihood's peak
// (log): a ratio of exp(4.5), three standard errors of the walk's strength.
constexpr double WALK_LIKELIHOOD_ALLOWANCE = 4.5;

}  // namespace

StepResponseFit::StepResponseFit(const std::vector<double>& y, const Setup& setup, const Edge& riseGuess,
                                 const Edge& fallGuess)
    : m_setup(setup)
    , m_p(PARAMETERS, arma::fill::zeros)
{
    const int n = setup.count;
    if (n < 4 * PARAMETERS || int(y.size()) < n)
        return;
    // About its mean: the level is free anyway, and the sums stay small.
    m_y = arma::vec(y.data(), size_t(n));
    m_offset = arma::mean(m_y);
    m_y -= m_offset;
    m_columns.zeros(size_t(n), PARAMETERS);
    m_whitened.zeros(size_t(n - 1), PARAMETERS);
    m_residual.zeros(size_t(n - 1));
    fillConstantColumns();

    arma::vec p(PARAMETERS, arma::fill::zeros);
    p(RiseStart) = riseGuess.start;
    p(RiseTau) = riseGuess.tau;
    p(FallStart) = fallGuess.start;
    p(FallTau) = fallGuess.tau;
    p = project(p);
    // First unweighted for the wandering (a level per sample stays free), then
    // weighted by the walk the residuals show, and again.
    useFilter(filterFor(n, 0.0));
    solveLinear(p);
    levenbergMarquardt(p);
    for (int round = 0; round < WALK_ROUNDS; ++round) {
        m_rho = likeliestWalk(p);
        useFilter(filterFor(n, m_rho));
        levenbergMarquardt(p);
    }
    m_p = p;

    // The errors under the likeliest walk, and under the strongest walk the
    // record still allows: one record tells the wandering's strength only roughly.
    const double rhos[2] = {m_rho, m_rhoUpper};
    for (int i = 0; i < 2; ++i) {
        useFilter(filterFor(n, rhos[i]));
        const double sse = evaluate(p, true);
        if (!std::isfinite(sse))
            return;
        const arma::mat gram = m_whitened.t() * m_whitened;
        const arma::vec length = arma::sqrt(gram.diag());
        if (!length.is_finite() || !(length.max() > 0.0))
            return;
        // A parameter the record no longer moves (a time constant collapsed to
        // its bound) is held: its own error is unbounded, the others' are those
        // of the rest.
        const arma::uvec free = arma::find(length > 1e-300);
        const arma::vec scale = 1.0 / length(free);
        arma::mat scaledInverse;
        if (!arma::inv_sympd(scaledInverse, arma::diagmat(scale) * gram(free, free) * arma::diagmat(scale)))
            return;
        const double sigma = std::sqrt(sse / double(n - 1 - PARAMETERS));
        m_covariance[i].zeros(PARAMETERS, PARAMETERS);
        m_covariance[i](free, free) = sigma * sigma * arma::diagmat(scale) * scaledInverse * arma::diagmat(scale);
        if (i == 0)
            m_sigma = sigma;
        if (!m_covariance[i].is_finite())
            return;
        m_held.assign(PARAMETERS, true);
        for (const arma::uword f : free)
            m_held[f] = false;
    }
    m_converged = true;
}

StepResponseFit::Filter StepResponseFit::filterFor(int count, double rho)
{
    // The wandering level after the first sample is that sample, known to sigma^2.
    Filter f;
    f.gain.assign(size_t(count), 0.0);
    f.scale.assign(size_t(count), 0.0);
    double variance = 1.0;
    for (int k = 1; k < count; ++k) {
        const double predicted = variance + rho;
        const double innovation = predicted + 1.0;
        f.gain[size_t(k)] = predicted / innovation;
        f.scale[size_t(k)] = 1.0 / std::sqrt(innovation);
        f.logDeterminant += std::log(innovation);
        const double next = predicted / innovation;
        if (next == variance) {
            // Steady: the rest is the same.
            std::fill(f.gain.begin() + k + 1, f.gain.end(), f.gain[size_t(k)]);
            std::fill(f.scale.begin() + k + 1, f.scale.end(), f.scale[size_t(k)]);
            f.logDeterminant += double(count - 1 - k) * std::log(innovation);
            break;
        }
        variance = next;
    }
    return f;
}

void StepResponseFit::useFilter(Filter filter)
{
    m_filter = std::move(filter);
    m_whitenedConstant = false;
}

void StepResponseFit::whiten(const Filter& filter, const double* x, double* out)
{
    const size_t n = filter.gain.size();
    double level = x[0];
    for (size_t k = 1; k < n; ++k) {
        const double innovation = x[k] - level;
        level += filter.gain[k] * innovation;
        out[k - 1] = innovation * filter.scale[k];
    }
}

void StepResponseFit::fillConstantColumns()
{
    const int n = m_setup.count;
    for (int k = 0; k < n; ++k) {
        const double phase = m_setup.lineRadiansPerSample * double(k);
        m_columns(size_t(k), Slope) = 2.0 * double(k) / double(n - 1) - 1.0;
        m_columns(size_t(k), LineSine) = std::sin(phase);
        m_columns(size_t(k), LineCosine) = std::cos(phase);
    }
}

void StepResponseFit::model(const arma::vec& p, arma::vec& out, arma::mat* columns) const
{
    const int n = m_setup.count;
    out = m_columns.cols(Slope, LineCosine) * p.subvec(Slope, LineCosine);
    double* const m = out.memptr();
    struct Edge
    {
        P amplitude, start, tau;
    };
    for (const Edge e : {Edge{RiseAmplitude, RiseStart, RiseTau}, Edge{FallAmplitude, FallStart, FallTau}}) {
        const double a = p(e.amplitude), s = p(e.start), tau = p(e.tau);
        double* const dA = columns ? columns->colptr(e.amplitude) : nullptr;
        double* const dS = columns ? columns->colptr(e.start) : nullptr;
        double* const dT = columns ? columns->colptr(e.tau) : nullptr;
        const int first = std::clamp(int(std::ceil(s)), 0, n);
        if (columns)
            for (int k = 0; k < first; ++k)
                dA[k] = dS[k] = dT[k] = 0.0;
        // exp(-(k - s) / tau) by recurrence from the first sample at or after s.
        const double decay = std::exp(-1.0 / tau);
        double remainder = std::exp(-(double(first) - s) / tau);
        int k = first;
        for (; k < n && remainder > SETTLED_REMAINDER; ++k) {
            m[k] += a * (1.0 - remainder);
            if (columns) {
                dA[k] = 1.0 - remainder;
                dS[k] = -a * remainder / tau;
                dT[k] = -a * (double(k) - s) * remainder / (tau * tau);
            }
            remainder *= decay;
        }
        for (; k < n; ++k) {
            m[k] += a;
            if (columns) {
                dA[k] = 1.0;
                dS[k] = dT[k] = 0.0;
            }
        }
    }
    // The beam still settling, with the rise's time constant, from whatever the
    // outputs did before the record began (the bias itself may have just been set).
    const double c = p(Settling), tau = p(RiseTau);
    double* const dC = columns ? columns->colptr(Settling) : nullptr;
    double* const dT = columns ? columns->colptr(RiseTau) : nullptr;
    const double decay = std::exp(-1.0 / tau);
    double remainder = 1.0;
    int k = 0;
    for (; k < n && remainder > SETTLED_REMAINDER; ++k) {
        m[k] += c * remainder;
        if (columns) {
            dC[k] = remainder;
            dT[k] += c * double(k) * remainder / (tau * tau);
        }
        remainder *= decay;
    }
    if (columns)
        std::fill(dC + k, dC + n, 0.0);
}

double StepResponseFit::evaluate(const arma::vec& p, bool jacobian)
{
    arma::vec fitted;
    model(p, fitted, jacobian ? &m_columns : nullptr);
    const arma::vec residual = m_y - fitted;
    whiten(m_filter, residual.memptr(), m_residual.memptr());
    if (jacobian) {
        // The slope's and the line's columns change only with the filter.
        const int first = m_whitenedConstant ? Settling : Slope;
        for (int c = first; c < PARAMETERS; ++c)
            whiten(m_filter, m_columns.colptr(c), m_whitened.colptr(c));
        m_whitenedConstant = true;
    }
    return arma::dot(m_residual, m_residual);
}

void StepResponseFit::solveLinear(arma::vec& p)
{
    evaluate(p, true);
    const arma::uvec linear = {Slope, LineSine, LineCosine, Settling, RiseAmplitude, FallAmplitude};
    arma::vec target(m_y.n_elem - 1);
    whiten(m_filter, m_y.memptr(), target.memptr());
    arma::vec coefficients;
    if (!arma::solve(coefficients, m_whitened.cols(linear), target, arma::solve_opts::no_approx))
        return;
    for (arma::uword i = 0; i < linear.n_elem; ++i)
        p(linear(i)) = coefficients(i);
}

arma::vec StepResponseFit::project(arma::vec p) const
{
    const double longest = double(std::max(1, m_setup.count));
    p(RiseStart) = std::clamp(p(RiseStart), m_setup.riseEarliest, m_setup.riseLatest);
    p(FallStart) = std::clamp(p(FallStart), m_setup.fallEarliest, m_setup.fallLatest);
    p(RiseTau) = std::clamp(p(RiseTau), MIN_TAU_SAMPLES, longest);
    p(FallTau) = std::clamp(p(FallTau), MIN_TAU_SAMPLES, longest);
    return p;
}

void StepResponseFit::levenbergMarquardt(arma::vec& p)
{
    double sse = evaluate(p, true);
    if (!std::isfinite(sse))
        return;
    // The damping scaled by the Gram matrix's diagonal, and the system solved
    // in the columns' own scale: the parameters' units differ by many orders.
    double lambda = 1e-3;
    for (int iteration = 0; iteration < MAX_ITERATIONS; ++iteration) {
        const arma::mat gram = m_whitened.t() * m_whitened;
        const arma::vec gradient = m_whitened.t() * m_residual;
        const arma::vec floor(PARAMETERS, arma::fill::value(1e-300));
        const arma::vec scale = 1.0 / arma::sqrt(arma::max(gram.diag(), floor));
        const arma::mat scaledGram = arma::diagmat(scale) * gram * arma::diagmat(scale);
        const arma::vec scaledGradient = scale % gradient;
        bool improved = false;
        double trialSse = sse;
        arma::vec next;
        while (!improved && lambda < 1e12) {
            arma::mat damped = scaledGram;
            damped.diag() += lambda;
            arma::vec delta;
            if (arma::solve(delta, damped, scaledGradient, arma::solve_opts::no_approx)) {
                next = project(p + scale % delta);
                trialSse = evaluate(next, false);
                improved = trialSse < sse;
            }
            if (!improved)
                lambda *= 4.0;
        }
        if (!improved)
            break;
        const double gain = sse - trialSse;
        p = next;
        sse = evaluate(p, true);
        lambda = std::max(lambda / 3.0, 1e-12);
        if (gain <= 1e-13 * sse)
            break;
    }
    evaluate(p, true);
}

double StepResponseFit::walkLikelihood(const arma::vec& residual, double rho)
{
    // The filter of whiten(), run on the residuals alone.
    const arma::uword n = residual.n_elem;
    double level = residual(0), variance = 1.0, sum = 0.0, logDeterminant = 0.0;
    for (arma::uword k = 1; k < n; ++k) {
        const double predicted = variance + rho;
        const double innovationVariance = predicted + 1.0;
        const double innovation = residual(k) - level;
        level += predicted / innovationVariance * innovation;
        variance = predicted / innovationVariance;
        sum += innovation * innovation / innovationVariance;
        logDeterminant += std::log(innovationVariance);
    }
    if (!(sum > 0.0))
        return std::numeric_limits<double>::quiet_NaN();
    // Log-likelihood with sigma^2 at its best for this rho.
    const double innovations = double(n - 1);
    return -0.5 * (innovations * std::log(sum / innovations) + logDeterminant);
}

double StepResponseFit::likeliestWalk(const arma::vec& p)
{
    arma::vec fitted;
    model(p, fitted, nullptr);
    const arma::vec residual = m_y - fitted;
    auto rhoAt = [](int step) {
        return step < 0 ? 0.0 : WALK_LOWEST * std::pow(10.0, double(step) / WALK_STEPS_PER_DECADE);
    };
    const int last = WALK_DECADES * WALK_STEPS_PER_DECADE;
    std::vector<double> likelihood(size_t(last + 2), std::numeric_limits<double>::quiet_NaN());
    auto at = [&](int step) -> double {
        double& l = likelihood[size_t(step + 1)];
        if (std::isnan(l))
            l = walkLikelihood(residual, rhoAt(step));
        return l;
    };
    // A decade apart first, then a quarter decade around the best.
    int best = -1;
    for (int step = 0; step <= last; step += WALK_STEPS_PER_DECADE)
        if (at(step) > at(best))
            best = step;
    const int coarse = best;
    for (int step = std::max(0, coarse - WALK_STEPS_PER_DECADE + 1);
         step <= std::min(last, coarse + WALK_STEPS_PER_DECADE - 1); ++step)
        if (at(step) > at(best))
            best = step;
    // Nothing wanders where nothing moves at all (a quiet, exact record).
    if (std::isnan(at(best)))
        return m_rhoUpper = 0.0;
    int upper = best;
    while (upper < last && at(upper + 1) >= at(best) - WALK_LIKELIHOOD_ALLOWANCE)
        ++upper;
    m_rhoUpper = rhoAt(upper);
    return rhoAt(best);
}

double StepResponseFit::levelOver(int from, int to) const
{
    from = std::clamp(from, 0, m_setup.count);
    to = std::clamp(to, from, m_setup.count);
    if (to == from)
        return 0.0;
    arma::vec fitted;
    model(m_p, fitted, nullptr);
    const arma::span stretch(size_t(from), size_t(to - 1));
    return m_offset + arma::mean(m_y(stretch) - fitted(stretch)) + value(Slope) * arma::mean(m_columns(stretch, Slope));
}

double StepResponseFit::standardError(const Vector& gradient) const
{
    if (!m_converged)
        return std::numeric_limits<double>::infinity();
    for (int i = 0; i < PARAMETERS; ++i)
        if (m_held[size_t(i)] && gradient[size_t(i)] != 0.0)
            return std::numeric_limits<double>::infinity();
    const arma::vec a(gradient.data(), PARAMETERS);
    return std::sqrt(std::max({0.0, arma::dot(a, m_covariance[0] * a), arma::dot(a, m_covariance[1] * a)}));
}
