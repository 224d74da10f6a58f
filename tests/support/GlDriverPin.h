#pragma once
// Keeps the OpenGL driver that Mesa loads at run time in memory until the process
// ends. Mesa unloads it at exit, before the leak checker runs, and leaks inside
// it would then show without a module name and could not be suppressed.
#include <dlfcn.h>
#include <link.h>

#include <cstring>

inline void pinLoadedGlDrivers()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* name = info->dlpi_name;
            if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium")))
                dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
