#include "StepStimulus.h"

#include "VornRecords.h"

StepStimulus StepStimulus::build(const double bias[LOOPS], const double step[LOOPS], const int dacChannel[LOOPS],
                                 Loop selected, bool useBpm2)
{
    StepStimulus s;
    for (int loop = LoopX; loop < LOOPS; ++loop) {
        const int d = dacChannel[loop];
        s.channels[size_t(loop)] = d;
        if (d < 0 || d >= OUTPUT_CHANNELS)
            continue;
        s.low[size_t(d)] = bias[loop];
        s.high[size_t(d)] = bias[loop] + step[loop];
    }
    s.bias = bias[selected];
    s.step = step[selected];
    s.outputChannel = dacChannel[selected];
    s.stimulusWord = DisplayRecord::OUTPUT0 + s.outputChannel;
    // X, Y, intensity of BPM1 are words 0..2, of BPM2 words 4..6.
    s.responseWord = int(selected) + (useBpm2 ? DisplayRecord::BPM2_X : DisplayRecord::BPM1_X);
    return s;
}
