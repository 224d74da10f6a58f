#include "StepResponseAnalysis.h"

#include <armadillo>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <utility>
#include <limits>

#include "StepResponseFit.h"

namespace {

using Fault = StepResponseResult::Fault;

constexpr double PI = 3.14159265358979323846;
// The recorded output may differ this much (of the step) from the bias and bias + step.
constexpr double OUTPUT_TOLERANCE = 0.1;
// Samples beside an edge that may lie between the two output levels.
constexpr int EDGE_GUARD = 2;
// The response counts as settled this many time constants after it starts (0.7 % left).
constexpr double SETTLED_TIME_CONSTANTS = 5.0;
// Each edge must stand out of the noise by this many of its standard errors.
constexpr double DETECTION_ERRORS = 5.0;
// Rise and fall may differ by this many standard errors of their difference.
constexpr double AGREEMENT_ERRORS = 4.0;
// A line period must span this many samples to be told from the response.
constexpr double MIN_SAMPLES_PER_LINE_PERIOD = 4.0;
// More samples than a block of the display stream could ever hold.
constexpr size_t MAX_SAMPLES = size_t(1) << 24;
// Below these the fit's numbers are rounding, not noise: relative for
// amplitudes (of the record's own size), in samples for times.
constexpr double AMPLITUDE_PRECISION = 1e-9;
constexpr double TIME_PRECISION_SAMPLES = 1e-3;
// Delays tried for the first guess, evenly over the high phase.
constexpr int DELAY_GUESSES = 16;

const double LN_10_9 = std::log(10.0 / 9.0);
const double LN_9 = std::log(9.0);

struct Edges
{
    int rise = -1;        // first sample past half the rise
    int fall = -1;        // first sample past half the fall
    double riseAt = 0.0;  // where the output passes half the step, in samples
    double fallAt = 0.0;
};

// Between samples k - 1 and k, where x passes `level`.
double passesAt(const std::vector<double>& x, int k, double level)
{
    const double a = x[size_t(k - 1)], b = x[size_t(k)];
    return double(k - 1) + (b != a ? (level - a) / (b - a) : 0.5);
}

Fault findEdges(const std::vector<double>& u, int count, double bias, double step, Edges& edges)
{
    const double half = bias + step / 2.0;
    auto high = [&](int k) { return u[size_t(k)] > half; };
    if (high(0))
        return Fault::StartsHigh;
    int changes = 0;
    for (int k = 1; k < count; ++k) {
        if (high(k) == high(k - 1))
            continue;
        ++changes;
        if (changes == 1)
            edges.rise = k;
        else if (changes == 2)
            edges.fall = k;
    }
    if (changes != 2)
        return Fault::NoCleanEdge;
    const double tolerance = OUTPUT_TOLERANCE * step;
    for (int k = 0; k < count; ++k) {
        if (std::abs(k - edges.rise) <= EDGE_GUARD || std::abs(k - edges.fall) <= EDGE_GUARD)
            continue;
        const double expected = k >= edges.rise && k < edges.fall ? bias + step : bias;
        if (!(std::fabs(u[size_t(k)] - expected) <= tolerance))
            return Fault::OutputOffLevel;
    }
    edges.riseAt = passesAt(u, edges.rise, half);
    edges.fallAt = passesAt(u, edges.fall, half);
    return Fault::None;
}

// The first place from `from` on where the centred `width`-sample mean of z
// passes `level` upwards; `fallback` when it never does before `to`.
double firstPassing(const std::vector<double>& z, int from, int to, double level, int width, double fallback)
{
    const int half = width / 2;
    from = std::max(from, half);
    to = std::min(to, int(z.size()) - half);
    if (from + half >= int(z.size()))
        return fallback;
    double sum = 0.0;
    for (int k = from - half; k <= from + half; ++k)
        sum += z[size_t(k)];
    double previous = sum / width;
    for (int k = from + 1; k < to; ++k) {
        sum += z[size_t(k + half)] - z[size_t(k - half - 1)];
        const double now = sum / width;
        if (previous <= level && now > level)
            return double(k - 1) + (level - previous) / (now - previous);
        previous = now;
    }
    return fallback;
}

// Where to start the fit: a baseline, the line and the high phase's level by
// linear least squares, the response taken as sudden after the delay that fits
// best (a long dead time would otherwise hide the step), then the 10 % and 90 %
// crossings of the cleaned, evenly smoothed response.
struct FirstGuess
{
    double step = 0.0;   // the response's, signed
    double delay = 0.0;  // samples after the edge
    double tau = 1.0;    // samples
};

FirstGuess guessEdges(const std::vector<double>& y, int count, double sampleRate, const Edges& edges)
{
    FirstGuess guess;
    const double radiansPerSample = 2.0 * PI * STEP_LINE_HZ / sampleRate;
    // Columns 1, x, sin, cos, and running sums of them and of y times them, so
    // that each shifted high phase costs a 5 x 5 solve.
    constexpr int BASE = 4;
    arma::mat base(size_t(count), BASE);
    for (int k = 0; k < count; ++k) {
        const double phase = radiansPerSample * double(k);
        base(size_t(k), 0) = 1.0;
        base(size_t(k), 1) = 2.0 * double(k) / double(count - 1) - 1.0;
        base(size_t(k), 2) = std::sin(phase);
        base(size_t(k), 3) = std::cos(phase);
    }
    const arma::vec observed(y.data(), size_t(count));
    const arma::mat baseGram = base.t() * base;
    const arma::vec baseY = base.t() * observed;
    const double yy = arma::dot(observed, observed);
    arma::mat running(size_t(count) + 1, BASE + 1, arma::fill::zeros);  // row k: sums over samples before k
    for (int k = 0; k < count; ++k) {
        for (int c = 0; c < BASE; ++c)
            running(size_t(k) + 1, size_t(c)) = running(size_t(k), size_t(c)) + base(size_t(k), size_t(c));
        running(size_t(k) + 1, BASE) = running(size_t(k), BASE) + y[size_t(k)];
    }
    const int high = edges.fall - edges.rise;
    arma::vec c;
    double bestSse = std::numeric_limits<double>::infinity();
    int bestShift = 0;
    for (int i = 0; i < DELAY_GUESSES; ++i) {
        const int shift = i * high / DELAY_GUESSES;
        const int from = std::min(count, edges.rise + shift), to = std::min(count, edges.fall + shift);
        arma::mat gram(BASE + 1, BASE + 1);
        arma::vec xy(BASE + 1);
        gram.submat(0, 0, BASE - 1, BASE - 1) = baseGram;
        xy.head(BASE) = baseY;
        for (int col = 0; col < BASE; ++col)
            gram(BASE, size_t(col)) = gram(size_t(col), BASE) =
                running(size_t(to), size_t(col)) - running(size_t(from), size_t(col));
        gram(BASE, BASE) = double(to - from);
        xy(BASE) = running(size_t(to), BASE) - running(size_t(from), BASE);
        arma::vec trial;
        if (!arma::solve(trial, gram, xy, arma::solve_opts::no_approx) || !trial.is_finite())
            continue;
        // At the least-squares solution the residual sum is y'y - c'X'y.
        const double sse = yy - arma::dot(trial, xy);
        if (sse < bestSse) {
            bestSse = sse;
            bestShift = shift;
            c = trial;
        }
    }
    if (c.n_elem == 0 || !(std::fabs(c(BASE)) > 0.0))
        return guess;
    guess.step = c(BASE);
    const arma::vec background = base * c.head(BASE);
    std::vector<double> z(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k)
        z[size_t(k)] = (y[size_t(k)] - background(size_t(k))) / guess.step;
    const int smoothing = 2 * std::max(1, int(sampleRate / 2000.0)) + 1;  // about 1 ms
    // The crossings are looked for from half a shift step before the best shift on.
    const int from = std::max(edges.rise, edges.rise + bestShift - high / (2 * DELAY_GUESSES));
    const double t10 = firstPassing(z, from, edges.fall, 0.1, smoothing, from + 1.0);
    const double t90 = firstPassing(z, int(t10) + 1, edges.fall, 0.9, smoothing, t10 + 1.0);
    guess.tau = std::max(1.0, (t90 - t10) / LN_9);
    guess.delay = std::max(0.0, t10 - guess.tau * LN_10_9 - edges.riseAt);
    return guess;
}

bool allFinite(const std::vector<double>& x, int count)
{
    return std::all_of(x.begin(), x.begin() + count, [](double v) { return std::isfinite(v); });
}

using Fit = StepResponseFit;

// Gradients of the figures in the fit's parameters.
Fit::Vector combination(std::initializer_list<std::pair<Fit::Parameter, double>> terms)
{
    Fit::Vector g{};
    for (const auto& [parameter, weight] : terms)
        g[size_t(parameter)] = weight;
    return g;
}

Fit::Vector only(Fit::Parameter p)
{
    return combination({{p, 1.0}});
}

}  // namespace

