#pragma once
// Start-up and shutdown of the program: builds the singletons in their fixed
// order, runs the event loop and switches the function generator off after it.
#include <functional>

#include <QString>
#include <QStringList>

#include "ConfigSettings.h"

class MailboxComm;
class QWidget;

// Disables the widget at level 0, enables it at 1 and 2, leaves it otherwise.
void enableByUserLevel(QWidget* widget);

namespace StartUp {

// Trace only when "--trace" is the one and only argument (arguments[0] is the program).
bool traceRequested(const QStringList& arguments);

// Shows the window maximised; where no window manager does that, it still
// covers its screen's work area.
void showMaximised(QWidget& window);

// POS_SCALE_X/Y of both BPMs from the configuration; a missing key gives 0.0.
void loadScaleFactors(ConfigSettings& config);

// The controller's versions into HW_TIMESTAMP, SW_VERSION and PID_VERSION;
// false when the read failed, which leaves all three empty.
bool readVersions(MailboxComm& link);
// Which BPM feeds each loop into BPM_SEL_X, BPM_SEL_Y and BPM_SEL_I0; false
// when the read failed, which leaves all three BPM_SEL_UNKNOWN.
bool readBpmSelectors(MailboxComm& link);

struct Options
{
    QString configPath = QString::fromLatin1(ConfigSettings::DEFAULT_PATH);
    // Runs right before the event loop; tests use it to end the loop.
    std::function<void()> beforeEventLoop;
};

int run(int& argc, char** argv, const Options& options = Options());

}  // namespace StartUp
