#pragma once
// Least-squares model of a whole low-high-low step record, k counting samples:
//     y(k) = baseline(k) + slope * x(k) + a sin(w k) + b cos(w k) + settling * exp(-k / riseTau)
//            + riseAmplitude * g(k; riseStart, riseTau) + fallAmplitude * g(k; fallStart, fallTau),
//     g(k; s, tau) = 0 before s, 1 - exp(-(k - s) / tau) after it,
// x running from -1 to 1 over the record and w the mains line's phase step.
// The settling term is the plant still answering what the outputs did before
// the record began (a bias just set, a loop just handed over).
// The two edges are fitted apart, so that their agreement can be judged.
//
// The beam's baseline wanders: besides white noise of variance sigma^2 each
// sample, it takes a random walk whose steps have variance rho sigma^2. The fit
// is weighted for that (generalised least squares: a Kalman filter of the
// wandering level whitens the residuals), with rho found by maximum likelihood
// from the record, so that a wandering baseline is neither taken for the step
// nor left out of the figures' uncertainties. The slope takes a steady drift.
#include <armadillo>

#include <array>
#include <vector>

class StepResponseFit
{
public:
    enum Parameter {
        Slope, LineSine, LineCosine,  // these columns depend on nothing
        Settling,
        RiseAmplitude, RiseStart, RiseTau,
        FallAmplitude, FallStart, FallTau,
        PARAMETERS
    };
    using Vector = std::array<double, PARAMETERS>;

    struct Edge
    {
        double amplitude = 0.0;
        double start = 0.0;  // samples from the record's first
        double tau = 1.0;    // samples
    };

    struct Setup
    {
        int count = 0;
        double lineRadiansPerSample = 0.0;
        // Where each edge's response may start.
        double riseEarliest = 0.0, riseLatest = 0.0;
        double fallEarliest = 0.0, fallLatest = 0.0;
    };

    // Fits from the guessed starts and time constants; the linear parameters are solved for.
    StepResponseFit(const std::vector<double>& y, const Setup& setup, const Edge& riseGuess, const Edge& fallGuess);

    bool converged() const { return m_converged; }
    double value(Parameter p) const { return m_p[size_t(p)]; }
    Edge rise() const { return {value(RiseAmplitude), value(RiseStart), value(RiseTau)}; }
    Edge fall() const { return {value(FallAmplitude), value(FallStart), value(FallTau)}; }
    // The baseline (level and drift) averaged over [from, to): the record
    // without the line and the responses.
    double levelOver(int from, int to) const;

    double whiteNoise() const { return m_sigma; }  // rms per sample
    double walkRatio() const { return m_rho; }     // the walk's step variance over sigma^2
    double strongestWalkRatio() const { return m_rhoUpper; }
    // Standard error of sum_i gradient[i] * parameter i, under the strongest walk
    // the record allows if that gives the larger.
    double standardError(const Vector& gradient) const;

private:
    struct Filter
    {
        std::vector<double> gain;   // Kalman gain of each sample
        std::vector<double> scale;  // 1 / sqrt(innovation variance), sigma^2 = 1
        double logDeterminant = 0.0;
    };
    static Filter filterFor(int count, double rho);
    void useFilter(Filter filter);
    // The innovations of x under `filter`, each of unit variance for unit sigma.
    static void whiten(const Filter& filter, const double* x, double* out);

    void fillConstantColumns();
    // The model at `p` without the baseline; its edge columns into `columns` when set.
    void model(const arma::vec& p, arma::vec& out, arma::mat* columns) const;
    // Sum of the whitened residuals' squares at `p`; their whitened Jacobian too when `jacobian` is set.
    double evaluate(const arma::vec& p, bool jacobian);
    void solveLinear(arma::vec& p);
    arma::vec project(arma::vec p) const;
    void levenbergMarquardt(arma::vec& p);
    // The walk ratio that makes the residuals at `p` most likely; the
    // strongest one still likely goes to m_rhoUpper.
    double likeliestWalk(const arma::vec& p);
    // Log-likelihood of the residuals under the walk ratio, sigma at its best.
    static double walkLikelihood(const arma::vec& residual, double rho);

    arma::vec m_y;         // about its mean
    double m_offset = 0.0;  // that mean
    Setup m_setup;
    Filter m_filter;
    bool m_whitenedConstant = false;  // the constant columns of m_whitened are of m_filter
    arma::mat m_columns;    // d model / d parameter, unweighted
    arma::mat m_whitened;   // the same, whitened
    arma::vec m_residual;   // whitened
    arma::mat m_covariance[2];  // of the parameters, under the likeliest and the strongest walk
    arma::vec m_p;
    std::vector<bool> m_held;  // parameters the record no longer moves
    double m_sigma = 0.0;
    double m_rho = 0.0;
    double m_rhoUpper = 0.0;
    bool m_converged = false;
};
