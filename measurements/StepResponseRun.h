#pragma once
// One step-response run against the controller: the display stream raised to
// 50000 samples per second, the outputs taken from the feedback, the
// low-high-low step written, one block of the stream read, and the outputs, the
// display rate and filter and SAMP_FREQ handed back as they were found.
#include <QCoreApplication>
#include <QStringList>

#include <cstddef>
#include <vector>

#include "DisplaySnapshot.h"
#include "StepStimulus.h"
#include "VornRecords.h"

class MeasurementClock;

struct StepRunOutcome
{
    std::vector<DisplayRecord> records;  // the whole block, when every call succeeded
    QStringList problems;                // each failed call, in order, for the operator
    QString displayOpenError;            // set when the display device could not be opened
    bool ok() const { return problems.isEmpty() && displayOpenError.isEmpty(); }
};

class StepResponseRun
{
    Q_DECLARE_TR_FUNCTIONS(StepResponseRun)

public:
    static constexpr int SAMPLE_RATE = 50000;
    static constexpr size_t READ_RECORDS = DISPLAY_SNAPSHOT_RECORDS;  // 3670016 bytes
    // Low, high, low: how long each record stands before the next one. The block
    // read at the end spans 287 ms; a tail that leaves the fall about 60 ms to
    // settle puts the rise 97 ms into the block, so that a read that comes late
    // on a loaded machine still holds a settled stretch before it.
    static constexpr long LOW_US = 100000;
    static constexpr long HIGH_US = 100000;
    static constexpr long TAIL_US = 90000;

    // The caller holds the outputs. Every failure is logged at Warn level and
    // ends the step sequence; what was changed is put back all the same.
    static StepRunOutcome run(const StepStimulus& stimulus, MeasurementClock& clock);
};
