// Device access on the real driver nodes.
#include "DeviceIo.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace DeviceIo {

int open(const char* path, int flags) { return ::open(path, flags); }
ssize_t read(int fd, void* buffer, size_t bytes) { return ::read(fd, buffer, bytes); }
int ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
int close(int fd) { return ::close(fd); }

}  // namespace DeviceIo
