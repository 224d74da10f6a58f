#pragma once
// The driver's character devices. Results and errno are those of the POSIX calls
// of the same names.
#include <cstddef>
#include <sys/types.h>

namespace DeviceIo {

int open(const char* path, int flags);
ssize_t read(int fd, void* buffer, size_t bytes);
int ioctl(int fd, unsigned long request, void* argument);
int close(int fd);

}  // namespace DeviceIo

// Device paths
inline constexpr const char* DEVICE_DISPLAY = "/dev/vorn_dma_displ";
inline constexpr const char* DEVICE_ZENTRIM0 = "/dev/vorn_zentrim0";
inline constexpr const char* DEVICE_ZENTRIM1 = "/dev/vorn_zentrim1";
inline constexpr const char* DEVICE_ORVANE = "/dev/vorn_orvane0";

// Request numbers, fixed by the driver.
inline constexpr unsigned long IOCTL_ZENTRIM_STATUS = 0x80084214UL;
inline constexpr unsigned long IOCTL_ZENTRIM_CURRENTS = 0x8008421EUL;
inline constexpr unsigned long IOCTL_DAC_WRITE = 0x40084228UL;
