#pragma once
// The arithmetic of the ROC/ROI limits, apart from the dialog that edits them:
// ROC half-widths, the I0 unit selectors and the beam-off field's text.
#include <QString>

namespace RocLimits {

// Items of an I0 unit selector, in their order.
inline constexpr const char* UNIT_MICRO = "uA";
inline constexpr const char* UNIT_NANO = "nA";
inline constexpr double AMPERES_PER_MICRO = 1e-6;
inline constexpr double AMPERES_PER_NANO = 1e-9;

// Amperes per unit of a selector item; 0 for any other text.
double unitFactor(const QString& unit);

// The ROC half-width of an ROI half-width at a percentage of it; the product
// first, so that 50 um at 110 % is 55 um exactly.
inline double rocHalfWidth(double roi, double rocPercent)
{
    return roi * rocPercent / 100.0;
}

// A field's number in a unit (1e-6 for "uA") as the amperes the operator typed:
// the decimal text with the unit's exponent, so that 200 uA is 0.0002 A and not
// 0.00019999999999999998. 0 for a unit that is none of the items.
double amperes(double shown, int decimals, const QString& unit);

// A stored current as an I0 field shows it: its number and the selector item
// that number is in.
struct ShownCurrent
{
    double value;
    QString unit;
};

// Microamperes wherever the field's decimals hold the value; a smaller value
// they would round away is shown in nanoamperes instead.
ShownCurrent shownCurrent(double amperes, int decimals);

// The threshold in amperes from the text the beam-off field shows, suffix
// included ("10.000 uA"), whether the locale writes "." or "," as the decimal
// separator, as typed (10.000 uA is 1e-05 A). Text that does not convert gives 0.
double beamOffThreshold(const QString& shownText);

}  // namespace RocLimits
