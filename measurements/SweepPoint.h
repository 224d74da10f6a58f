#pragma once
// Whether one frequency of a sweep is measured well enough to be shown: the
// disturbance lines the sweep has seen so far, and the judgement of a record's
// fit against them, against the change of the response across the record and
// against the fit's own errors.
#include <QString>

#include <vector>

#include "LockInFit.h"

namespace SweepPoint {

// A point is shown as measured when three standard errors stay within these.
constexpr double MAX_ERROR_DB = 0.5;
constexpr double MAX_ERROR_DEGREES = 3.0;
constexpr double ERROR_COVERAGE = 3.0;
// A response that changes across the record by more than this many standard
// errors (chi-square of two degrees of freedom) is not steady...
constexpr double CHANGE_CHI2 = 36.0;
// ... unless the change is below the arithmetic's own.
constexpr double CHANGE_FLOOR = 1e-4;

// A line of this share of the response, left in it, moves the point by at most
// a third of the limits above.
double negligibleLineShare();

// The disturbance lines seen during one sweep, each as precise as the longest
// record that showed it.
class Lines
{
public:
    // `recordS`: how long the record was that showed `found`.
    void merge(const std::vector<LockInFit::Line>& found, double recordS);
    std::vector<LockInFit::Line> all() const;

private:
    struct Seen
    {
        LockInFit::Line line;
        double recordS;
    };
    std::vector<Seen> m_lines;
};

enum class Verdict { Measured, NeedsLongerRecord, Unreliable };

struct Assessment
{
    Verdict verdict = Verdict::Unreliable;
    // For the operator, when not measured: what the record cannot tell.
    QString reason;
};

// `value` is the fit whose response would be shown, `check` the fit of the same
// excitation with the change across the record (it may cover more records).
// `longerRecordS` is how long a record the sweep could still take at this
// frequency; 0 when none.
Assessment assess(const LockInFit::Fit& value, const LockInFit::Fit& check, double excitationHz,
                  double longerRecordS);

}  // namespace SweepPoint
