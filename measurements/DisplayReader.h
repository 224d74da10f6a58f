#pragma once
// The display device, held open for one operation or one run (a frequency sweep
// reads it once per step). Every direct reader of the display stream goes through
// here, so that opening, reading and reporting a short read happen one way.
#include <QString>

#include <cstddef>

#include "VornRecords.h"

class DisplayReader
{
public:
    // Opens the display device; see isOpen().
    DisplayReader();
    // Closes it.
    ~DisplayReader();
    DisplayReader(const DisplayReader&) = delete;
    DisplayReader& operator=(const DisplayReader&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Why the device could not be opened; empty when it is open.
    const QString& openError() const { return m_openError; }

    // Reads up to `count` records into `into`, oldest first, and returns how many
    // whole records arrived. `error` receives the reason when fewer than `count`
    // arrived (a failed read gives 0), and is cleared otherwise.
    size_t read(DisplayRecord* into, size_t count, QString& error);

private:
    int m_fd = -1;
    QString m_openError;
};
