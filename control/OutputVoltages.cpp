#include "OutputVoltages.h"

#include <cmath>

#include "DacOutputsWriter.h"
#include "DisplayReader.h"

OutputVoltages readOutputVoltages()
{
    DisplayReader display;
    return readOutputVoltages(display);
}

OutputVoltages readOutputVoltages(DisplayReader& display)
{
    OutputVoltages result;
    DisplayRecord newest{};
    if (display.read(&newest, 1, result.error) != 1) {
        if (result.error.isEmpty())
            result.error = QStringLiteral("the display stream gave no record");
        return result;
    }
    for (int c = 0; c < 4; ++c) {
        const double v = newest.word[DisplayRecord::OUTPUT0 + c];
        if (!std::isfinite(v) || v < DAC_OUTPUT_MIN_V || v > DAC_OUTPUT_MAX_V) {
            result.error = QStringLiteral("Ch%1 reads %2 V, outside %3 to %4 V")
                               .arg(c + 1)
                               .arg(v)
                               .arg(DAC_OUTPUT_MIN_V)
                               .arg(DAC_OUTPUT_MAX_V);
            return result;
        }
        result.volts[size_t(c)] = v;
    }
    return result;
}
