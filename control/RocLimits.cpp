#include "RocLimits.h"

#include <cmath>

namespace RocLimits {

double unitFactor(const QString& unit)
{
    if (unit == QLatin1String(UNIT_MICRO))
        return AMPERES_PER_MICRO;
    if (unit == QLatin1String(UNIT_NANO))
        return AMPERES_PER_NANO;
    return 0.0;
}

ShownCurrent shownCurrent(double amperes, int decimals)
{
    const double micro = amperes / AMPERES_PER_MICRO;
    // At or above 1 uA the nanoampere field (up to 1000) could not hold it anyway.
    if (amperes <= 0.0 || micro >= 1.0)
        return {micro, QString::fromLatin1(UNIT_MICRO)};
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(micro * scale) / scale;
    if (std::fabs(rounded - micro) <= 1e-9 * micro)
        return {micro, QString::fromLatin1(UNIT_MICRO)};
    return {amperes / AMPERES_PER_NANO, QString::fromLatin1(UNIT_NANO)};
}

namespace {
// The decimal text with a power of ten: read in one step, the nearest double to what was typed.
double scaledDecimal(const QString& number, int exponent)
{
    bool ok = false;
    const double value = (number + QStringLiteral("e%1").arg(exponent)).toDouble(&ok);
    return ok ? value : 0.0;
}
}  // namespace

double amperes(double shown, int decimals, const QString& unit)
{
    const QString number = QString::number(shown, 'f', decimals);
    if (unit == QLatin1String(UNIT_MICRO))
        return scaledDecimal(number, -6);
    if (unit == QLatin1String(UNIT_NANO))
        return scaledDecimal(number, -9);
    return 0.0;
}

double beamOffThreshold(const QString& shownText)
{
    QString number = shownText.section(QLatin1Char('u'), 0, 0);
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    // QString::toDouble reads the C locale; anything it cannot read gives 0.
    number = number.trimmed();
    if (number.isEmpty())
        return 0.0;
    return scaledDecimal(number, -6);
}

}  // namespace RocLimits
