#include "LockInFit.h"

#include <algorithm>
#include <cmath>

namespace LockInFit {

namespace {

constexpr double PI = 3.141592653589793;
constexpr int MAX_LINES = 6;
// A line's peak stands this far above the mean noise power around it; white
// noise alone gets there in a bin with a chance of about e^-40.
constexpr double LINE_POWER_RATIO = 40.0;
// Lines are looked for from this many resolutions above 0 Hz: below, the
// baseline takes the drift.
constexpr double LOWEST_LINE_RESOLUTIONS = 4.0;
// ... and up to this share of the sample rate.
constexpr double HIGHEST_LINE_SHARE = 0.45;
// A peak smaller than this share of the signal is arithmetic, not a disturbance.
constexpr double MIN_RELATIVE_AMPLITUDE = 1e-6;
// A line's frequency is refined only when its amplitude stands out of its own error.
constexpr double REFINE_SIGNIFICANCE = 5.0;
constexpr int REFINE_ITERATIONS = 8;
// Lines are refined within this many resolutions of the excitation.
constexpr double REFINED_WITHIN_RESOLUTIONS = 10.0;
// How far a line may move during a sweep (mains wanders by millihertz in a minute) ...
constexpr double LINE_WANDER_HZ = 0.005;
// ... and the phase that this, or the error of its frequency, may turn it by over a record unrefined.
constexpr double REFINE_PHASE_RAD = 0.05;
// A line is fitted when what it could leave in the response exceeds this share.
constexpr double RELEVANT_LEAKAGE = 1e-3;
// Normal equations worse conditioned than this give no usable errors.
constexpr double MIN_RCOND = 1e-13;

struct Record
{
    const arma::vec& y;
    const arma::vec* a;
    const arma::vec* b;
    double rate;
    double seconds;
    arma::vec t;    // seconds from the record's centre
    arma::vec tau;  // the same, -1 to 1
    int degree;
    bool excitation;
    bool modulation;

