#include "StartUp.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    StartUp::Options options;
#ifdef VORN_SIMULATED_PLATFORM
    // Against the simulated controller a run may keep its settings elsewhere.
    if (const char* path = std::getenv("VORN_CONFIG_PATH"); path && *path)
        options.configPath = QString::fromLocal8Bit(path);
#endif
    return StartUp::run(argc, argv, options);
}
