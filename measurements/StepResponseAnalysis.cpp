#include "StepResponseAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

using Fault = StepResponseResult::Fault;

constexpr double PI = 3.14159265358979323846;
// The fit window ends this many time constants after the response starts:
// 0.7 % of the step is left, and the next edge's level stretch starts there.
constexpr double SETTLED_TIME_CONSTANTS = 5.0;
// The recorded output may differ this much (of the step) from the bias and bias + step.
constexpr double OUTPUT_TOLERANCE = 0.1;
// Samples beside an edge that may lie between the two output levels.
constexpr int EDGE_GUARD = 2;
constexpr double MIN_TIME_CONSTANT_SAMPLES = 0.05;
constexpr int FIT_WINDOW_ROUNDS = 3;
constexpr int MAX_SEARCH_STEPS = 400;

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

// The mains line at every sample.
struct Line
{
    Line(int count, double sampleRate) : sine(size_t(count)), cosine(size_t(count))
    {
        for (int k = 0; k < count; ++k) {
            const double phase = 2.0 * PI * STEP_LINE_HZ * double(k) / sampleRate;
            sine[size_t(k)] = std::sin(phase);
            cosine[size_t(k)] = std::cos(phase);
        }
    }
    std::vector<double> sine, cosine;
};

double mean(const std::vector<double>& y, int from, int to)
{
    double sum = 0.0;
    for (int k = from; k < to; ++k)
        sum += y[size_t(k)];
    return sum / double(to - from);
}

// Solves the 4 x 4 system in place (partial pivoting); false when it is singular.
bool solve4(double a[4][4], double b[4], double x[4])
{
    for (int i = 0; i < 4; ++i) {
        int pivot = i;
        for (int r = i + 1; r < 4; ++r)
            if (std::fabs(a[r][i]) > std::fabs(a[pivot][i]))
                pivot = r;
        if (!(std::fabs(a[pivot][i]) > 1e-300))
            return false;
        std::swap(a[i], a[pivot]);
        std::swap(b[i], b[pivot]);
        for (int r = i + 1; r < 4; ++r) {
            const double f = a[r][i] / a[i][i];
            for (int c = i; c < 4; ++c)
                a[r][c] -= f * a[i][c];
            b[r] -= f * b[i];
        }
    }
    for (int i = 3; i >= 0; --i) {
        double s = b[i];
        for (int c = i + 1; c < 4; ++c)
            s -= a[i][c] * x[c];
        x[i] = s / a[i][i];
    }
    return true;
}

struct EdgeFit
{
    double level = 0.0;
    double amplitude = 0.0;
    double start = 0.0;  // t0, samples
    double tau = 1.0;    // samples
    double sse = std::numeric_limits<double>::infinity();
    int samples = 0;
};

// g(k) for k = from, from + 1, ...: 0 up to `start`, then the first-order rise.
class Rise
{
public:
    Rise(int from, double start, double tau)
        : m_first(std::max(from, int(std::ceil(start))))
        , m_decay(std::exp(-1.0 / tau))
        , m_remaining(std::exp(-(double(m_first) - start) / tau))
        , m_k(from)
    {
    }
    double next()
    {
        if (m_k++ < m_first)
            return 0.0;
        const double g = 1.0 - m_remaining;
        m_remaining *= m_decay;
        return g;
    }

private:
    int m_first;
    double m_decay;
    double m_remaining;
    int m_k;
};

// One stretch of the response, with the sums that do not depend on the rise.
// The response is taken about its mean there, which keeps the sums small.
struct FitWindow
{
    FitWindow(const std::vector<double>& response, const Line& line, int first, int last)
        : y(response), sine(line.sine), cosine(line.cosine), from(first), to(last)
    {
        offset = mean(response, from, to);
        for (int k = from; k < to; ++k) {
            const double v = y[size_t(k)] - offset, s = sine[size_t(k)], c = cosine[size_t(k)];
            n += 1.0;
            sumS += s;
            sumC += c;
            sumSS += s * s;
            sumSC += s * c;
            sumCC += c * c;
            sumY += v;
            sumYS += v * s;
            sumYC += v * c;
            sumYY += v * v;
        }
    }
    const std::vector<double>& y;
    const std::vector<double>& sine;
    const std::vector<double>& cosine;
    int from, to;
    double offset = 0.0;
    double n = 0.0, sumS = 0.0, sumC = 0.0, sumSS = 0.0, sumSC = 0.0, sumCC = 0.0;
    double sumY = 0.0, sumYS = 0.0, sumYC = 0.0, sumYY = 0.0;
};

