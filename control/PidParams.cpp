#include "PidParams.h"

#include <climits>
#include <cmath>

namespace PidRate {

int divider(int baseFreq, double freq)
{
    const double ratio = double(baseFreq) / freq;
    // The editors keep Freq within 1 to 1000 Hz; anything else must still not
    // give the controller a divider of 0 or an overflowed one.
    if (!(ratio >= 1.0))
        return 1;
    if (ratio >= double(INT_MAX))
        return INT_MAX;
    return int(std::lround(ratio));
}

float realFreq(int baseFreq, int divider)
{
    return float(baseFreq) / float(divider);
}

QString realFreqText(float realFreq)
{
    return QString::number(double(realFreq), 'f', 2) + QStringLiteral(" Hz");
}

}  // namespace PidRate
