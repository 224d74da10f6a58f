#pragma once
// The frequency analysis window's export: one CSV file per sweep.
#include <QSharedPointer>
#include <QString>

#include <qcustomplot.h>

#include "MeasurementFileWriter.h"

namespace BodeExport {

// The chosen path without a final ".csv" (any case), then "_", the sweep's name and ".csv".
QString fileName(const QString& chosenPath, const QString& sweepName);

// The header line, by whether the positions were scaled to micrometres.
QString header(bool useBpmScaling);

// Header, then "frequency,magnitude,phase" per point, the two containers paired
// in order up to the shorter one. The file is replaced only once it is complete;
// the result gives the reason when it could not be written.
FileWriteResult write(const QString& path, bool useBpmScaling, const QCPGraphDataContainer& magnitude,
                      const QCPGraphDataContainer& phase);

}  // namespace BodeExport