// Level, amplitude and line by least squares for a given start and tau.
EdgeFit fitLinear(const FitWindow& w, double start, double tau)
{
    EdgeFit fit;
    fit.start = start;
    fit.tau = tau;
    fit.samples = w.to - w.from;
    double sumG = 0.0, sumGG = 0.0, sumGS = 0.0, sumGC = 0.0, sumGY = 0.0;
    Rise rise(w.from, start, tau);
    for (int k = w.from; k < w.to; ++k) {
        const double g = rise.next();
        if (g == 0.0)
            continue;
        sumG += g;
        sumGG += g * g;
        sumGS += g * w.sine[size_t(k)];
        sumGC += g * w.cosine[size_t(k)];
        sumGY += g * (w.y[size_t(k)] - w.offset);
    }
    double a[4][4] = {{w.n, sumG, w.sumS, w.sumC},
                      {sumG, sumGG, sumGS, sumGC},
                      {w.sumS, sumGS, w.sumSS, w.sumSC},
                      {w.sumC, sumGC, w.sumSC, w.sumCC}};
    double b[4] = {w.sumY, sumGY, w.sumYS, w.sumYC};
    const double rhs[4] = {b[0], b[1], b[2], b[3]};
    double c[4];
    if (!solve4(a, b, c))
        return fit;
    fit.level = w.offset + c[0];
    fit.amplitude = c[1];
    // At the least-squares solution the residual sum is sum(y^2) - c . X'y.
    fit.sse = std::max(0.0, w.sumYY - (c[0] * rhs[0] + c[1] * rhs[1] + c[2] * rhs[2] + c[3] * rhs[3]));
    return fit;
}

// Start and tau by a compass search from the first guess; the start never
// lies before the output's edge.
EdgeFit fitEdge(const FitWindow& window, double edgeAt, double start, double tau, double firstStep)
{
    auto evaluate = [&](double s, double t) {
        return fitLinear(window, std::clamp(s, edgeAt, double(window.to - 1)), std::max(t, MIN_TIME_CONSTANT_SAMPLES));
    };
    EdgeFit best = evaluate(start, tau);
    // Both in samples; a thousandth of a sample is 20 ns at 50000 samples per second.
    double size = std::max(0.5, firstStep * best.tau);
    for (int i = 0; i < MAX_SEARCH_STEPS && size > 1e-3; ++i) {
        bool moved = false;
        // Start and tau trade against each other along a narrow valley: the diagonals follow it.
        const double tries[8][2] = {{size, 0.0}, {-size, 0.0}, {0.0, size}, {0.0, -size},
                                    {size, -size}, {-size, size}, {size, size}, {-size, -size}};
        for (const auto& d : tries) {
            const EdgeFit candidate = evaluate(best.start + d[0], best.tau + d[1]);
            if (candidate.sse < best.sse) {
                best = candidate;
                moved = true;
            }
        }
        if (!moved)
            size /= 2.0;
    }
    return best;
}

// Fits the edge at `edge` from one line period before it to five time constants
// after the response starts; that end must come before `settledBy`.
Fault fitSettledEdge(const std::vector<double>& y, const Line& line, int period, int edge, double edgeAt,
                     int settledBy, double start, double tau, EdgeFit& fit)
{
    const int from = edge - period;
    if (settledBy <= edge + 2)
        return Fault::NotSettled;
    auto settledAt = [](double s, double t) { return s + SETTLED_TIME_CONSTANTS * t; };
    int to = std::clamp(int(std::ceil(settledAt(start, tau))) + 1, edge + 2, settledBy);
    for (int round = 0; round < FIT_WINDOW_ROUNDS; ++round) {
        // Later rounds only move the window's end a little.
        fit = fitEdge(FitWindow(y, line, from, to), edgeAt, start, tau, round == 0 ? 0.25 : 0.02);
        start = fit.start;
        tau = fit.tau;
        const int wanted = std::clamp(int(std::ceil(settledAt(start, tau))) + 1, edge + 2, settledBy);
        if (wanted == to)
            break;
        to = wanted;
    }
    if (!std::isfinite(fit.sse) || settledAt(fit.start, fit.tau) > double(settledBy))
        return Fault::NotSettled;
    return Fault::None;
}

// The first place from `from` on where the centred `width`-sample mean of z
// passes `level` upwards; `fallback` when it never does before `to`.
double firstPassing(const std::vector<double>& z, int from, int to, double level, int width, double fallback)
{
    const int half = width / 2;
    from = std::max(from, half);
    to = std::min(to, int(z.size()) - half);
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

}  // namespace

