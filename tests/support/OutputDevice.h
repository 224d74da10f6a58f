#pragma once
// Sets the output unit's four outputs through its device, as the manual output
// dialog does: open, one record, close.
#include <fcntl.h>

#include "DacOutputsWriter.h"
#include "DeviceIo.h"

namespace OutputDevice {

// True when the device opened and took the record.
inline bool write(double ch1, double ch2, double ch3, double ch4)
{
    const int fd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
    if (fd < 0)
        return false;
    const bool written = writeDacOutputs(fd, ch1, ch2, ch3, ch4);
    DeviceIo::close(fd);
    return written;
}

}  // namespace OutputDevice
