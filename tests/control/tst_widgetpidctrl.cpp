// The PID panel against the simulated controller: what it loads, how it follows
// the user level, and what "Update" sends to the controller and to the file,
// including a loop that really runs on what was sent.
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <optional>

#include "Globals.h"
#include "support/LogCapture.h"
#include "Prompts.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "WidgetPIDparams.h"
#include "WidgetPidCtrl.h"
#include "support/ProgramFixture.h"

namespace {

const QStringList GROUPS{"PID_X", "PID_Y", "PID_I0"};
const QStringList KEYS{"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};
const char* const EDITORS[3] = {"posXwidget", "posYwidget", "posI0widget"};

WidgetPIDparams* editor(const WidgetPidCtrl& panel, int channel)
{
    return panel.findChild<WidgetPIDparams*>(EDITORS[channel]);
}

QTabWidget* tabs(const WidgetPidCtrl& panel)
{
    return panel.findChild<QTabWidget*>("verticalTabWidget");
}

QPushButton* updateButton(const WidgetPidCtrl& panel)
{
    return panel.findChild<QPushButton*>("pushButtonUpdate");
}

void pressUpdate(const WidgetPidCtrl& panel)
{
    QTest::mouseClick(updateButton(panel), Qt::LeftButton);
}

// Three loops whose every value differs, all inside the editors' ranges.
PidParams loopValues(int channel)
{
    const double c = channel;
    return {300.0 + 200.0 * c, 0.5 + c,  0.25 + c, 0.125 + c, 1.0 + c,
            50.0 + c,          -3.0 - c, 4.0 + c,  -1.5 - c,  1.25 + c};
}

void fill(WidgetPidCtrl& panel, int channel, const PidParams& p)
{
    WidgetPIDparams* e = editor(panel, channel);
    e->setFreq(p.Freq);
    e->setParams(p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
}

QList<double> asList(const PidParams& p)
{
    return {p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset};
}

QList<double> sentToLoop(int channel)
{
    const SimControl::PidChannel& p = SimControl::sent().pid[channel];
    return {p.kp, p.ki, p.kd, p.emin, p.imax, p.omin, p.omax, p.ogain};
}

QStringList trimmed(const QStringList& lines)
{
    QStringList out;
    for (const QString& line : lines)
        out << line.trimmed();
    return out;
}

}  // namespace

class TestWidgetPidCtrl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LogCapture::install(); }

    void init()
    {
        LogCapture::clear();
        QsLogging::Logger::instance().setLevel(QsLogging::Trace);
        m_program.emplace(ProgramFixture::Options().quietBeam().atUserLevel(USER_LEVEL_USER));
    }

    void cleanup()
    {
        m_program.reset();
        QsLogging::Logger::instance().setLevel(QsLogging::Info);
    }

    void form()
    {
        WidgetPidCtrl panel;
        QTabWidget* pages = tabs(panel);
        QVERIFY(pages);
        QCOMPARE(pages->count(), 3);
        const QStringList titles{"PID X", "PID Y", "PID I0"};
        const QStringList pageNames{"tabX", "tabY", "tabI0"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(pages->tabText(i), titles[i]);
            QCOMPARE(pages->widget(i)->objectName(), pageNames[i]);
            QVERIFY(editor(panel, i));
            QCOMPARE(editor(panel, i)->parentWidget(), pages->widget(i));
        }
        QCOMPARE(pages->currentIndex(), 0);
        QCOMPARE(updateButton(panel)->text(), QString("Update"));
    }

    void loadsTheConfigurationAtConstruction()
    {
        for (int channel = 0; channel < 3; ++channel) {
            const PidParams p = loopValues(channel);
            QSettings file(path(), QSettings::IniFormat);
            for (int k = 0; k < KEYS.size(); ++k)
                file.setValue(GROUPS[channel] + "/" + KEYS[k], asList(p)[k]);
        }
        WidgetPidCtrl panel;
        for (int channel = 0; channel < 3; ++channel)
            QCOMPARE(asList(editor(panel, channel)->params()), asList(loopValues(channel)));
        // Loading sends nothing.
        QCOMPARE(SimControl::callCount("setPIDparams"), 0);
        QCOMPARE(SimControl::callCount("setWindAvg"), 0);
    }

