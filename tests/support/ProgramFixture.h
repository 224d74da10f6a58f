#pragma once
// What a test of the program needs around it: the simulator on its stepped
// clock and in its start state, prompts answered by the test, a scratch folder
// with a configuration file of its own, the device link and the Updater in the
// globals, and every other global at the program's start value. The destructor
// puts the globals back to those values, so no test sees what the last one left.
//
// A test class keeps one in a std::optional, made in init() and reset in
// cleanup() (in initTestCase() where the tests share one run). A test that
// needs more of the program makes it again with emplace(); start values the
// options do not cover are set after making it.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>
#include <optional>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "OutputOwner.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "support/TestDir.h"

// What a ProgramFixture makes, and the start values that differ from the program's.
struct ProgramFixtureOptions
{
    bool config = true;                // a ConfigSettings on a fresh file in CONFIG_SETTINGS
    bool link = true;                  // a MailboxComm in MAILBOX_COMM
    bool updater = false;              // an Updater in UPDATER
    bool refresh = false;              // the link reads the controller once
    std::optional<bool> disturbances;  // unset: as the simulator starts (on)
    int userLevel = USER_LEVEL_CRUISE;
    QString swVersion;
    double posScale = 1.0;  // every POS_SCALE_X and POS_SCALE_Y

    ProgramFixtureOptions& noConfig() { config = false; return *this; }
    ProgramFixtureOptions& noLink() { link = false; return *this; }
    ProgramFixtureOptions& withUpdater() { updater = true; return *this; }
    ProgramFixtureOptions& refreshed() { refresh = true; return *this; }
    ProgramFixtureOptions& withDisturbances(bool on) { disturbances = on; return *this; }
    ProgramFixtureOptions& quietBeam() { return withDisturbances(false); }
    ProgramFixtureOptions& atUserLevel(int level) { userLevel = level; return *this; }
    ProgramFixtureOptions& withSwVersion(const QString& version) { swVersion = version; return *this; }
    ProgramFixtureOptions& withPosScale(double scale) { posScale = scale; return *this; }
};

class ProgramFixture
{
public:
    using Options = ProgramFixtureOptions;

    explicit ProgramFixture(const Options& options = Options())
        : m_dir(testDirTemplate(scratchName()))
    {
        if (!m_dir.isValid())
            qFatal("no scratch folder under %s", qPrintable(testDirTemplate(scratchName())));
        SimControl::useSteppedClock();
        SimControl::reset();
        if (options.disturbances)
            SimControl::setDisturbances(*options.disturbances);
        Prompts::setTestMode(true);
        Prompts::clear();

        startGlobals();
        USER_LEVEL = options.userLevel;
        SW_VERSION = options.swVersion;
        setPosScales(options.posScale);

        if (options.config) {
            config = std::make_unique<ConfigSettings>(configPath());
            CONFIG_SETTINGS = config.get();
        }
        if (options.updater) {
            updater = std::make_unique<Updater>();
            UPDATER = updater.get();
        }
        if (options.link) {
            link = std::make_unique<MailboxComm>();
            MAILBOX_COMM = link.get();
            if (options.refresh)
                link->refreshData();
        }
    }

    ~ProgramFixture()
    {
        startGlobals();
        link.reset();
        updater.reset();
        config.reset();
    }

    ProgramFixture(const ProgramFixture&) = delete;
    ProgramFixture& operator=(const ProgramFixture&) = delete;

    // Every global at the value the program starts with.
    static void startGlobals()
    {
        CONFIG_SETTINGS = nullptr;
        UPDATER = nullptr;
        MAILBOX_COMM = nullptr;
        DIALOG_LOGIN = nullptr;
        setPosScales(1.0);
        HW_TIMESTAMP.clear();
        SW_VERSION.clear();
        PID_VERSION.clear();
        BPM_SEL_X = BPM_SEL_Y = BPM_SEL_I0 = 0;
        PID_BASE_FREQ = 100000;
        USER_LEVEL = USER_LEVEL_CRUISE;
        storeSampFreq(1000);
        DISPLAY_BUFFER_BYTES = 3670016;
    }

    static void setPosScales(double scale)
    {
        for (int b = 0; b < 2; ++b)
            POS_SCALE_X[b] = POS_SCALE_Y[b] = scale;
    }

    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    QString configPath() const { return filePath(QStringLiteral("config.ini")); }

    // What the program's timers do between two readouts: the display tick reads
    // the picoammeters into the Updater, then the window refreshes its fields.
    template <typename Window> void tickReadout(Window& window) const
    {
        updater->updateZentrims();
        window.refreshFields();
    }

    // The offset of one PID channel (0 X, 1 Y, 2 I0); the other parameters 0.
    void setPidOffset(int channel, double offset) const
    {
        if (channel == 0)
            config->savePIDX(0, 0, 0, 0, 0, 0, 0, 0, 0, offset);
        else if (channel == 1)
            config->savePIDY(0, 0, 0, 0, 0, 0, 0, 0, 0, offset);
        else
            config->savePIDI0(0, 0, 0, 0, 0, 0, 0, 0, 0, offset);
    }

    std::unique_ptr<ConfigSettings> config;
    std::unique_ptr<Updater> updater;
    std::unique_ptr<MailboxComm> link;
    // What MainWindow lends the tool windows: a test builds them with this one.
    OutputOwner outputs;

private:
    static QString scratchName()
    {
        const QString name = QCoreApplication::applicationName();
        return name.isEmpty() ? QStringLiteral("program") : name;
    }

    QTemporaryDir m_dir;
};
