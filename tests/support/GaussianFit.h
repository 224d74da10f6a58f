#pragma once
// Fits y = height * exp(-(x - centre)^2 / (2 sigma^2)) to measured points, for
// tests that hold a scan's peak against the plant's constants. A weighted
// least-squares parabola through ln(y) over the points above a fraction of the
// maximum: exact for a clean Gaussian, and the weights y^2 keep the noisy tails
// from dominating.
#include <cmath>
#include <vector>

struct GaussianFitResult
{
    bool ok = false;
    double centre = 0.0;
    double sigma = 0.0;
    double height = 0.0;
};

inline GaussianFitResult fitGaussian(const std::vector<double>& x, const std::vector<double>& y,
                                     double minFractionOfMax = 0.1)
{
    GaussianFitResult result;
    if (x.size() != y.size() || x.size() < 3)
        return result;
    double maxY = 0.0;
    for (double v : y)
        maxY = std::max(maxY, v);
    if (!(maxY > 0.0))
        return result;

    // Normal equations of the weighted fit ln y = a + b u + c u^2, with u = x - x0
    // centred on the data for conditioning.
    double x0 = 0.0;
    int used = 0;
    for (size_t i = 0; i < x.size(); ++i)
        if (y[i] > minFractionOfMax * maxY) {
            x0 += x[i];
            ++used;
        }
    if (used < 3)
        return result;
    x0 /= used;

    double s[5] = {0, 0, 0, 0, 0};  // sums of w u^k, k = 0..4
    double t[3] = {0, 0, 0};        // sums of w u^k ln y, k = 0..2
    for (size_t i = 0; i < x.size(); ++i) {
        if (!(y[i] > minFractionOfMax * maxY))
            continue;
        const double u = x[i] - x0;
        const double w = y[i] * y[i];
        const double l = std::log(y[i]);
        double p = w;
        for (int k = 0; k < 5; ++k) {
            s[k] += p;
            if (k < 3)
                t[k] += p * l;
            p *= u;
        }
    }
    // Solve the 3x3 system by Cramer's rule.
    const double m[3][3] = {{s[0], s[1], s[2]}, {s[1], s[2], s[3]}, {s[2], s[3], s[4]}};
    auto det3 = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
               + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double d = det3(m);
    if (d == 0.0 || !std::isfinite(d))
        return result;
    double coef[3];
    for (int col = 0; col < 3; ++col) {
        double mc[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                mc[r][c] = (c == col) ? t[r] : m[r][c];
        coef[col] = det3(mc) / d;
    }
    const double a = coef[0], b = coef[1], c = coef[2];
    if (!(c < 0.0))
        return result;
    result.sigma = std::sqrt(-1.0 / (2.0 * c));
    result.centre = x0 - b / (2.0 * c);
    result.height = std::exp(a - b * b / (4.0 * c));
    result.ok = std::isfinite(result.sigma) && std::isfinite(result.centre) && std::isfinite(result.height);
    return result;
}