StepResponseResult analyseStepResponse(const std::vector<double>& stimulus, const std::vector<double>& response,
                                       double bias, double step, double sampleRate)
{
    StepResponseResult r;
    r.du = step;
    const size_t available = std::min(stimulus.size(), response.size());
    // Checked in floating point first: a rate of 1e11 is 2e9 samples a line period.
    const double periodSamples = sampleRate / STEP_LINE_HZ;
    if (!(step > 0.0) || !std::isfinite(step) || !(sampleRate > 0.0) || !std::isfinite(sampleRate) ||
        available > MAX_SAMPLES || !(periodSamples >= MIN_SAMPLES_PER_LINE_PERIOD) ||
        !(4.0 * periodSamples <= double(available)))
        return r;
    const int count = int(available);
    const int period = int(std::lround(periodSamples));
    if (!std::isfinite(bias) || !allFinite(stimulus, count) || !allFinite(response, count)) {
        r.fault = Fault::NotFinite;
        return r;
    }

    Edges edges;
    r.fault = findEdges(stimulus, count, bias, step, edges);
    if (!r.valid())
        return r;
    if (edges.rise - period < 0) {
        r.fault = Fault::TooLittleBefore;
        return r;
    }
    if (edges.fall - edges.rise < 3) {
        r.fault = Fault::NotSettled;
        return r;
    }

    const FirstGuess guess = guessEdges(response, count, sampleRate, edges);
    if (!(std::fabs(guess.step) > 0.0)) {
        r.fault = Fault::NoResponse;
        return r;
    }
    Fit::Setup setup;
    setup.count = count;
    setup.lineRadiansPerSample = 2.0 * PI * STEP_LINE_HZ / sampleRate;
    // Nothing answers before its edge; the rise answers before the fall.
    setup.riseEarliest = edges.riseAt;
    setup.riseLatest = double(edges.fall);
    setup.fallEarliest = edges.fallAt;
    setup.fallLatest = double(count - 1);
    const Fit fit(response, setup, {guess.step, edges.riseAt + guess.delay, guess.tau},
                  {-guess.step, edges.fallAt + guess.delay, guess.tau});
    if (!fit.converged()) {
        r.fault = Fault::NoResponse;
        return r;
    }

    // The rounding floor: errors never count as smaller than the numbers can hold.
    double size = 0.0;
    for (int k = 0; k < count; ++k)
        size = std::max(size, std::fabs(response[size_t(k)]));
    const double amplitudeFloor = AMPLITUDE_PRECISION * size;
    auto amplitudeError = [&](const Fit::Vector& g) { return std::max(fit.standardError(g), amplitudeFloor); };
    auto timeError = [&](const Fit::Vector& g) { return std::max(fit.standardError(g), TIME_PRECISION_SAMPLES); };

    // The figures are of the response that rises with the output.
    const Fit::Edge rise = fit.rise(), fall = fit.fall();
    r.inverted = rise.amplitude < 0.0;
    const double sign = r.inverted ? -1.0 : 1.0;
    const double riseStep = sign * rise.amplitude, fallStep = -sign * fall.amplitude;
    if (!(riseStep > DETECTION_ERRORS * amplitudeError(only(Fit::RiseAmplitude))) ||
        !(fallStep > DETECTION_ERRORS * amplitudeError(only(Fit::FallAmplitude)))) {
        r.fault = Fault::NoResponse;
        return r;
    }
    if (!(rise.tau >= 1.0) || !(fall.tau >= 1.0)) {
        r.fault = Fault::TooFast;
        return r;
    }
    if (rise.start + SETTLED_TIME_CONSTANTS * rise.tau > double(edges.fall) ||
        fall.start + SETTLED_TIME_CONSTANTS * fall.tau > double(count)) {
        r.fault = Fault::NotSettled;
        return r;
    }

    // One plant answers both edges: the same step, time constant and delay,
    // within what the noise allows.
    const double riseDelay = rise.start - edges.riseAt, fallDelay = fall.start - edges.fallAt;
    if (!(std::fabs(riseStep - fallStep) <=
          AGREEMENT_ERRORS * amplitudeError(combination({{Fit::RiseAmplitude, sign}, {Fit::FallAmplitude, sign}}))) ||
        !(std::fabs(rise.tau - fall.tau) <=
          AGREEMENT_ERRORS * timeError(combination({{Fit::RiseTau, 1.0}, {Fit::FallTau, -1.0}}))) ||
        !(std::fabs(riseDelay - fallDelay) <=
          AGREEMENT_ERRORS * timeError(combination({{Fit::RiseStart, 1.0}, {Fit::FallStart, -1.0}})))) {
        r.fault = Fault::EdgesDisagree;
        return r;
    }

    // Averages of the two edges, in samples and response units.
    const double delay = (riseDelay + fallDelay) / 2.0;
    const double tau = (rise.tau + fall.tau) / 2.0;
    r.dy = (riseStep + fallStep) / 2.0;
    r.lo = sign * fit.levelOver(edges.rise - period, edges.rise);
    r.hi = r.lo + r.dy;
    r.gain = r.dy / step;
    r.delay = delay / sampleRate;
    r.timeConstant = tau / sampleRate;
    r.deadTime = r.delay + r.timeConstant * LN_10_9;
    r.settlingTime = r.timeConstant * LN_9;
    r.edgeTime = edges.riseAt / sampleRate;
    r.fallTime = edges.fallAt / sampleRate;
    r.time10 = r.edgeTime + r.deadTime;
    r.time90 = r.time10 + r.settlingTime;

    const double half = sign / 2.0;
    r.gainError = amplitudeError(combination({{Fit::RiseAmplitude, half}, {Fit::FallAmplitude, -half}})) / step;
    r.deadTimeError = timeError(combination({{Fit::RiseStart, 0.5},
                                             {Fit::FallStart, 0.5},
                                             {Fit::RiseTau, 0.5 * LN_10_9},
                                             {Fit::FallTau, 0.5 * LN_10_9}})) /
                      sampleRate;
    r.settlingTimeError =
        timeError(combination({{Fit::RiseTau, 0.5 * LN_9}, {Fit::FallTau, 0.5 * LN_9}})) / sampleRate;
    if (!(STEP_CONFIDENCE * r.gainError <= STEP_GAIN_TOLERANCE * r.gain) ||
        !(STEP_CONFIDENCE * r.deadTimeError <= STEP_DEAD_TIME_TOLERANCE_S) ||
        !(STEP_CONFIDENCE * r.settlingTimeError <= STEP_SETTLING_TOLERANCE_S)) {
        r.fault = Fault::Imprecise;
        return r;
    }
    r.fault = Fault::None;
    return r;
}
