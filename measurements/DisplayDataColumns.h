#pragma once
// The eighteen columns of a saved display-data file, in the file's column order,
// and the column line and rows built from them.
#include <QString>

#include <array>

#include "VornRecords.h"

namespace DisplayDataColumns {

enum Column {
    Zentrim1Ch1, Zentrim1Ch2, Zentrim1Ch3, Zentrim1Ch4,
    Zentrim2Ch1, Zentrim2Ch2, Zentrim2Ch3, Zentrim2Ch4,
    Bpm1PosX, Bpm1PosY, Bpm1I0,
    Bpm2PosX, Bpm2PosY, Bpm2I0,
    OrvaneCh1, OrvaneCh2, OrvaneCh3, OrvaneCh4,
    COUNT
};

using Flags = std::array<bool, COUNT>;

QString name(Column column);
// Positions scaled by their BPM's POS_SCALE_X and POS_SCALE_Y; the rest as read.
double value(const DisplayRecord& record, Column column);

// "Nr, ", "Rel. time, ", each chosen column's name and ", ", then "\r\n".
QString columnHeader(const Flags& flags);
// Row i: i, its time i / sampleHz (single precision), each chosen value, each
// followed by ", ", then "\r\n".
QString dataRow(const DisplayRecord& record, unsigned i, const Flags& flags, int sampleHz);

}  // namespace DisplayDataColumns
