// The driver's devices, simulated. Results and errno are those POSIX would give.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <vector>

#include "DeviceIo.h"
#include "SimulatedController.h"

namespace {

using Device = SimulatedController::Device;

int fail(int error)
{
    errno = error;
    return -1;
}

bool deviceOf(const std::string& path, Device* device)
{
    if (path == DEVICE_DISPLAY)
        *device = Device::Display;
    else if (path == DEVICE_ZENTRIM0)
        *device = Device::Zentrim0;
    else if (path == DEVICE_ZENTRIM1)
        *device = Device::Zentrim1;
    else if (path == DEVICE_ORVANE)
        *device = Device::Orvane;
    else
        return false;
    return true;
}

int zentrimIndex(Device device) { return device == Device::Zentrim0 ? 0 : device == Device::Zentrim1 ? 1 : -1; }

int zentrimIoctl(SimulatedController& sim, int index, unsigned long request, void* argument)
{
    Picoammeter& pico = sim.picoammeter(index);
    if (!pico.present())
        return fail(ENODEV);
    if (request != IOCTL_ZENTRIM_STATUS && request != IOCTL_ZENTRIM_CURRENTS)
        return fail(ENOTTY);
    const BpmReading reading = sim.readNow(index);
    if (request == IOCTL_ZENTRIM_STATUS) {
        ZentrimStatus status;
        std::memset(&status, 0, sizeof status);
        status.setHvCurrent(pico.hvCurrentMicroamps());
        status.setHvVoltage(pico.hvVoltage());
        status.setHvStatus(pico.hvStatus());
        for (int c = 0; c < 4; ++c)
            status.setChannelCurrent(c, reading.current[c]);
        std::memcpy(argument, &status, sizeof status);
        return 0;
    }
    ZentrimCurrentSample sample;
    for (int c = 0; c < 4; ++c)
        sample.current[3 - c] = reading.current[c];
    std::memcpy(argument, &sample, sizeof sample);
    return 0;
}

int orvaneIoctl(SimulatedController& sim, int accessMode, unsigned long request, void* argument)
{
    if (request != IOCTL_DAC_WRITE)
        return fail(ENOTTY);
    if (accessMode == O_RDONLY)
        return fail(EBADF);
    DacOutputs record;
    std::memcpy(&record, argument, sizeof record);
    if (record.flag != 1 || !std::isfinite(record.ch1) || !std::isfinite(record.ch2) || !std::isfinite(record.ch3) ||
        !std::isfinite(record.ch4))
        return fail(EINVAL);
    sim.writeDac(record);
    return 0;
}

}  // namespace

namespace DeviceIo {

int open(const char* path, int flags)
{
    if (!path)
        return fail(EFAULT);
    SimulatedController& sim = SimulatedController::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    sim.advanceToNow();
    const std::string name(path);
    if (const auto error = sim.calls().openError(name))
        return fail(*error);
    Device device;
    if (!deviceOf(name, &device))
        return fail(ENOENT);
    const int zentrim = zentrimIndex(device);
    if (zentrim >= 0 && !sim.picoammeter(zentrim).present())
        return fail(ENOENT);
    return sim.openFile(device, flags & O_ACCMODE, name);
}

ssize_t read(int fd, void* buffer, size_t bytes)
{
    SimulatedController& sim = SimulatedController::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    sim.advanceToNow();
    const SimulatedController::OpenFile* file = sim.openedFile(fd);
    if (!file || file->accessMode == O_WRONLY)
        return fail(EBADF);
    if (file->device != Device::Display)
        return fail(EINVAL);
    if (!buffer)
        return fail(EFAULT);
    const size_t shortfall = sim.calls().readShortfall(file->path);
    // Whole records only; a short read (injected) ends inside the newest record.
    const size_t records = std::min(bytes / sizeof(DisplayRecord), sim.ringCapacity());
    const size_t delivered = records * sizeof(DisplayRecord) - std::min(shortfall, records * sizeof(DisplayRecord));
    const size_t copied = (delivered + sizeof(DisplayRecord) - 1) / sizeof(DisplayRecord);
    if (copied == 0)
        return 0;
    if (delivered % sizeof(DisplayRecord) == 0) {
        sim.copyNewest(static_cast<DisplayRecord*>(buffer), copied);
    } else {
        std::vector<DisplayRecord> tail(copied);
        sim.copyNewest(tail.data(), copied);
        std::memcpy(buffer, tail.data(), delivered);
    }
    return ssize_t(delivered);
}

int ioctl(int fd, unsigned long request, void* argument)
{
    SimulatedController& sim = SimulatedController::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    sim.advanceToNow();
    const SimulatedController::OpenFile* file = sim.openedFile(fd);
    if (!file)
        return fail(EBADF);
    if (const auto error = sim.calls().ioctlError(file->path))
        return fail(*error);
    if (!argument)
        return fail(EFAULT);
    const int zentrim = zentrimIndex(file->device);
    if (zentrim >= 0)
        return zentrimIoctl(sim, zentrim, request, argument);
    if (file->device == Device::Orvane)
        return orvaneIoctl(sim, file->accessMode, request, argument);
    return fail(ENOTTY);
}

int close(int fd)
{
    SimulatedController& sim = SimulatedController::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    if (!sim.closeFile(fd))
        return fail(EBADF);
    return 0;
}

}  // namespace DeviceIo
