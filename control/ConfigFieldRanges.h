#pragma once
// The range of the field that shows each stored number (by its key's name
// without the group, e.g. "Scale_X"), in the unit the file holds it in. The
// store gives any finite number the file holds; these say what the windows can
// show and use of it. The fields' own minimum and maximum are the same numbers.
#include <QString>

namespace ConfigFieldRanges {

// The ROC field's percentages of the ROI.
inline constexpr double ROC_PERCENT_MIN = 100.0;
inline constexpr double ROC_PERCENT_MAX = 1000.0;

// False for a key no field shows.
bool rangeOf(const QString& name, double* min, double* max);
// A value within its field's range; false for a key no field shows.
bool contains(const QString& name, double value);

}  // namespace ConfigFieldRanges