StepResponseResult analyseStepResponse(const std::vector<double>& stimulus, const std::vector<double>& response,
                                       double bias, double step, double sampleRate)
{
    StepResponseResult r;
    r.du = step;
    const int count = int(std::min(stimulus.size(), response.size()));
    const int period = sampleRate > 0.0 ? std::max(1, int(std::lround(sampleRate / STEP_LINE_HZ))) : 0;
    if (!(step > 0.0) || !(sampleRate > 0.0) || count < 4 * period)
        return r;

    Edges edges;
    r.fault = findEdges(stimulus, count, bias, step, edges);
    if (!r.valid())
        return r;
    if (edges.rise - period < 0) {
        r.fault = Fault::TooLittleBefore;
        return r;
    }
    const int settledBeforeFall = edges.fall - period;
    if (settledBeforeFall <= edges.rise + 2) {
        r.fault = Fault::NotSettled;
        return r;
    }

    // First guess: whole line periods before the rise and before the fall give
    // the two levels and the line; the rise then is found on the cleaned,
    // evenly smoothed response.
    std::vector<double> y(response.begin(), response.begin() + count);
    const Line line(count, sampleRate);
    const int beforeRise = edges.rise - period, beforeFall = edges.fall - period;
    const double low = mean(y, beforeRise, edges.rise), high = mean(y, beforeFall, edges.fall);
    double lineSine = 0.0, lineCosine = 0.0;
    for (int k = beforeRise; k < edges.rise; ++k) {
        lineSine += (y[size_t(k)] - low) * line.sine[size_t(k)];
        lineCosine += (y[size_t(k)] - low) * line.cosine[size_t(k)];
    }
    for (int k = beforeFall; k < edges.fall; ++k) {
        lineSine += (y[size_t(k)] - high) * line.sine[size_t(k)];
        lineCosine += (y[size_t(k)] - high) * line.cosine[size_t(k)];
    }
    lineSine /= double(period);
    lineCosine /= double(period);
    if (!(high != low)) {
        r.fault = Fault::NoResponse;
        return r;
    }
    r.inverted = high < low;
    const double sign = r.inverted ? -1.0 : 1.0;
    for (double& v : y)
        v *= sign;
    std::vector<double> z(size_t(count), 0.0);
    for (int k = 0; k < count; ++k)
        z[size_t(k)] = (y[size_t(k)] - sign * (low + lineSine * line.sine[size_t(k)] +
                                               lineCosine * line.cosine[size_t(k)])) /
                       std::fabs(high - low);
    const int smoothing = 2 * std::max(1, int(sampleRate / 2000.0)) + 1;  // about 1 ms
    const double t10 = firstPassing(z, edges.rise, settledBeforeFall, 0.1, smoothing, edges.rise + 1.0);
    const double t90 = firstPassing(z, int(t10) + 1, settledBeforeFall, 0.9, smoothing, t10 + 1.0);
    const double tau0 = std::max(1.0, (t90 - t10) / LN_9);
    const double start0 = std::max(edges.riseAt, t10 - tau0 * LN_10_9);

    EdgeFit rise, fall;
    r.fault = fitSettledEdge(y, line, period, edges.rise, edges.riseAt, settledBeforeFall, start0, tau0, rise);
    if (!r.valid())
        return r;
    // What is left of the rise when the output falls belongs to the rise, not to the fall's level.
    Rise riseTail(beforeFall, rise.start, rise.tau);
    for (int k = beforeFall; k < count; ++k)
        y[size_t(k)] += rise.amplitude * (1.0 - riseTail.next());
    r.fault = fitSettledEdge(y, line, period, edges.fall, edges.fallAt, count,
                             edges.fallAt + (rise.start - edges.riseAt), rise.tau, fall);
    if (!r.valid())
        return r;

    // Both edges move the response the same way, each by more than one sample's noise.
    const double riseStep = rise.amplitude, fallStep = -fall.amplitude;
    auto noise = [](const EdgeFit& f) { return std::sqrt(f.sse / std::max(1, f.samples - 6)); };
    if (!(riseStep > noise(rise)) || !(fallStep > noise(fall))) {
        r.fault = Fault::NoResponse;
        return r;
    }

    r.dy = (riseStep + fallStep) / 2.0;
    r.lo = rise.level;
    r.hi = r.lo + r.dy;
    r.gain = r.dy / step;
    r.delay = ((rise.start - edges.riseAt) + (fall.start - edges.fallAt)) / 2.0 / sampleRate;
    r.timeConstant = (rise.tau + fall.tau) / 2.0 / sampleRate;
    r.deadTime = r.delay + r.timeConstant * LN_10_9;
    r.settlingTime = r.timeConstant * LN_9;
    r.edgeTime = edges.riseAt / sampleRate;
    r.fallTime = edges.fallAt / sampleRate;
    r.time10 = r.edgeTime + r.deadTime;
    r.time90 = r.time10 + r.settlingTime;
    return r;
}