    void fileWithoutPidGroupsGivesFreqOneAndZeros()
    {
        WidgetPidCtrl panel;
        for (int channel = 0; channel < 3; ++channel) {
            const PidParams p = editor(panel, channel)->params();
            QCOMPARE(asList(p), QList<double>({1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
            // The rate a divider of 100000 really gives.
            QCOMPARE(editor(panel, channel)->findChild<QLineEdit*>("realFreqLine")->text(), QString("1.00 Hz"));
        }
    }

    void levelGatesTheEditorsOnly_data()
    {
        QTest::addColumn<int>("startLevel");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("cruise disables") << 2 << 0 << false;
        QTest::newRow("user disables") << 2 << 1 << false;
        QTest::newRow("admin enables") << 0 << 2 << true;
        QTest::newRow("library failure -1 leaves them enabled") << 2 << -1 << true;
        QTest::newRow("unknown 3 leaves them disabled") << 1 << 3 << false;
    }

    void levelGatesTheEditorsOnly()
    {
        QFETCH(int, startLevel);
        QFETCH(int, level);
        QFETCH(bool, enabled);

        USER_LEVEL = startLevel;
        WidgetPidCtrl panel;
        QCOMPARE(tabs(panel)->isEnabled(), startLevel == USER_LEVEL_ADMIN);
        USER_LEVEL = level;
        panel.enableAndDisableFields();
        QCOMPARE(tabs(panel)->isEnabled(), enabled);
        QVERIFY(updateButton(panel)->isEnabled());
    }

    // At level "user" the editors are disabled, yet "Update" sends what they show.
    void updateReachesTheControllerAndTheFile()
    {
        WidgetPidCtrl panel;
        QVERIFY(!tabs(panel)->isEnabled());
        for (int channel = 0; channel < 3; ++channel)
            fill(panel, channel, loopValues(channel));
        pressUpdate(panel);

        const SimControl::Sent sent = SimControl::sent();
        for (int channel = 0; channel < 3; ++channel) {
            const PidParams p = loopValues(channel);
            QCOMPARE(sent.pid[channel].windAvg, int(std::lround(100000.0 / p.Freq)));
            QCOMPARE(sentToLoop(channel), asList(p).mid(1, 8));
            QCOMPARE(sent.pidOffset[channel], p.Offset);
            QCOMPARE(SimControl::callCount("setPIDparams", channel), 1);
        }
        QCOMPARE(SimControl::callCount("setWindAvg"), 3);
        QCOMPARE(SimControl::callCount("setOffset"), 1);
        QCOMPARE(sent.pid[0].windAvg, 333);
        QCOMPARE(sent.pid[1].windAvg, 200);
        QCOMPARE(sent.pid[2].windAvg, 143);

        checkFileHolds({loopValues(0), loopValues(1), loopValues(2)});
        QVERIFY(Prompts::shown().isEmpty());
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Trace).size() >= 1);
        QCOMPARE(LogCapture::messagesAt(QsLogging::Trace).first().trimmed(),
                 QString("Loading PID parameters to FPGA and config_bivorn.ini"));
    }

    // The hardware absent: seven failures logged in call order, thirty keys written anyway.
    void failedCallsAreLoggedAndTheFileStillWritten()
    {
        WidgetPidCtrl panel;
        for (int channel = 0; channel < 3; ++channel)
            fill(panel, channel, loopValues(channel));
        for (const char* call : {"setWindAvg", "setOffset", "setPIDparams"})
            SimControl::failCall(call);
        pressUpdate(panel);

        const QStringList expected{"setWindAvg() failed",   "setWindAvg() failed",   "setWindAvg() failed",
                                   "setOffset() failed",    "setPIDparams() failed", "setPIDparams() failed",
                                   "setPIDparams() failed"};
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), expected.size());
        QCOMPARE(trimmed(LogCapture::messagesAt(QsLogging::Warn)), expected);
        checkFileHolds({loopValues(0), loopValues(1), loopValues(2)});
        QVERIFY(Prompts::shown().isEmpty());
    }

    void encoderBoxBaseRateIsUsedAtUpdate()
    {
        WidgetPidCtrl panel;
        for (int channel = 0; channel < 3; ++channel) {
            PidParams p = loopValues(channel);
            p.Freq = 1000;
            fill(panel, channel, p);
        }
        SimControl::setSfpPort(3, 0x2301);
        m_program->link->refreshData();
        QCOMPARE(PID_BASE_FREQ.load(), 5000);
        pressUpdate(panel);
        for (int channel = 0; channel < 3; ++channel)
            QCOMPARE(SimControl::sent().pid[channel].windAvg, 5);
    }

    // A hand-edited value that is not a number reads as missing: never a
    // non-finite or a maximum gain at the controller.
    void nonFiniteValueInTheFile_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("field");
        QTest::addColumn<double>("shown");

        QTest::newRow("Kp=nan") << "Kp" << "nan" << 1 << 0.0;
        QTest::newRow("Kp=inf") << "Kp" << "inf" << 1 << 0.0;
        QTest::newRow("Ki=-inf") << "Ki" << "-inf" << 2 << 0.0;
        QTest::newRow("Ogain=NaN") << "Ogain" << "NaN" << 8 << 0.0;
        QTest::newRow("Freq=nan shows as 1") << "Freq" << "nan" << 0 << 1.0;
        QTest::newRow("Omax=100 is clamped to 99.99") << "Omax" << "100" << 7 << 99.99;
    }

    void nonFiniteValueInTheFile()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, field);
        QFETCH(double, shown);

        {
            QFile file(path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QString("[PID_X]\nFreq=1000\nKp=0.5\nKi=0.25\nKd=0.125\nemin=0\nImax=10\nOmin=-12\nOmax=12\n"
                               "Ogain=-1\nOffset=0\n")
                           .replace(QRegularExpression("\\n" + key + "=[^\\n]*"), "\n" + key + "=" + text)
                           .toLatin1());
        }
        WidgetPidCtrl panel;
        QCOMPARE(asList(editor(panel, 0)->params())[field], shown);
        pressUpdate(panel);

        const QList<double> sent = sentToLoop(0);
        for (double value : sent) {
            QVERIFY(std::isfinite(value));
            QVERIFY(value < 1e7);
        }
        if (field >= 1 && field <= 8)
            QCOMPARE(sent[field - 1], shown);
        QCOMPARE(SimControl::sent().pid[0].windAvg, int(std::lround(100000.0 / editor(panel, 0)->Freq())));
        QVERIFY(std::isfinite(QSettings(path(), QSettings::IniFormat).value("PID_X/" + key).toDouble()));
    }

    // Inverted output limits would lose the controller's output clamp: that
    // loop's parameters are not sent and the operator is told; the rest goes on.
    void invertedLimitsAreNotSent_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<double>("omin");
        QTest::addColumn<double>("omax");
        QTest::addColumn<bool>("refused");

        QTest::newRow("PID Y with O min above O max") << 1 << 5.0 << -5.0 << true;
        QTest::newRow("PID X, barely inverted") << 0 << 0.5 << 0.49999 << true;
        QTest::newRow("PID I0 with equal limits is sent") << 2 << 2.0 << 2.0 << false;
    }

    void invertedLimitsAreNotSent()
    {
        QFETCH(int, channel);
        QFETCH(double, omin);
        QFETCH(double, omax);
        QFETCH(bool, refused);

        WidgetPidCtrl panel;
        PidParams loops[3] = {loopValues(0), loopValues(1), loopValues(2)};
        loops[channel].Omin = omin;
        loops[channel].Omax = omax;
        for (int c = 0; c < 3; ++c)
            fill(panel, c, loops[c]);
        const QList<double> before = sentToLoop(channel);
        pressUpdate(panel);

        QCOMPARE(SimControl::callCount("setWindAvg"), 3);
        QCOMPARE(SimControl::callCount("setOffset"), 1);
        for (int c = 0; c < 3; ++c) {
            const bool skipped = refused && c == channel;
            QCOMPARE(SimControl::callCount("setPIDparams", c), skipped ? 0 : 1);
            QCOMPARE(sentToLoop(c), skipped ? before : asList(loops[c]).mid(1, 8));
            QCOMPARE(SimControl::sent().pidOffset[c], loops[c].Offset);
        }
        checkFileHolds({loops[0], loops[1], loops[2]});

        const QString name = QStringList{"PID X", "PID Y", "PID I0"}[channel];
        const QList<Prompts::Shown> shown = Prompts::shown();
        if (!refused) {
            QVERIFY(shown.isEmpty());
            return;
        }
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QVERIFY2(shown[0].text.contains(name), qPrintable(shown[0].text));
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), 1);
        QVERIFY(LogCapture::messagesAt(QsLogging::Warn)[0].startsWith(name + " parameters not sent"));
    }

    // With no gain the loop's output is its offset: X settles at 3 V.
    void loopRunsOnWhatWasSent()
    {
        WidgetPidCtrl panel;
        PidParams x{1000, 0, 0, 0, 0, 0, -12, 12, -1, 3.0};
        fill(panel, PID_CHANNEL_X, x);
        pressUpdate(panel);
        QCOMPARE(SimControl::sent().outSel[0], uint8_t(0));
        QCOMPARE(m_program->link->setFBenable(1), 0);
        SimControl::step(0.2);
        m_program->link->refreshData();
        QCOMPARE(m_program->link->pidStatus(), PID_Status_Type(PID_STATUS_ON));
        QVERIFY2(std::fabs(SimControl::sent().outputs[0] - 3.0) < 1e-9,
                 qPrintable(QString::number(SimControl::sent().outputs[0])));

        // And with the output clamped below it, the clamp holds.
        x.Omax = 2.0;
        fill(panel, PID_CHANNEL_X, x);
        pressUpdate(panel);
        SimControl::step(0.1);
        QVERIFY(std::fabs(SimControl::sent().outputs[0] - 2.0) < 1e-9);
    }

private:
    QString path() const { return m_program->configPath(); }

    void checkFileHolds(const QList<PidParams>& loops)
    {
        QSettings file(path(), QSettings::IniFormat);
        QCOMPARE(file.allKeys().size(), 30);
        for (int channel = 0; channel < 3; ++channel)
            for (int k = 0; k < KEYS.size(); ++k)
                QCOMPARE(file.value(GROUPS[channel] + "/" + KEYS[k]).toDouble(), asList(loops[channel])[k]);
    }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWidgetPidCtrl)
#include "tst_widgetpidctrl.moc"
