#pragma once
// One block of display records read straight from the display device, for the
// tools that save or analyse what the display stream holds at a moment. A run
// that reads it again and again keeps a DisplayReader open instead.
#include <QString>

#include <cstddef>
#include <vector>

#include "VornRecords.h"

struct DisplaySnapshot
{
    std::vector<DisplayRecord> records;  // the whole records that arrived, oldest first
    QString error;                       // empty when the block arrived in full
    bool openFailed = false;             // the device itself could not be opened

    bool complete() const { return error.isEmpty(); }
};

// 3670016 bytes: what direct readers of the display device ask for.
inline constexpr size_t DISPLAY_SNAPSHOT_RECORDS = 14336;

DisplaySnapshot readDisplaySnapshot(size_t records = DISPLAY_SNAPSHOT_RECORDS);
