#pragma once
// What a measurement window needs around it in a test: the simulator on its
// stepped clock, a configuration file of its own, the device link and the
// globals, all put back by the destructor.
#include <QDir>
#include <QTemporaryDir>

#include <memory>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "SimControl.h"

class MeasurementSetup
{
public:
    explicit MeasurementSetup(bool disturbances = false)
        : m_dir(qEnvironmentVariable("VORN_TEST_TMP", QDir::tempPath()) + "/measurement-XXXXXX")
    {
        QDir().mkpath(qEnvironmentVariable("VORN_TEST_TMP", QDir::tempPath()));
        SimControl::useSteppedClock();
        SimControl::reset();
        SimControl::setDisturbances(disturbances);
        Prompts::setTestMode(true);
        Prompts::clear();
        config = std::make_unique<ConfigSettings>(m_dir.filePath("config.ini"));
        link = std::make_unique<MailboxComm>();
        CONFIG_SETTINGS = config.get();
        MAILBOX_COMM = link.get();
        storeSampFreq(1000);
        USER_LEVEL = 1;
        link->refreshData();
    }

    ~MeasurementSetup()
    {
        CONFIG_SETTINGS = nullptr;
        MAILBOX_COMM = nullptr;
        storeSampFreq(1000);
    }

    bool valid() const { return m_dir.isValid(); }

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
    std::unique_ptr<MailboxComm> link;

private:
    QTemporaryDir m_dir;
};
