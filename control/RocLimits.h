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

// The ROC half-width of an ROI half-width at a percentage of it.
inline double rocHalfWidth(double roi, double rocPercent)
{
    return rocPercent / 100.0 * roi;
}

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
// separator. Text that does not convert gives 0.
double beamOffThreshold(const QString& shownText);

}  // namespace RocLimits
