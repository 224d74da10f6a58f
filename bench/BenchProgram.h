#pragma once
// The program around a benchmark of the main window: prompts answered without
// a dialog, the simulator on its stepped clock, a configuration file of its
// own, the position scales and the Updater in the globals. The benchmark adds
// its device link, on the thread it measures.
#include <QByteArray>
#include <QTemporaryDir>

#include "ConfigSettings.h"
#include "Globals.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"

// The offscreen platform unless the caller chose one; before the QApplication.
inline void preferOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

class BenchProgram
{
public:
    BenchProgram()
    {
        Prompts::setTestMode(true);
        SimControl::useSteppedClock();
        CONFIG_SETTINGS = &config;
        POS_SCALE_X[0] = POS_SCALE_Y[0] = POS_SCALE_X[1] = POS_SCALE_Y[1] = 1000.0;
        UPDATER = &updater;
    }

    ~BenchProgram() { clearGlobals(); }

    // Before the window and the link go: nothing they run on the way out may
    // reach them through the globals.
    static void clearGlobals()
    {
        UPDATER = nullptr;
        MAILBOX_COMM = nullptr;
        CONFIG_SETTINGS = nullptr;
    }

    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    QTemporaryDir dir;
    ConfigSettings config{dir.filePath("config.ini")};
    Updater updater;
};
