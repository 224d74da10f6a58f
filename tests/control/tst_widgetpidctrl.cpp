// The PID panel against the simulated controller: what it loads, how it follows
// the user level, and what "Update" sends to the controller and to the file,
// including a loop that really runs on what was sent.
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <optional>

#include "ConfigSettings.h"
#include "Globals.h"
#include "PidTransfer.h"
#include "Prompts.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "WidgetPIDparams.h"
#include "WidgetPidCtrl.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/TestFiles.h"
#include "support/WidgetClicks.h"

namespace {

const QStringList GROUPS{"PID_X", "PID_Y", "PID_I0"};
const QStringList KEYS{"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};
const char* const EDITORS[3] = {"posXwidget", "posYwidget", "posI0widget"};
// Loops Y and I0 that can be sent, for files that test loop X.
const QString VALID_Y_AND_I0 = QStringLiteral(
    "[PID_Y]\nFreq=100\nKp=0\nKi=0.1\nKd=0\nemin=0\nImax=10\nOmin=-12\nOmax=12\nOgain=-1\nOffset=0\n"
    "[PID_I0]\nFreq=100\nKp=0\nKi=0\nKd=0\nemin=0\nImax=0\nOmin=-1\nOmax=1\nOgain=0\nOffset=0\n");
// The editors' labels, without their colons, in the order of KEYS.
const QStringList LABELS{"Freq", "Kp", "Ki", "Kd", "e min", "I max", "O min", "O max", "O gain", "Offset"};

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

    // The hardware absent: seven failures logged in call order, the operator
    // told, and the file left byte for byte as it was.
    void refusedCallsAreToldAndNothingStored()
    {
        const QByteArray before = storeLoops({loopValues(2), loopValues(0), loopValues(1)});
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
        QCOMPARE(TestFiles::contents(path()), before);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QString("Controller refused"));
        QVERIFY(Prompts::shown()[0].text.contains("PID X, PID Y, PID I0"));
    }

    // One refused call keeps only the loops it carries out of the file.
    void aRefusedOffsetKeepsEveryLoopOutOfTheFile()
    {
        const QByteArray before = storeLoops({loopValues(2), loopValues(0), loopValues(1)});
        WidgetPidCtrl panel;
        for (int channel = 0; channel < 3; ++channel)
            fill(panel, channel, loopValues(channel));
        SimControl::failCall("setOffset");
        pressUpdate(panel);

        // The parameters went out; no loop's group holds what the controller partly refused.
        for (int channel = 0; channel < 3; ++channel)
            QCOMPARE(sentToLoop(channel), asList(loopValues(channel)).mid(1, 8));
        QCOMPARE(TestFiles::contents(path()), before);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(Prompts::shown()[0].text.contains("the offsets"));
    }

    void failedConfigurationWriteIsTold()
    {
        QVERIFY(QDir().mkdir(path()));
        USER_LEVEL = USER_LEVEL_ADMIN;
        WidgetPidCtrl panel;
        // Every value of an unreadable file is unloaded: typed anew here.
        for (int channel = 0; channel < 3; ++channel)
            typeLoop(panel, channel, loopValues(channel));
        pressUpdate(panel);

        QCOMPARE(sentToLoop(1), asList(loopValues(1)).mid(1, 8));
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QString("Settings not stored"));
        QVERIFY(Prompts::shown()[0].text.contains("until the program restarts"));
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

    // A stored value that is not a number is never shown as a number nor sent:
    // the field shows a dash, and Update leaves its loop out (the others go)
    // until the operator types a value.
    void unusableValueInTheFile_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("field");