    int firstLineColumn() const { return degree + 1 + (excitation ? 2 : 0) + (modulation ? 2 : 0); }
    int excitationColumn() const { return degree + 1; }
    int modulationColumn() const { return degree + 3; }
};

struct Solution
{
    bool ok = false;
    arma::vec beta;
    arma::vec residual;
    double rss = 0.0;
};

// Baseline: a polynomial in time, of higher degree over longer records, whose
// drift bends more.
int baselineDegree(double seconds) { return seconds > 2.0 ? 4 : 2; }

void setLineColumns(const Record& r, arma::mat& x, size_t line, double hz)
{
    const arma::uword c = arma::uword(r.firstLineColumn()) + 2 * line;
    const double w = 2.0 * PI * hz;
    double* sine = x.colptr(c);
    double* cosine = x.colptr(c + 1);
    for (arma::uword k = 0; k < r.t.n_elem; ++k) {
        sine[k] = std::sin(w * r.t[k]);
        cosine[k] = std::cos(w * r.t[k]);
    }
}

arma::mat design(const Record& r, const std::vector<double>& lineHz)
{
    const arma::uword n = r.y.n_elem;
    arma::mat x(n, arma::uword(r.firstLineColumn()) + 2 * lineHz.size(), arma::fill::none);
    // Legendre polynomials: well conditioned on -1..1.
    x.col(0).ones();
    if (r.degree >= 1)
        x.col(1) = r.tau;
    for (int k = 1; k < r.degree; ++k)
        x.col(arma::uword(k + 1)) =
            ((2.0 * k + 1.0) * r.tau % x.col(arma::uword(k)) - double(k) * x.col(arma::uword(k - 1))) / (k + 1.0);
    if (r.excitation) {
        x.col(arma::uword(r.excitationColumn())) = *r.a;
        x.col(arma::uword(r.excitationColumn() + 1)) = *r.b;
        if (r.modulation) {
            x.col(arma::uword(r.modulationColumn())) = r.tau % *r.a;
            x.col(arma::uword(r.modulationColumn() + 1)) = r.tau % *r.b;
        }
    }
    for (size_t l = 0; l < lineHz.size(); ++l)
        setLineColumns(r, x, l, lineHz[l]);
    return x;
}

// The normal equations of [x d] (d may have no columns), scaled to a unit
// diagonal; false when a column is empty or they are too badly conditioned.
// Built block by block: the design has few columns and many rows.
bool scaledNormal(const arma::mat& x, const arma::mat& d, arma::mat& normal, arma::vec& norms)
{
    if (d.n_cols == 0) {
        normal = x.t() * x;
    } else {
        const arma::mat xd = x.t() * d;
        normal = arma::join_cols(arma::join_rows(x.t() * x, xd), arma::join_rows(xd.t(), d.t() * d));
    }
    norms = arma::sqrt(normal.diag());
    if (!norms.is_finite() || arma::any(norms <= 0.0))
        return false;
    normal /= norms * norms.t();
    return arma::rcond(normal) > MIN_RCOND;
}

// The coefficients of [x d] that fit y best.
bool coefficients(const arma::mat& x, const arma::mat& d, const arma::vec& y, arma::vec& beta)
{
    arma::mat normal;
    arma::vec norms;
    if (!scaledNormal(x, d, normal, norms))
        return false;
    arma::vec rhs = x.t() * y;
    if (d.n_cols)
        rhs = arma::join_cols(rhs, arma::vec(d.t() * y));
    arma::vec scaled;
    if (!arma::solve(scaled, normal, arma::vec(rhs / norms), arma::solve_opts::likely_sympd) || !scaled.is_finite())
        return false;
    beta = scaled / norms;
    return true;
}

// Least squares through the normal equations; the columns (polynomials,
// references, sinusoids) are far from parallel.
Solution leastSquares(const arma::mat& x, const arma::vec& y)
{
    Solution s;
    if (!coefficients(x, arma::mat(), y, s.beta))
        return s;
    s.residual = y - x * s.beta;
    s.rss = arma::dot(s.residual, s.residual);
    s.ok = std::isfinite(s.rss);
    return s;
}

// The derivative of the model by each refined line's frequency.
arma::mat frequencyColumns(const Record& r, const std::vector<double>& lineHz, const std::vector<bool>& refined,
                           const arma::vec& beta)
{
    arma::uword count = 0;
    for (bool on : refined)
        count += on ? 1 : 0;
    arma::mat d(r.y.n_elem, count, arma::fill::none);
    arma::uword k = 0;
    for (size_t l = 0; l < lineHz.size(); ++l) {
        if (!refined[l])
            continue;
        const arma::uword c = arma::uword(r.firstLineColumn()) + 2 * l;
        const double w = 2.0 * PI * lineHz[l];
        double* out = d.colptr(k++);
        for (arma::uword i = 0; i < r.t.n_elem; ++i) {
            const double t = r.t[i];
            out[i] = 2.0 * PI * t * (beta[c] * std::cos(w * t) - beta[c + 1] * std::sin(w * t));
        }
    }
    return d;
}

// sigma^2 (J'J)^-1 of the full Jacobian [x d]; false when it is too badly conditioned.
bool covarianceOf(const arma::mat& x, const arma::mat& d, double rss, arma::mat& covariance)
{
    const arma::uword n = x.n_rows;
    const arma::uword p = x.n_cols + d.n_cols;
    arma::mat normal;
    arma::vec norms;
    if (n <= p || !scaledNormal(x, d, normal, norms))
        return false;
    arma::mat inverse;
    if (!arma::inv_sympd(inverse, normal))
        return false;
    const double sigma2 = rss / double(n - p);
    covariance = sigma2 * (inverse / (norms * norms.t()));
    return covariance.is_finite();
}

// Which lines stand out enough for their frequency to be refined.
std::vector<bool> significantLines(const Record& r, const arma::mat& x, const Solution& s, size_t lines)
{
    std::vector<bool> refined(lines, false);
    arma::mat covariance;
    if (!covarianceOf(x, arma::mat(), s.rss, covariance))
        return refined;
    for (size_t l = 0; l < lines; ++l) {
        const arma::uword c = arma::uword(r.firstLineColumn()) + 2 * l;
        const double amplitude = std::hypot(s.beta[c], s.beta[c + 1]);
        const double error = std::sqrt(0.5 * (covariance(c, c) + covariance(c + 1, c + 1)));
        refined[l] = amplitude > REFINE_SIGNIFICANCE * error;
    }
    return refined;
}

// Gauss-Newton on the frequencies of the lines `refined` allows and that stand
// out of their errors (`refined` then says which); the rest of the model is linear.
void refineFrequencies(const Record& r, std::vector<double>& lineHz, std::vector<bool>& refined)
{
    const std::vector<bool> allowed = refined;
    const double maxStep = 0.25 / r.seconds;
    arma::mat x = design(r, lineHz);
    Solution s = leastSquares(x, r.y);
    if (!s.ok)
        return;
    refined = significantLines(r, x, s, lineHz.size());
    for (size_t l = 0; l < refined.size(); ++l)
        refined[l] = refined[l] && l < allowed.size() && allowed[l];
    for (int iteration = 0; iteration < REFINE_ITERATIONS; ++iteration) {
        const arma::mat d = frequencyColumns(r, lineHz, refined, s.beta);
        arma::vec step;
        if (d.n_cols == 0 || !coefficients(x, d, s.residual, step))
            return;
        std::vector<double> delta(lineHz.size(), 0.0);
        arma::uword k = x.n_cols;
        double largest = 0.0;
        for (size_t l = 0; l < lineHz.size(); ++l) {
            if (!refined[l])
                continue;
            delta[l] = std::clamp(step[k++], -maxStep, maxStep);
            largest = std::max(largest, std::fabs(delta[l]));
        }
        // Halve the step until it lowers the residual.
        bool improved = false;
        for (int halving = 0; halving < 5 && !improved; ++halving) {
            for (size_t l = 0; l < lineHz.size(); ++l)
                if (delta[l] != 0.0)
                    setLineColumns(r, x, l, lineHz[l] + delta[l]);
            const Solution t = leastSquares(x, r.y);
            if (t.ok && t.rss <= s.rss) {
                for (size_t l = 0; l < lineHz.size(); ++l)
                    lineHz[l] += delta[l];
                s = t;
                improved = true;
            }
            for (double& v : delta)
                v *= 0.5;
        }
        if (!improved) {
            for (size_t l = 0; l < lineHz.size(); ++l)
                setLineColumns(r, x, l, lineHz[l]);
            return;
        }
        if (largest * r.seconds < 1e-7)
            return;
    }
}

struct Peak
{
    double hz;
    double amplitude;
    double power;
};

bool nearAny(double hz, const std::vector<double>& others, double distance)
{
    return std::any_of(others.begin(), others.end(), [&](double o) { return std::fabs(o - hz) < distance; });
}

double medianOf(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The residual's power spectrum through a Hann window, at least twice as fine
// as the record resolves.
struct Periodogram
{
    std::vector<double> power;  // bins 0 to nfft / 2
    double binHz = 0.0;
    double windowSum = 0.0;
    double windowSquares = 0.0;
    double seconds = 0.0;

    Periodogram(const arma::vec& residual, double rate)
    {
        const arma::uword n = residual.n_elem;
        if (n < 64)
            return;
        arma::uword nfft = 1;
        while (nfft < 2 * n)
            nfft <<= 1;
        const arma::vec window =
            0.5 - 0.5 * arma::cos((2.0 * PI / double(n - 1)) * arma::regspace<arma::vec>(0, n - 1));
        const arma::cx_vec spectrum = arma::fft(arma::vec(window % residual), nfft);
        power.resize(nfft / 2 + 1);
        for (size_t j = 0; j < power.size(); ++j)
            power[j] = std::norm(spectrum[arma::uword(j)]);
        binHz = rate / double(nfft);
        windowSum = arma::accu(window);
        windowSquares = arma::accu(arma::square(window));
        seconds = double(n) / rate;
    }

    size_t bin(double hz) const { return size_t(std::max(0.0, std::round(hz / binHz))); }
    size_t bins(double resolutions) const { return size_t(std::ceil(resolutions / seconds / binHz)); }

    // The mean noise power over [from, to), by its median: robust to what lines
    // are left. White noise's power is exponential in each bin, with its median
    // ln 2 times its mean.
    double noiseBetween(size_t from, size_t to) const
    {
        std::vector<double> values;
        for (size_t k = from; k < std::min(to, power.size()); ++k)
            values.push_back(power[k]);
        if (values.size() < 8)
            return -1.0;
        return medianOf(values) / std::log(2.0);
    }
};

// Narrow peaks that stand out of the noise on both sides of them.
std::vector<Peak> findPeaks(const Periodogram& p, double rate, double scale)
{
    std::vector<Peak> peaks;
    if (p.power.empty() || !(scale > 0.0))
        return peaks;
    const size_t lo = p.bin(LOWEST_LINE_RESOLUTIONS / p.seconds);
    const size_t hi = std::min(p.power.size() - 1, p.bin(HIGHEST_LINE_SHARE * rate));
    if (hi < lo + 32)
        return peaks;
    // The Hann window's main lobe spans two resolutions either side.
    const size_t lobe = std::max<size_t>(1, p.bins(2.0));
    const size_t exclude = std::max(lobe + 1, p.bins(3.0));
    const size_t side = p.bins(8.0);
    for (size_t j = lo + 1; j < hi; ++j) {
        const double power = p.power[j];
        if (!(power > 0.0))
            continue;
        bool top = true;
        for (size_t k = (j > lo + lobe ? j - lobe : lo); k <= std::min(hi, j + lobe) && top; ++k)
            top = k == j || p.power[k] < power || (p.power[k] == power && k > j);
        if (!top || j < lo + exclude + side / 2 || j + exclude + side / 2 > hi)
            continue;
        // Both sides: a spectrum that falls (drift) makes no peak of its slope.
        const double below = p.noiseBetween(std::max(lo, j - exclude - side), j - exclude);
        const double above = p.noiseBetween(j + exclude + 1, std::min(hi, j + exclude + side) + 1);
        if (!(below > 0.0 && above > 0.0) || !(power > LINE_POWER_RATIO * std::max(below, above)))
            continue;
        const double amplitude = 2.0 * std::sqrt(power) / p.windowSum;
        if (!(amplitude > MIN_RELATIVE_AMPLITUDE * scale))
            continue;
        // The top of the lobe, from a parabola through the logarithms.
        double offset = 0.0;
        const double l0 = std::log(p.power[j - 1]), l1 = std::log(power), l2 = std::log(p.power[j + 1]);
        const double curve = l0 - 2.0 * l1 + l2;
        if (std::isfinite(curve) && curve < 0.0)
            offset = std::clamp(0.5 * (l0 - l2) / curve, -0.5, 0.5);
        peaks.push_back({(double(j) + offset) * p.binHz, amplitude, power});
    }
    std::sort(peaks.begin(), peaks.end(), [](const Peak& x, const Peak& y) { return x.power > y.power; });
    return peaks;
}

// How much more noise lies around `hz` than the record holds on average: the
// response's errors come from the noise at its own frequency, and drift and
// the like make it rise towards low frequencies. From the noise just below and
// just above it (their geometric mean: right for a spectrum that falls as a
// power of the frequency), or from one side where the record has no other;
// never below 1.
double localNoiseFactor(const Periodogram& p, double hz, double rate, const std::vector<double>& lineHz)
{
    if (p.power.empty())
        return 1.0;
    // Below two resolutions the baseline has taken the noise out.
    const size_t lo = std::max<size_t>(1, p.bins(2.0));
    const size_t hi = std::min(p.power.size() - 1, p.bin(HIGHEST_LINE_SHARE * rate));
    const size_t centre = p.bin(hz);
    // The fit takes out what lies within a resolution of the excitation.
    const size_t exclude = p.bins(1.5);
    const size_t side = p.bins(6.0);
    std::vector<double> below, above, all;
    for (size_t k = lo; k <= hi; ++k) {
        if (nearAny(double(k) * p.binHz, lineHz, 3.0 / p.seconds))
            continue;
        all.push_back(p.power[k]);
        if (k + exclude < centre && k + exclude + side >= centre)
            below.push_back(p.power[k]);
        else if (k > centre + exclude && k <= centre + exclude + side)
            above.push_back(p.power[k]);
    }
    if (all.size() < 8)
        return 1.0;
    const double overall = medianOf(all);
    if (!(overall > 0.0))
        return 1.0;
    constexpr size_t FEWEST = 4;
    double local = 0.0;
    if (below.size() >= FEWEST && above.size() >= FEWEST)
        local = std::sqrt(medianOf(below) * medianOf(above));
    else if (below.size() >= FEWEST)
        local = medianOf(below);
    else if (above.size() >= FEWEST)
        local = medianOf(above);
    return std::max(1.0, local / overall);
}

}  // namespace

double Fit::responseAmplitude() const { return std::hypot(inPhase, quadrature); }

double Fit::magnitudeErrorDb() const
{
    const double m = responseAmplitude();
    if (!ok || !(m > 0.0))
        return HUGE_VAL;
    const double gi = inPhase / m, gq = quadrature / m;
    const double variance = gi * gi * varInPhase + 2.0 * gi * gq * covariance + gq * gq * varQuadrature;
    return 20.0 / std::log(10.0) * std::sqrt(std::max(0.0, variance)) / m;
}

double Fit::phaseErrorDegrees() const
{
    const double m = responseAmplitude();
    if (!ok || !(m > 0.0))
        return HUGE_VAL;
    const double hi = -quadrature / (m * m), hq = inPhase / (m * m);
    const double variance = hi * hi * varInPhase + 2.0 * hi * hq * covariance + hq * hq * varQuadrature;
    return std::sqrt(std::max(0.0, variance)) * 180.0 / PI;
}

Fit fit(const arma::vec& signal, const arma::vec* refA, const arma::vec* refB, double rateHz,
        const Settings& settings)
{
    Fit result;
    const arma::uword n = signal.n_elem;
    const bool excitation = settings.excitationHz > 0.0;
    if (n < 16 || !(rateHz > 0.0) || !signal.is_finite())
        return result;
    if (excitation && (!refA || !refB || refA->n_elem != n || refB->n_elem != n || !refA->is_finite() ||
                       !refB->is_finite()))
        return result;

    const double seconds = double(n) / rateHz;
    Record r{signal,
             refA,
             refB,
             rateHz,
             seconds,
             (arma::regspace<arma::vec>(0, n - 1) - 0.5 * double(n - 1)) / rateHz,
             arma::vec(),
             baselineDegree(seconds),
             excitation,
             excitation && settings.modulation};
    r.tau = r.t * (2.0 / seconds);
    result.durationS = seconds;
    const double resolution = resolutionHz(seconds);
    const double lowest = LOWEST_LINE_RESOLUTIONS * resolution;
    const double highest = HIGHEST_LINE_SHARE * rateHz;

    // Baseline and response alone: the response's size, and what is left for lines.
    Solution s = leastSquares(design(r, {}), signal);
    if (!s.ok)
        return result;
    const double response = excitation ? std::hypot(s.beta[arma::uword(r.excitationColumn())],
                                                    s.beta[arma::uword(r.excitationColumn() + 1)])
                                       : 0.0;
    // A line matters when what it could leave in the response, about its share
    // over pi times its distance in resolutions, is not negligible.
    const auto matters = [&](const Line& line) {
        if (!excitation)
            return true;
        if (!line.amplitudeKnown || !(response > 0.0))
            return true;
        const double distance = std::max(std::fabs(line.hz - settings.excitationHz), resolution) * seconds;
        return line.amplitude / response / (PI * distance) > RELEVANT_LEAKAGE;
    };

    // Of what the baseline and the response leave: where lines are, and the noise around the excitation.
    const Periodogram leftOver(s.residual, rateHz);
    std::vector<Line> candidates;
    for (const Line& known : settings.knownLines)
        candidates.push_back(known);
    if (settings.searchLines) {
        const double scale = std::max(arma::stddev(signal), response);
        for (const Peak& peak : findPeaks(leftOver, rateHz, scale))
            candidates.push_back({peak.hz, peak.amplitude, resolution, true});
    }

    std::vector<double> lineHz;
    std::vector<Line> lineInfo;
    std::vector<bool> refined;
    for (const Line& candidate : candidates) {
        const bool near = excitation && std::fabs(candidate.hz - settings.excitationHz) < resolution;
        if (near) {
            // A line the fit cannot tell from the response. Of one found here the
            // search saw only what the response left: its size is at least that.
            if (std::none_of(result.unresolved.begin(), result.unresolved.end(),
                             [&](const Line& u) { return std::fabs(u.hz - candidate.hz) < resolution; }))
                result.unresolved.push_back(candidate);
            continue;
        }
        if (candidate.hz < lowest || candidate.hz > highest || nearAny(candidate.hz, lineHz, resolution) ||
            int(lineHz.size()) >= MAX_LINES || !matters(candidate))
            continue;
        lineHz.push_back(candidate.hz);
        lineInfo.push_back(candidate);
        // A frequency is refined where its error would turn the line's phase
        // noticeably over the record, and near the excitation only: there a
        // wrong line moves the response. Refining a well-known frequency on a
        // short record only adds the record's noise to it.
        const double uncertain = std::max(candidate.hzError, LINE_WANDER_HZ);
        refined.push_back(2.0 * PI * uncertain * seconds > REFINE_PHASE_RAD &&
                          (!excitation || std::fabs(candidate.hz - settings.excitationHz) * seconds <
                                              REFINED_WITHIN_RESOLUTIONS));
    }

    if (!lineHz.empty()) {
        refineFrequencies(r, lineHz, refined);
        // A line the refinement moved next to the excitation, or onto another, cannot be resolved.
        for (size_t l = 0; l < lineHz.size();) {
            const bool onExcitation = excitation && std::fabs(lineHz[l] - settings.excitationHz) < resolution;
            std::vector<double> others = lineHz;
            others.erase(others.begin() + std::ptrdiff_t(l));
            if (onExcitation || nearAny(lineHz[l], others, 0.5 * resolution)) {
                if (onExcitation) {
                    Line u = lineInfo[l];
                    u.hz = lineHz[l];
                    u.amplitudeKnown = false;
                    result.unresolved.push_back(u);
                }
                lineHz.erase(lineHz.begin() + std::ptrdiff_t(l));
                lineInfo.erase(lineInfo.begin() + std::ptrdiff_t(l));
                refined.erase(refined.begin() + std::ptrdiff_t(l));
            } else {
                ++l;
            }
        }
        s = leastSquares(design(r, lineHz), signal);
        if (!s.ok)
            return result;
    }

    const arma::mat x = design(r, lineHz);
    if (refined.size() != lineHz.size())
        refined.assign(lineHz.size(), false);
    const arma::mat d = frequencyColumns(r, lineHz, refined, s.beta);
    arma::mat covariance;
    const bool determined = covarianceOf(x, d, s.rss, covariance);
    result.residualRms = std::sqrt(s.rss / double(n));

    arma::uword k = x.n_cols;
    for (size_t l = 0; l < lineHz.size(); ++l) {
        const arma::uword c = arma::uword(r.firstLineColumn()) + 2 * l;
        Line line = lineInfo[l];
        line.hz = lineHz[l];
        line.amplitude = std::hypot(s.beta[c], s.beta[c + 1]);
        line.amplitudeKnown = true;
        // Unrefined, a line keeps the frequency, and the error, it came with.
        if (refined[l]) {
            if (determined)
                line.hzError = std::sqrt(std::max(0.0, covariance(k, k)));
            ++k;
        }
        result.lines.push_back(line);
    }

    if (!excitation)
        return result;
    const arma::uword e = arma::uword(r.excitationColumn());
    result.inPhase = s.beta[e];
    result.quadrature = s.beta[e + 1];
    if (!determined)
        return result;
    // The response and its change are narrow-band: their errors scale with the noise at the excitation.
    result.noiseFactor = localNoiseFactor(leftOver, settings.excitationHz, rateHz, lineHz);
    covariance *= result.noiseFactor;
    result.varInPhase = covariance(e, e);
    result.varQuadrature = covariance(e + 1, e + 1);
    result.covariance = covariance(e, e + 1);
    result.ok = true;
    if (r.modulation) {
        const arma::uword m = arma::uword(r.modulationColumn());
        const arma::vec2 change{s.beta[m], s.beta[m + 1]};
        const arma::mat22 changeCovariance = covariance.submat(m, m, m + 1, m + 1);
        arma::mat22 inverse;
        if (arma::inv_sympd(inverse, changeCovariance))
            result.modulationChi2 = arma::as_scalar(change.t() * inverse * change);
        const double amplitude = result.responseAmplitude();
        result.modulationRelative = amplitude > 0.0 ? arma::norm(change) / amplitude : HUGE_VAL;
    }
    return result;
}

}  // namespace LockInFit
