#include "SweepPoint.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace SweepPoint {

namespace {

QString hz(double value) { return QString::number(value, 'f', value < 10.0 ? 3 : 2); }

QString tr(const char* text) { return QCoreApplication::translate("SweepPoint", text); }

struct Threat
{
    LockInFit::Line line;
    double share;  // of the response; infinite when its size is not known
};

}  // namespace

double negligibleLineShare()
{
    const double byMagnitude = std::pow(10.0, MAX_ERROR_DB / ERROR_COVERAGE / 20.0) - 1.0;
    const double byPhase = std::sin(MAX_ERROR_DEGREES / ERROR_COVERAGE * 3.141592653589793 / 180.0);
    return std::min(byMagnitude, byPhase);
}

void Lines::merge(const std::vector<LockInFit::Line>& found, double recordS)
{
    for (const LockInFit::Line& line : found) {
        if (!(line.hz > 0.0) || !(recordS > 0.0))
            continue;
        auto same = std::find_if(m_lines.begin(), m_lines.end(), [&](const Seen& s) {
            // Within half the coarser record's resolution: the coarser one could not have told them apart.
            return std::fabs(s.line.hz - line.hz) < 0.5 / std::min(s.recordS, recordS);
        });
        if (same == m_lines.end()) {
            m_lines.push_back({line, recordS});
            continue;
        }
        // The frequency from the longer record; the size from the newest record that knew it.
        if (recordS >= same->recordS) {
            const bool keepAmplitude = !line.amplitudeKnown && same->line.amplitudeKnown;
            const double amplitude = same->line.amplitude;
            same->line = line;
            same->recordS = recordS;
            if (keepAmplitude) {
                same->line.amplitude = amplitude;
                same->line.amplitudeKnown = true;
            }
        } else if (line.amplitudeKnown) {
            same->line.amplitude = line.amplitude;
            same->line.amplitudeKnown = true;
        }
    }
}

std::vector<LockInFit::Line> Lines::all() const
{
    std::vector<LockInFit::Line> lines;
    for (const Seen& s : m_lines)
        lines.push_back(s.line);
    return lines;
}

Assessment assess(const LockInFit::Fit& value, const LockInFit::Fit& check, double excitationHz,
                  double longerRecordS)
{
    Assessment a;
    if (!value.ok) {
        a.reason = tr("the record does not determine the response (no generator reference in it, or a degenerate "
                      "record)");
        return a;
    }
    const double response = value.responseAmplitude();
    const double negligible = negligibleLineShare();

    // Lines the value's record could not separate from the response, by size.
    std::vector<Threat> threats;
    for (const LockInFit::Fit* f : {&value, &check}) {
        for (const LockInFit::Line& line : f->unresolved) {
            const double share = line.amplitudeKnown && response > 0.0 ? line.amplitude / response : HUGE_VAL;
            if (!(share > negligible))
                continue;
            auto same = std::find_if(threats.begin(), threats.end(), [&](const Threat& t) {
                return std::fabs(t.line.hz - line.hz) < LockInFit::resolutionHz(value.durationS);
            });
            if (same == threats.end())
                threats.push_back({line, share});
            else if (share > same->share)
                same->share = share;
        }
    }
    // Lines the check resolved but the value's shorter record did not.
    for (const LockInFit::Line& line : check.lines) {
        if (std::fabs(line.hz - excitationHz) >= LockInFit::resolutionHz(value.durationS))
            continue;
        const double share = response > 0.0 ? line.amplitude / response : HUGE_VAL;
        if (share > negligible && std::none_of(threats.begin(), threats.end(), [&](const Threat& t) {
                return std::fabs(t.line.hz - line.hz) < LockInFit::resolutionHz(check.durationS);
            }))
            threats.push_back({line, share});
    }
    const bool changed = check.ok && check.modulationChi2 > CHANGE_CHI2 && check.modulationRelative > CHANGE_FLOOR;

    if (!threats.empty() || changed) {
        const double longer = LockInFit::resolutionHz(longerRecordS);
        bool separable = longerRecordS > value.durationS;
        for (const Threat& t : threats)
            separable = separable && std::fabs(t.line.hz - excitationHz) + 2.0 * t.line.hzError >= longer;
        if (separable) {
            a.verdict = Verdict::NeedsLongerRecord;
            return a;
        }
        if (!threats.empty()) {
            const Threat& worst = *std::max_element(
                threats.begin(), threats.end(), [](const Threat& x, const Threat& y) { return x.share < y.share; });
            const QString size = std::isfinite(worst.share)
                                     ? tr(" (%1 % of the response)").arg(QString::number(100.0 * worst.share, 'f', 0))
                                     : QString();
            // Named by the longest record the sweep could take here.
            const double seconds = std::max(longerRecordS, value.durationS);
            a.reason = tr("a disturbance line at %1 Hz%2 lies %3 Hz from the excitation, closer than a record of "
                          "%4 s can tell apart (%5 Hz)")
                           .arg(hz(worst.line.hz), size, hz(std::fabs(worst.line.hz - excitationHz)),
                                QString::number(seconds, 'f', 1), hz(LockInFit::resolutionHz(seconds)));
        } else {
            a.reason = tr("the response changed during the record: a disturbance lies too close to the excitation "
                          "frequency to be told apart");
        }
        return a;
    }

    const double errorDb = ERROR_COVERAGE * value.magnitudeErrorDb();
    const double errorDeg = ERROR_COVERAGE * value.phaseErrorDegrees();
    if (!std::isfinite(errorDb) || !std::isfinite(errorDeg)) {
        a.reason = tr("the measured position does not follow the output");
        return a;
    }
    if (!(errorDb <= MAX_ERROR_DB && errorDeg <= MAX_ERROR_DEGREES)) {
        a.reason = tr("the response stands too little above the noise: \u00b1%1 dB, \u00b1%2\u00b0 (three standard "
                      "errors)")
                       .arg(QString::number(errorDb, 'f', 2), QString::number(errorDeg, 'f', 1));
        return a;
    }
    a.verdict = Verdict::Measured;
    return a;
}

}  // namespace SweepPoint