        QTest::newRow("Kp=nan") << "Kp" << "nan" << 1;
        QTest::newRow("Kp=inf") << "Kp" << "inf" << 1;
        QTest::newRow("Ki=-inf") << "Ki" << "-inf" << 2;
        QTest::newRow("Ogain=NaN") << "Ogain" << "NaN" << 8;
        QTest::newRow("Freq=nan") << "Freq" << "nan" << 0;
        QTest::newRow("Omax=text") << "Omax" << "high" << 7;
        QTest::newRow("Imax empty") << "Imax" << "" << 5;
    }

    void unusableValueInTheFile()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, field);

        const QString loopX = QString("[PID_X]\nFreq=1000\nKp=0.5\nKi=0.25\nKd=0.125\nemin=0\nImax=10\nOmin=-12\n"
                                      "Omax=12\nOgain=-1\nOffset=0\n")
                                  .replace(QRegularExpression("\\n" + key + "=[^\\n]*"), "\n" + key + "=" + text);
        TestFiles::put(path(), (loopX + VALID_Y_AND_I0).toLatin1());
        // The editors take typing at admin only.
        USER_LEVEL = USER_LEVEL_ADMIN;
        WidgetPidCtrl panel;
        QDoubleSpinBox* box = fieldOf(panel, 0, field);
        QCOMPARE(box->text(), QString::fromUtf8("\u2014"));
        auto* note = editor(panel, 0)->findChild<QLabel*>("loadNote");
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(LABELS[field]), qPrintable(note->text()));
        QCOMPARE(editor(panel, 0)->unloadedNames(), QStringList{LABELS[field]});

        pressUpdate(panel);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QString("PID loops left out"));
        const QString told = Prompts::shown()[0].text;
        QVERIFY2(told.contains("Sent: PID Y, PID I0."), qPrintable(told));
        QVERIFY2(told.contains("PID X: " + LABELS[field] + " not read from the configuration file"), qPrintable(told));
        QVERIFY2(told.contains("press Update again"), qPrintable(told));
        QCOMPARE(SimControl::callCount("setPIDparams", 0) + SimControl::callCount("setWindAvg", 0), 0);
        QCOMPARE(SimControl::callCount("setPIDparams"), 2);
        // The X loop's group keeps what it held.
        QCOMPARE(QSettings(path(), QSettings::IniFormat).value("PID_X/" + key).toString(), text);

        // A typed value is the operator's: the update goes through and is stored as typed.
        const double typed = field == 0 ? 500.0 : field == 8 ? -2.5 : field == 7 ? 11.0 : 1.5;
        WidgetClicks::typeInto(box, QString::number(typed));
        QVERIFY(note->isHidden());
        pressUpdate(panel);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(QSettings(path(), QSettings::IniFormat).value("PID_X/" + key).toDouble(), typed);
        if (field >= 1 && field <= 8)
            QCOMPARE(sentToLoop(0)[field - 1], typed);
    }

    // A stored value beyond its editor is clamped into it, as the editor does
    // with any value; a note says what the file holds. Update sends and stores
    // what the editors show.
    void storedValueBeyondTheEditor_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("field");
        QTest::addColumn<double>("shown");

        QTest::newRow("Omax=100, above the field's 99.99") << "Omax" << "100" << 7 << 99.99;
        QTest::newRow("Kp=1e9, above the field") << "Kp" << "1e9" << 1 << 1e7;
        QTest::newRow("Imax negative") << "Imax" << "-5" << 5 << 0.0;
        QTest::newRow("Freq=2000") << "Freq" << "2000" << 0 << 1000.0;
        QTest::newRow("Offset=99, beyond the outputs") << "Offset" << "99" << 9 << 12.0;
        QTest::newRow("Offset=-12.5") << "Offset" << "-12.5" << 9 << -12.0;
    }

    void storedValueBeyondTheEditor()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, field);
        QFETCH(double, shown);

        const QString loopX = QString("[PID_X]\nFreq=1000\nKp=0.5\nKi=0.25\nKd=0.125\nemin=0\nImax=10\nOmin=-12\n"
                                      "Omax=12\nOgain=-1\nOffset=0\n")
                                  .replace(QRegularExpression("\\n" + key + "=[^\\n]*"), "\n" + key + "=" + text);
        TestFiles::put(path(), (loopX + VALID_Y_AND_I0).toLatin1());
        WidgetPidCtrl panel;
        QDoubleSpinBox* box = fieldOf(panel, 0, field);
        QCOMPARE(box->value(), shown);
        auto* note = editor(panel, 0)->findChild<QLabel*>("loadNote");
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(LABELS[field] + ": the file holds PID_X/" + key + " = " +
                                       ConfigSettings::numberText(text.toDouble())),
                 qPrintable(note->text()));
        QVERIFY2(note->text().contains("the field shows " + box->text()), qPrintable(note->text()));
        QVERIFY(editor(panel, 0)->unloadedNames().isEmpty());
        // Nothing is sent before Update.
        QCOMPARE(SimControl::callCount("setPIDparams") + SimControl::callCount("setOffset"), 0);

        pressUpdate(panel);
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(QSettings(path(), QSettings::IniFormat).value("PID_X/" + key).toDouble(), shown);
        if (field == 9)
            QCOMPARE(SimControl::sent().pidOffset[0], shown);
        else if (field >= 1)
            QCOMPARE(sentToLoop(0)[field - 1], shown);
        else
            QCOMPARE(SimControl::sent().pid[0].windAvg, 100);
    }

    // A file without PID groups gives O min and O max of 0 in every loop: no
    // loop can be sent. At user level the editors take no edits, so the
    // refusal names every loop and the level that can change them.
    void fileWithoutPidGroupsNamesTheLoopsAndTheLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("remedy");

        QTest::newRow("user") << int(USER_LEVEL_USER) << "Changing them needs the admin level (Settings > Login).";
        QTest::newRow("cruise") << int(USER_LEVEL_CRUISE) << "Changing them needs the admin level (Settings > Login).";
        QTest::newRow("admin") << int(USER_LEVEL_ADMIN) << "Correct them and press Update again.";
    }

    void fileWithoutPidGroupsNamesTheLoopsAndTheLevel()
    {
        QFETCH(int, level);
        QFETCH(QString, remedy);

        USER_LEVEL = level;
        WidgetPidCtrl panel;
        pressUpdate(panel);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown()[0].title, QString("PID parameters not sent"));
        const QString told = Prompts::shown()[0].text;
        QVERIFY2(told.startsWith("Nothing was sent or stored."), qPrintable(told));
        for (const char* loop : {"PID X", "PID Y", "PID I0"})
            QVERIFY2(told.contains(QString(loop) + ": O min (0) is not below O max (0)"), qPrintable(told));
        QVERIFY2(told.endsWith(remedy), qPrintable(told));
        QCOMPARE(SimControl::callCount("setWindAvg") + SimControl::callCount("setOffset") +
                     SimControl::callCount("setPIDparams"),
                 0);
        QCOMPARE(QSettings(path(), QSettings::IniFormat).allKeys(), QStringList());
    }

    // The controller clamps the output only while O min is below O max: a loop
    // whose limits are not in order (equal included) is left out and named; the
    // others are sent and stored, its offset going with theirs in their one call.
    void limitsNotInOrderAreRefused_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<double>("omin");
        QTest::addColumn<double>("omax");
        QTest::addColumn<bool>("refused");

        QTest::newRow("PID Y with O min above O max") << 1 << 5.0 << -5.0 << true;
        QTest::newRow("PID X, barely inverted") << 0 << 0.5 << 0.49999 << true;
        QTest::newRow("PID I0 with equal limits") << 2 << 2.0 << 2.0 << true;
        QTest::newRow("PID I0 just in order is sent") << 2 << 1.99999 << 2.0 << false;
    }

    void limitsNotInOrderAreRefused()
    {
        QFETCH(int, channel);
        QFETCH(double, omin);
        QFETCH(double, omax);
        QFETCH(bool, refused);

        const QList<PidParams> before{loopValues(1), loopValues(2), loopValues(0)};
        storeLoops(before);
        WidgetPidCtrl panel;
        PidParams loops[3] = {loopValues(0), loopValues(1), loopValues(2)};
        loops[channel].Omin = omin;
        loops[channel].Omax = omax;
        for (int c = 0; c < 3; ++c)
            fill(panel, c, loops[c]);
        pressUpdate(panel);

        const QString name = QStringList{"PID X", "PID Y", "PID I0"}[channel];
        const QList<Prompts::Shown> shown = Prompts::shown();
        if (!refused) {
            QVERIFY(shown.isEmpty());
            for (int c = 0; c < 3; ++c)
                QCOMPARE(sentToLoop(c), asList(loops[c]).mid(1, 8));
            checkFileHolds({loops[0], loops[1], loops[2]});
            return;
        }
        QCOMPARE(SimControl::callCount("setWindAvg", channel) + SimControl::callCount("setPIDparams", channel), 0);
        QCOMPARE(SimControl::callCount("setOffset"), 1);
        QList<PidParams> expected{loops[0], loops[1], loops[2]};
        expected[channel] = before[channel];
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(SimControl::sent().pidOffset[c], loops[c].Offset);
            if (c != channel)
                QCOMPARE(sentToLoop(c), asList(loops[c]).mid(1, 8));
        }
        checkFileHolds(expected);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("PID loops left out"));
        QVERIFY2(shown[0].text.contains(name + ": O min"), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("the Offset of " + name + " went with the others"), qPrintable(shown[0].text));
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), 1);
        QVERIFY(LogCapture::messagesAt(QsLogging::Warn)[0].startsWith(name + " parameters not sent"));

        // The next start shows what the file held for the loop left out.
        WidgetPidCtrl next;
        for (int c = 0; c < 3; ++c)
            QCOMPARE(asList(editor(next, c)->params()), asList(expected[c]));
    }

    // With no gain the loop's output is its offset: X settles at 3 V.
    void loopRunsOnWhatWasSent()
    {
        WidgetPidCtrl panel;
        PidParams x{1000, 0, 0, 0, 0, 0, -12, 12, -1, 3.0};
        fill(panel, PID_CHANNEL_X, x);
        fill(panel, PID_CHANNEL_Y, loopValues(1));
        fill(panel, PID_CHANNEL_I0, loopValues(2));
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

    // The three loops in the file; its bytes.
    QByteArray storeLoops(const QList<PidParams>& loops) const
    {
        for (int channel = 0; channel < 3; ++channel)
            PidTransfer::store(*m_program->config, channel, loops[channel]);
        return TestFiles::contents(path());
    }

    static QDoubleSpinBox* fieldOf(const WidgetPidCtrl& panel, int channel, int field)
    {
        static const char* const names[10] = {"curFreqBox", "boxKp",   "boxKi",   "boxKd",   "boxemin",
                                              "boxImax",    "boxOmin", "boxOmax", "boxOgain", "offsetDoubleSpinBox"};
        return editor(panel, channel)->findChild<QDoubleSpinBox*>(names[field]);
    }

    // Types every value of a loop, as the operator does.
    static void typeLoop(const WidgetPidCtrl& panel, int channel, const PidParams& p)
    {
        const QList<double> values = asList(p);
        for (int field = 0; field < 10; ++field) {
            WidgetClicks::typeInto(fieldOf(panel, channel, field), QString::number(values[field]));
        }
    }

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
