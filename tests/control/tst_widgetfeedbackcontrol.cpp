// The feedback control panel against the simulated controller: what it refuses,
// what it sends (setpoint, output channels, BPM selection, regulated axes), what
// it stores, and how the I0 field and the decade slider's handle follow each other.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include <optional>

#include "Globals.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Slider.h"
#include "VornLibrary.h"
#include "WidgetFeedbackControl.h"
#include "support/FormChild.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/TestFiles.h"

namespace {
using FormChild::child;

// The panel's form, found by object name.
struct Form
{
    explicit Form(const QWidget& panel)
        : x(child<QCheckBox>(panel, "confXcheckbox"))
        , y(child<QCheckBox>(panel, "confYcheckbox"))
        , i0(child<QCheckBox>(panel, "confI0checkbox"))
        , sourceX(child<QComboBox>(panel, "comboBoxPidSourceX"))
        , sourceY(child<QComboBox>(panel, "comboBoxPidSourceY"))
        , sourceI0(child<QComboBox>(panel, "comboBoxPidSourceI0"))
        , outputX(child<QComboBox>(panel, "positionXComboBox"))
        , outputY(child<QComboBox>(panel, "positionYComboBox"))
        , outputI0(child<QComboBox>(panel, "positionI0ComboBox"))
        , fieldX(child<QDoubleSpinBox>(panel, "posXDoubleSpinBox"))
        , fieldY(child<QDoubleSpinBox>(panel, "posYDoubleSpinBox"))
        , fieldI0(child<QDoubleSpinBox>(panel, "i0DoubleSpinBox"))
        , unit(child<QComboBox>(panel, "i0UnitSelector"))
        , slider(child<Slider>(panel, "i0slider"))
        , handle(slider->findChild<QSlider*>(QStringLiteral("handle")))
        , bar(slider->findChild<QProgressBar*>(QStringLiteral("bar")))
        , updateConfiguration(child<QPushButton>(panel, "updateConfButton"))
        , updateSetpoint(child<QPushButton>(panel, "buttonUpdate"))
        , note(child<QLabel>(panel, "readNote"))
    {
    }

    QList<int> outputs() const { return {outputX->currentIndex(), outputY->currentIndex(), outputI0->currentIndex()}; }
    QList<int> sources() const { return {sourceX->currentIndex(), sourceY->currentIndex(), sourceI0->currentIndex()}; }
    QList<bool> ticks() const { return {x->isChecked(), y->isChecked(), i0->isChecked()}; }
    QList<Qt::CheckState> checkStates() const { return {x->checkState(), y->checkState(), i0->checkState()}; }
    QStringList fieldTexts() const { return {fieldX->text(), fieldY->text(), fieldI0->text()}; }
    // What the note shows; empty while it is hidden.
    QString noteText() const { return note->isVisibleTo(note->window()) ? note->text() : QString(); }
    QList<bool> fieldsEnabled() const { return {fieldX->isEnabled(), fieldY->isEnabled(), fieldI0->isEnabled()}; }
    void setOutputs(int ox, int oy, int oi0) const
    {
        outputX->setCurrentIndex(ox);
        outputY->setCurrentIndex(oy);
        outputI0->setCurrentIndex(oi0);
    }
    void setSources(int sx, int sy, int si0) const
    {
        sourceX->setCurrentIndex(sx);
        sourceY->setCurrentIndex(sy);
        sourceI0->setCurrentIndex(si0);
    }
    void setTicks(bool tx, bool ty, bool ti0) const
    {
        x->setChecked(tx);
        y->setChecked(ty);
        i0->setChecked(ti0);
    }
    QString topLabel() const
    {
        auto* row = slider->findChild<QHBoxLayout*>(QStringLiteral("labelRow"));
        auto* last = qobject_cast<QLabel*>(row->itemAt(row->count() - 1)->widget());
        return last ? last->text() : QString();
    }

    QCheckBox *x, *y, *i0;
    QComboBox *sourceX, *sourceY, *sourceI0;
    QComboBox *outputX, *outputY, *outputI0;
    QDoubleSpinBox *fieldX, *fieldY, *fieldI0;
    QComboBox* unit;
    Slider* slider;
    QSlider* handle;
    QProgressBar* bar;
    QPushButton *updateConfiguration, *updateSetpoint;
    QLabel* note;
};

// A missing reading, as every window shows one.
const QString DASH = QString::fromUtf8("\u2014");

QList<int> sentOutSel()
{
    const SimControl::Sent s = SimControl::sent();
    return {s.outSel[0], s.outSel[1], s.outSel[2]};
}

QList<int> sentBpmSel()
{
    const SimControl::Sent s = SimControl::sent();
    return {s.bpmSel[0], s.bpmSel[1], s.bpmSel[2]};
}

QList<int> globalBpmSel() { return {BPM_SEL_X, BPM_SEL_Y, BPM_SEL_I0}; }

// The regulated axes of a code, as the check boxes show them.
QList<bool> axesOfCode(int code)
{
    static const QList<QList<bool>> axes = {{true, false, false}, {true, true, false}, {true, false, true},
                                            {false, true, false}, {false, true, true},  {true, true, true},
                                            {false, false, true}};
    return code >= 0 && code < axes.size() ? axes[code] : QList<bool>{};
}

int configurationWrites()
{
    return SimControl::callCount("setPIDoutSel") + SimControl::callCount("setBPMselector") +
           SimControl::callCount("setPIDconf");
}

// Types the text into the field and commits it with Return, as the operator does.
void type(QDoubleSpinBox* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
}  // namespace

class TestWidgetFeedbackControl : public QObject
{
    Q_OBJECT

private:
    QVariant stored(const QString& key) const
    {
        QSettings settings(m_program->config->path(), QSettings::IniFormat);
        return settings.value(key);
    }

    void store(const QVariantMap& values) const
    {
        QSettings settings(m_program->config->path(), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.setValue(it.key(), it.value());
    }

    bool beamlineStored() const
    {
        QSettings settings(m_program->config->path(), QSettings::IniFormat);
        return !settings.childGroups().contains(QStringLiteral("Beamline")) ? false
                                                                              : !settings.allKeys().filter(QStringLiteral("Beamline/")).isEmpty();
    }

    // Brings the controller into a feedback status and lets the device link cache it.
    void driveStatus(int status)
    {
        switch (status) {
        case PID_STATUS_OUT_OF_ROC:
            QCOMPARE(::setBPMoffset(0, 500.0, 0.0), 0);  // beyond the 100 um ROC half-width
            QCOMPARE(::setROCenable(1, 0, 0, 0, 0, 0), 0);
            QCOMPARE(::setFBenable(1), 0);
            break;
        case PID_STATUS_BEAM_OFF:
            QCOMPARE(::setROClimits(2, 0.0, 1.0), 0);  // threshold far above the beam
            QCOMPARE(::setROCenable(0, 0, 1, 0, 0, 0), 0);
            QCOMPARE(::setFBenable(1), 0);
            break;
        case PID_STATUS_ON:
            QCOMPARE(::setFBenable(1), 0);
            break;
        default:
            break;
        }
        SimControl::step(0.05);
        m_program->link->refreshData();
        QCOMPARE(m_program->link->pidStatus(), status);
    }

    std::optional<ProgramFixture> m_program;

private slots:
    void initTestCase() { LogCapture::install(); }

    void init()
    {
        m_program.emplace(ProgramFixture::Options().quietBeam().atUserLevel(USER_LEVEL_USER));
        LogCapture::clear();
    }

    void cleanup() { m_program.reset(); }

    // ---- construction -----------------------------------------------------------

    void constructionShowsStoredWiring_data()
    {
        QTest::addColumn<QVariantMap>("config");
        QTest::addColumn<QList<int>>("controllerSel");
        QTest::addColumn<QList<int>>("outputs");
        QTest::addColumn<QList<int>>("sources");
        QTest::addColumn<QList<bool>>("ticks");

        QTest::newRow("empty file gives CH1 CH2 CH3 and nothing ticked")
            << QVariantMap{} << QList<int>{0, 0, 0} << QList<int>{0, 1, 2} << QList<int>{0, 0, 0}
            << QList<bool>{false, false, false};
        QTest::newRow("stored channels 3 0 1")
            << QVariantMap{{"Beamline/DAC_posX", 3}, {"Beamline/DAC_posY", 0}, {"Beamline/DAC_I0", 1}}
            << QList<int>{0, 0, 0} << QList<int>{3, 0, 1} << QList<int>{0, 0, 0} << QList<bool>{false, false, false};
        QTest::newRow("enable 1 ticks, enable 2 leaves its box clear")
            << QVariantMap{{"PID_X/enable", 1}, {"PID_Y/enable", 2}, {"PID_I0/enable", 1}} << QList<int>{0, 0, 0}
            << QList<int>{0, 1, 2} << QList<int>{0, 0, 0} << QList<bool>{true, false, true};
        QTest::newRow("BPM selection comes from the controller, not the file")
            << QVariantMap{{"Beamline/BPM_posX", 0}, {"Beamline/BPM_posY", 1}, {"Beamline/BPM_I0", 0}}
            << QList<int>{1, 0, 1} << QList<int>{0, 1, 2} << QList<int>{1, 0, 1} << QList<bool>{false, false, false};
    }

    void constructionShowsStoredWiring()
    {
        QFETCH(QVariantMap, config);
        QFETCH(QList<int>, controllerSel);
        QFETCH(QList<int>, outputs);
        QFETCH(QList<int>, sources);
        QFETCH(QList<bool>, ticks);

        store(config);
        QCOMPARE(::setBPMselector(controllerSel[0], controllerSel[1], controllerSel[2]), 0);
        const int writesBefore = configurationWrites();

        WidgetFeedbackControl panel;
        const Form form(panel);
        QCOMPARE(form.outputs(), outputs);
        QCOMPARE(form.sources(), sources);
        QCOMPARE(globalBpmSel(), sources);
        QCOMPARE(form.ticks(), ticks);
        QCOMPARE(form.unit->currentText(), QStringLiteral("nA"));
        QCOMPARE(form.fieldX->suffix(), QStringLiteral(" \u00b5m"));
        QCOMPARE(configurationWrites(), writesBefore);
    }

    void failedSelectorReadShowsNoSelection()
    {
        BPM_SEL_X = 1;
        BPM_SEL_Y = 0;
        BPM_SEL_I0 = 1;
        SimControl::failCall("getBPMselector");
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        // Not the globals' old values as if the controller had said them.
        QCOMPARE(form.sources(), (QList<int>{-1, -1, -1}));
        for (QComboBox* box : {form.sourceX, form.sourceY, form.sourceI0})
            QCOMPARE(box->placeholderText(), DASH);
        QCOMPARE(globalBpmSel(), (QList<int>{1, 0, 1}));
        QVERIFY2(form.noteText().contains("getBPMselector"), qPrintable(form.noteText()));

        // Read again once the operator has chosen and sent: the note goes.
        SimControl::clearFailures();
        form.setSources(1, 1, 0);
        click(form.updateConfiguration);
        QCOMPARE(sentBpmSel(), (QList<int>{1, 1, 0}));
        QCOMPARE(form.noteText(), QString());
    }

    // ---- selections that are none of the items ---------------------------------------

    void storedChannelOutsideItsRange_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("loop");     // 0 X, 1 Y, 2 I0
        QTest::addColumn<int>("repair");   // the free channel the operator then picks

        QTest::newRow("X stored as 7") << "Beamline/DAC_posX" << 7 << 0 << 3;
        QTest::newRow("Y stored as -1") << "Beamline/DAC_posY" << -1 << 1 << 3;
        QTest::newRow("I0 stored as 256, whose low byte would read CH1") << "Beamline/DAC_I0" << 256 << 2 << 3;
        QTest::newRow("X stored as 4") << "Beamline/DAC_posX" << 4 << 0 << 0;
    }

    void storedChannelOutsideItsRange()
    {
        QFETCH(QString, key);
        QFETCH(int, value);
        QFETCH(int, loop);
        QFETCH(int, repair);

        store({{key, value}});
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        QComboBox* selector = QList<QComboBox*>{form.outputX, form.outputY, form.outputI0}[loop];

        // A clear state: no channel selected, the placeholder shown. A value
        // the store reads as missing shows a dash; one it hands over, "invalid".
        QStringList unread;
        m_program->config->getDACmap(nullptr, nullptr, nullptr, &unread);
        const bool missing = unread.contains(key.section('/', -1)) || unread.contains(key);
        QCOMPARE(selector->currentIndex(), -1);
        QCOMPARE(selector->currentText(), QString());
        QCOMPARE(selector->placeholderText(), missing ? DASH : QStringLiteral("invalid"));
        QVERIFY2(form.noteText().contains(key), qPrintable(form.noteText()));
        if (!missing)
            QVERIFY2(form.noteText().contains(QString::number(value)), qPrintable(form.noteText()));

        // Never sent, never stored over.
        click(form.updateConfiguration);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().at(0).kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().at(0).title, QStringLiteral("DAC outputs not valid"));
        QCOMPARE(configurationWrites(), 0);
        QCOMPARE(stored(key).toInt(), value);

        // Once a channel is chosen the update goes through.
        selector->setCurrentIndex(repair);
        QList<int> expected = form.outputs();
        click(form.updateConfiguration);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(sentOutSel(), expected);
        QCOMPARE(stored(key).toInt(), repair);
    }

    void unreadSourceIsNeverSent()
    {
        // The controller's answer fails while the selection held is no BPM:
        // neither stands in for the reading.
        BPM_SEL_Y = 2;
        SimControl::failCall("getBPMselector");
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        QCOMPARE(form.sourceY->currentIndex(), -1);
        QCOMPARE(form.sourceY->placeholderText(), DASH);

        click(form.updateConfiguration);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().at(0).title, QStringLiteral("Source not valid"));
        QVERIFY(Prompts::shown().at(0).text.contains("getBPMselector"));
        QCOMPARE(configurationWrites(), 0);
        QVERIFY(!beamlineStored());
    }

    // ---- what the panel could not read ----------------------------------------------

    // Each controller read the panel shows or acts on, failing: what it shows,
    // that nothing of it is sent, and what the operator is told.
    void failedReadShowsMissing_data()
    {
        QTest::addColumn<QString>("read");      // the library call that fails
        QTest::addColumn<QString>("when");      // "start": at the panel's own reads; else the call refused first
        QTest::addColumn<QString>("control");   // "sources", "outputs", "axes", "setpoint", "bar"
        QTest::addColumn<QString>("refusal");   // the title of the box the blocked button gives

        QTest::newRow("BPM selector at construction") << "getBPMselector" << "start" << "sources" << "Source not valid";
        QTest::newRow("BPM selector after a refused selection")
            << "getBPMselector" << "setBPMselector" << "sources" << "Source not valid";
        QTest::newRow("output map after a refused map") << "getPIDoutSel" << "setPIDoutSel" << "outputs"
                                                        << "DAC outputs not valid";
        QTest::newRow("regulated axes at start") << "getPIDconf" << "start" << "axes" << "Regulated axes not known";
        QTest::newRow("regulated axes after a refused code") << "getPIDconf" << "setPIDconf" << "axes"
                                                             << "Regulated axes not known";
        QTest::newRow("setpoint at start") << "getSetpoint2" << "start" << "setpoint" << "Setpoint not sent";
        QTest::newRow("setpoint after a refused setpoint") << "getSetpoint2" << "setSetpoint2" << "setpoint"
                                                           << "Setpoint not sent";
        QTest::newRow("statistics for the I0 bar") << "getBPMStats" << "start" << "bar" << "";
    }

    void failedReadShowsMissing()
    {
        QFETCH(QString, read);
        QFETCH(QString, when);
        QFETCH(QString, control);
        QFETCH(QString, refusal);

        // The controller holds a wiring that differs from the panel's start state.
        QCOMPARE(::setBPMselector(1, 0, 1), 0);
        QCOMPARE(::setPIDoutSel(3, 2, 1), 0);
        QCOMPARE(::setPIDconf(3), 0);
        QCOMPARE(::setSetpoint2(0, 10.0), 0);
        QCOMPARE(::setSetpoint2(1, 20.0), 0);
        QCOMPARE(::setSetpoint2(2, 3e-7), 0);
        SimControl::setBeamIntensityFactor(0.11);
        SimControl::step(1.5);
        m_program->link->refreshData();
        BPM_SEL_X = 0;
        BPM_SEL_Y = 1;
        BPM_SEL_I0 = 0;

        std::optional<WidgetFeedbackControl> panel;
        if (when == "start") {
            SimControl::failCall(read.toStdString());
            if (read == "getBPMStats")
                m_program->link->refreshData();
            panel.emplace();
            panel->show();
            panel->readRegulatedAxes();
            panel->updateXYfields();
            QVERIFY(QMetaObject::invokeMethod(&*panel, "refreshFields"));
        } else {
            panel.emplace();
            panel->show();
            panel->readRegulatedAxes();
            panel->updateXYfields();
            const Form form(*panel);
            form.setSources(0, 1, 0);
            form.setOutputs(1, 2, 3);
            form.setTicks(true, true, false);
            form.fieldX->setValue(7.0);
            SimControl::failCall(when.toStdString());
            SimControl::failCall(read.toStdString());
            click(when == "setSetpoint2" ? form.updateSetpoint : form.updateConfiguration);
            // The refused request never became the globals either.
            if (when == "setBPMselector")
                QCOMPARE(globalBpmSel(), (QList<int>{1, 0, 1}));
            // The refusal names what could not be read back.
            QCOMPARE(Prompts::shown().size(), 1);
            QCOMPARE(Prompts::shown().at(0).title, QStringLiteral("Controller refused"));
            QVERIFY2(Prompts::shown().at(0).text.contains("could not be read back"),
                     qPrintable(Prompts::shown().at(0).text));
            Prompts::clear();
        }
        const Form form(*panel);
        const QList<int> globalsBefore = globalBpmSel();

        if (control == "sources") {
            QCOMPARE(form.sources(), (QList<int>{-1, -1, -1}));
            QCOMPARE(form.sourceX->placeholderText(), DASH);
        } else if (control == "outputs") {
            QCOMPARE(form.outputs(), (QList<int>{-1, -1, -1}));
            QCOMPARE(form.outputX->placeholderText(), DASH);
        } else if (control == "axes") {
            QCOMPARE(form.checkStates(), QList<Qt::CheckState>(3, Qt::PartiallyChecked));
        } else if (control == "setpoint") {
            QCOMPARE(form.fieldTexts(), QStringList(3, DASH));
        } else if (control == "bar") {
            QCOMPARE(form.bar->value(), 0);
        }
        const QString shownRead = read == "getSetpoint2" ? "getSetpoint" : read;
        QVERIFY2(form.noteText().contains(read == "getBPMStats" ? "BPM statistics" : shownRead),
                 qPrintable(form.noteText()));
        if (refusal.isEmpty())
            return;

        // The control that needs the reading refuses, naming it, and sends nothing.
        const int writes = configurationWrites() + SimControl::callCount("setSetpoint2");
        const QByteArray file = TestFiles::contents(m_program->config->path());
        click(control == "setpoint" ? form.updateSetpoint : form.updateConfiguration);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().at(0).kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().at(0).title, refusal);
        QVERIFY2(Prompts::shown().at(0).text.contains(shownRead), qPrintable(Prompts::shown().at(0).text));
        QCOMPARE(configurationWrites() + SimControl::callCount("setSetpoint2"), writes);
        QCOMPARE(TestFiles::contents(m_program->config->path()), file);
        QCOMPARE(globalBpmSel(), globalsBefore);
    }

    void unreadSetpointIsReadAgainBeforeSending()
    {
        QCOMPARE(::setSetpoint2(0, 10.0), 0);
        QCOMPARE(::setSetpoint2(1, 20.0), 0);
        QCOMPARE(::setSetpoint2(2, 3e-7), 0);
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        SimControl::failCall("getSetpoint2");
        panel.updateXYfields();
        QCOMPARE(form.fieldTexts(), QStringList(3, DASH));

        // The operator types X; Y and I0 still have no value.
        type(form.fieldX, QStringLiteral("5"));
        QCOMPARE(form.fieldX->value(), 5.0);
        QVERIFY(form.noteText().contains("Position Y, I0"));
        click(form.updateSetpoint);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(SimControl::callCount("setSetpoint2"), 3);  // the three above only

        // The controller answers again: the missing two are read, and the three go out.
        SimControl::clearFailures();
        Prompts::clear();
        click(form.updateSetpoint);
        QVERIFY(Prompts::shown().isEmpty());
        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.setpoint[0], 5.0);
        QCOMPARE(sent.setpoint[1], 20.0);
        QCOMPARE(sent.setpoint[2], 3e-7);
        QCOMPARE(form.noteText(), QString());
    }

    void unreadAxesTakeTheOperatorsChoice()
    {
        QCOMPARE(::setPIDconf(5), 0);
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        SimControl::failCall("getPIDconf");
        panel.readRegulatedAxes();
        QCOMPARE(form.checkStates(), QList<Qt::CheckState>(3, Qt::PartiallyChecked));
        SimControl::clearFailures();

        // One click gives a dashed box a state of the operator's; the others still block.
        click(form.updateConfiguration);
        QCOMPARE(Prompts::shown().size(), 1);
        QTest::mouseClick(form.x, Qt::LeftButton);
        QTest::mouseClick(form.y, Qt::LeftButton);
        QTest::mouseClick(form.y, Qt::LeftButton);
        QTest::mouseClick(form.i0, Qt::LeftButton);
        QTest::mouseClick(form.i0, Qt::LeftButton);
        QCOMPARE(form.checkStates(), (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Unchecked}));
        QCOMPARE(form.noteText(), QString());
        click(form.updateConfiguration);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(int(SimControl::sent().pidConf), 0);
        // Plain boxes from then on: no third state.
        QTest::mouseClick(form.y, Qt::LeftButton);
        QTest::mouseClick(form.y, Qt::LeftButton);
        QCOMPARE(form.y->checkState(), Qt::Unchecked);
    }

    void unreadStatusRefusesConfiguration()
    {
        SimControl::failCall("getPIDstatus");
        m_program->link->refreshData();
        // A tool asking for the status while the polls fail is told it is unknown.
        QCOMPARE(m_program->link->pidStatus(), PID_STATUS_UNKNOWN);
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.setOutputs(3, 2, 1);
        click(form.updateConfiguration);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().at(0).title, QStringLiteral("Feedback status unknown"));
        QCOMPARE(configurationWrites(), 0);
        QVERIFY(!beamlineStored());
    }

    // Stored values the panel cannot show: as the panel's rules say, with a
    // note naming the key; a value that is no number shows as missing.
    void storedValueThePanelCannotShow_data()
    {
        QTest::addColumn<QVariantMap>("config");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QList<int>>("outputs");
        QTest::addColumn<QList<Qt::CheckState>>("states");
        QTest::addColumn<QString>("placeholder");  // of the X output selector

        const QVariantMap enabled{{"PID_X/enable", 1}, {"PID_Y/enable", 1}, {"PID_I0/enable", 1}};
        const QList<Qt::CheckState> allTicked(3, Qt::Checked);
        QVariantMap spoiltY = enabled;
        spoiltY["PID_Y/enable"] = "abc";
        QVariantMap twoY = enabled;
        twoY["PID_Y/enable"] = 2;

        QTest::newRow("DAC_posX no number: a dash") << QVariantMap{{"Beamline/DAC_posX", "abc"}} << "Beamline/DAC_posX"
                                                    << QList<int>{-1, 1, 2} << QList<Qt::CheckState>(3, Qt::Unchecked)
                                                    << DASH;
        QTest::newRow("DAC_posX empty: a dash") << QVariantMap{{"Beamline/DAC_posX", ""}} << "Beamline/DAC_posX"
                                                << QList<int>{-1, 1, 2} << QList<Qt::CheckState>(3, Qt::Unchecked)
                                                << DASH;
        QTest::newRow("PID_Y/enable no number: a dashed box")
            << spoiltY << "PID_Y/enable" << QList<int>{0, 1, 2}
            << QList<Qt::CheckState>{Qt::Checked, Qt::PartiallyChecked, Qt::Checked} << "invalid";
        QTest::newRow("PID_Y/enable 2: clear, and said") << twoY << "PID_Y/enable" << QList<int>{0, 1, 2}
                                                         << QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked}
                                                         << "invalid";
    }

    void storedValueThePanelCannotShow()
    {
        QFETCH(QVariantMap, config);
        QFETCH(QString, key);
        QFETCH(QList<int>, outputs);
        QFETCH(QList<Qt::CheckState>, states);
        QFETCH(QString, placeholder);

        store(config);
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        QCOMPARE(form.outputs(), outputs);
        QCOMPARE(form.checkStates(), states);
        QCOMPARE(form.outputX->placeholderText(), placeholder);
        QVERIFY2(form.noteText().contains(key), qPrintable(form.noteText()));

        // Once the controller's axes are shown, the stored ones no longer matter.
        panel.readRegulatedAxes();
        if (key.startsWith("PID_"))
            QCOMPARE(form.noteText(), QString());
    }

    // ---- "Update Configuration" ------------------------------------------------------------

    void feedbackStatusGatesConfiguration_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0 feedback off goes on") << int(PID_STATUS_OFF) << true;
        QTest::newRow("1 out of ROC goes on") << int(PID_STATUS_OUT_OF_ROC) << true;
        QTest::newRow("2 beam off refuses") << int(PID_STATUS_BEAM_OFF) << false;
        QTest::newRow("3 feedback on refuses") << int(PID_STATUS_ON) << false;
    }

    void feedbackStatusGatesConfiguration()
    {
        QFETCH(int, status);
        QFETCH(bool, accepted);

        driveStatus(status);
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.setOutputs(3, 2, 1);
        form.setSources(1, 1, 0);
        form.setTicks(false, true, false);
        QSignalSpy changed(&panel, &WidgetFeedbackControl::somethingChanged);
        QSignalSpy selector(&panel, &WidgetFeedbackControl::BPMselectorChanged);

        click(form.updateConfiguration);

        if (accepted) {
            QVERIFY(Prompts::shown().isEmpty());
            QCOMPARE(sentOutSel(), (QList<int>{3, 2, 1}));
            QCOMPARE(sentBpmSel(), (QList<int>{1, 1, 0}));
            QCOMPARE(int(SimControl::sent().pidConf), 3);
            QCOMPARE(globalBpmSel(), (QList<int>{1, 1, 0}));
            QCOMPARE(stored("Beamline/DAC_posX").toInt(), 3);
            QCOMPARE(stored("Beamline/DAC_posY").toInt(), 2);
            QCOMPARE(stored("Beamline/DAC_I0").toInt(), 1);
            QCOMPARE(stored("Beamline/BPM_posX").toInt(), 1);
            QCOMPARE(stored("Beamline/BPM_posY").toInt(), 1);
            QCOMPARE(stored("Beamline/BPM_I0").toInt(), 0);
            QCOMPARE(selector.count(), 1);
            QCOMPARE(changed.count(), 2);
        } else {
            QCOMPARE(Prompts::shown().size(), 1);
            QCOMPARE(Prompts::shown().at(0).kind, Prompts::Kind::Warning);
            QCOMPARE(Prompts::shown().at(0).title, QStringLiteral("PID running ..."));
            QCOMPARE(Prompts::shown().at(0).text,
                     QStringLiteral("Configuration can be change only if the PID is stopped."));
            QCOMPARE(configurationWrites(), 0);
            QVERIFY(!beamlineStored());
            QCOMPARE(globalBpmSel(), (QList<int>{0, 0, 0}));
            QCOMPARE(selector.count(), 0);
            QCOMPARE(changed.count(), 0);
        }
    }

    void sharedOutputIsRefused_data()
    {
        QTest::addColumn<QList<int>>("outputs");
        QTest::newRow("X and Y on CH2") << QList<int>{1, 1, 2};
        QTest::newRow("Y and I0 on CH4") << QList<int>{0, 3, 3};
        QTest::newRow("X and I0 on CH1") << QList<int>{0, 1, 0};
        QTest::newRow("all three on CH3") << QList<int>{2, 2, 2};
    }

    void sharedOutputIsRefused()
    {
        QFETCH(QList<int>, outputs);

        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.setOutputs(outputs[0], outputs[1], outputs[2]);
        form.setSources(1, 1, 1);
        form.setTicks(true, true, true);
        QSignalSpy changed(&panel, &WidgetFeedbackControl::somethingChanged);
        QSignalSpy selector(&panel, &WidgetFeedbackControl::BPMselectorChanged);

        click(form.updateConfiguration);

        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().at(0).kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().at(0).title, QStringLiteral("DAC outputs not unique"));
        QCOMPARE(Prompts::shown().at(0).text, QStringLiteral("DAC outputs must be unique"));
        // Nothing at all: no output selection, no BPM selection, no code.
        QCOMPARE(configurationWrites(), 0);
        QVERIFY(!beamlineStored());
        QCOMPARE(globalBpmSel(), (QList<int>{0, 0, 0}));
        QCOMPARE(selector.count(), 0);
        QCOMPARE(changed.count(), 0);
    }

    void boxesGiveTheRegulationCode_data()
    {
        QTest::addColumn<QList<bool>>("ticks");
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<bool>>("shown");

        QTest::newRow("X gives 0") << QList<bool>{true, false, false} << 0 << QList<bool>{true, false, false};
        QTest::newRow("nothing ticked gives 0 and ticks X")
            << QList<bool>{false, false, false} << 0 << QList<bool>{true, false, false};
        QTest::newRow("X Y gives 1") << QList<bool>{true, true, false} << 1 << QList<bool>{true, true, false};
        QTest::newRow("X I0 gives 2") << QList<bool>{true, false, true} << 2 << QList<bool>{true, false, true};
        QTest::newRow("Y gives 3") << QList<bool>{false, true, false} << 3 << QList<bool>{false, true, false};
        QTest::newRow("Y I0 gives 4") << QList<bool>{false, true, true} << 4 << QList<bool>{false, true, true};
        QTest::newRow("X Y I0 gives 5") << QList<bool>{true, true, true} << 5 << QList<bool>{true, true, true};
        QTest::newRow("I0 gives 6") << QList<bool>{false, false, true} << 6 << QList<bool>{false, false, true};
    }

    void boxesGiveTheRegulationCode()
    {
        QFETCH(QList<bool>, ticks);
        QFETCH(int, code);
        QFETCH(QList<bool>, shown);

        QCOMPARE(::setPIDconf(code == 5 ? 6 : 5), 0);  // so that the code sent is seen
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.setTicks(ticks[0], ticks[1], ticks[2]);
        QSignalSpy changed(&panel, &WidgetFeedbackControl::somethingChanged);

        click(form.updateConfiguration);

        QCOMPARE(int(SimControl::sent().pidConf), code);
        QCOMPARE(form.ticks(), shown);
        QCOMPARE(form.fieldsEnabled(), shown);
        QCOMPARE(changed.count(), 2);
        // The wiring went out with it.
        QCOMPARE(sentOutSel(), (QList<int>{0, 1, 2}));
        QCOMPARE(sentBpmSel(), (QList<int>{0, 0, 0}));
        QCOMPARE(SimControl::callCount("setPIDoutSel"), 1);
        QCOMPARE(SimControl::callCount("setBPMselector"), 1);
    }

    void refusedCallShowsWhatTheControllerHolds_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QList<bool>>("ticks");
        QTest::addColumn<QList<int>>("sources");
        QTest::addColumn<QList<int>>("outputs");

        // The controller holds code 1 (X and Y), sources BPM2, BPM1, BPM2 and
        // outputs CH4, CH3, CH2; the operator asks for code 4, BPM1, BPM2, BPM1
        // and CH2, CH3, CH4.
        QTest::newRow("setPIDconf keeps the held axes")
            << "setPIDconf" << "the regulated axes" << QList<bool>{true, true, false} << QList<int>{0, 1, 0}
            << QList<int>{1, 2, 3};
        QTest::newRow("setBPMselector keeps the held sources")
            << "setBPMselector" << "the sources" << QList<bool>{false, true, true} << QList<int>{1, 0, 1}
            << QList<int>{1, 2, 3};
        QTest::newRow("setPIDoutSel keeps the held outputs")
            << "setPIDoutSel" << "the output channels" << QList<bool>{false, true, true} << QList<int>{0, 1, 0}
            << QList<int>{3, 2, 1};
    }

    void refusedCallShowsWhatTheControllerHolds()
    {
        QFETCH(QString, function);
        QFETCH(QString, what);
        QFETCH(QList<bool>, ticks);
        QFETCH(QList<int>, sources);
        QFETCH(QList<int>, outputs);

        QCOMPARE(::setPIDconf(1), 0);
        QCOMPARE(::setBPMselector(1, 0, 1), 0);
        QCOMPARE(::setPIDoutSel(3, 2, 1), 0);
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        panel.confChanged(1);
        form.setTicks(false, true, true);
        form.setSources(0, 1, 0);
        form.setOutputs(1, 2, 3);
        SimControl::failCall(function.toStdString());
        QSignalSpy changed(&panel, &WidgetFeedbackControl::somethingChanged);

        click(form.updateConfiguration);

        QCOMPARE(form.ticks(), ticks);
        QCOMPARE(form.fieldsEnabled(), ticks);
        QCOMPARE(form.sources(), sources);
        QCOMPARE(globalBpmSel(), sources);
        QCOMPARE(form.outputs(), outputs);
        // What the panel shows is what the controller holds.
        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(axesOfCode(int(sent.pidConf)), ticks);
        QCOMPARE(sentBpmSel(), sources);
        QCOMPARE(sentOutSel(), outputs);
        // The file takes only what the controller took.
        QCOMPARE(stored("Beamline/DAC_posX").isValid(), function != "setPIDoutSel");
        QCOMPARE(stored("Beamline/BPM_posY").isValid(), function != "setBPMselector");
        if (function != "setPIDoutSel")
            QCOMPARE(stored("Beamline/DAC_posX").toInt(), 1);
        if (function != "setBPMselector")
            QCOMPARE(stored("Beamline/BPM_posY").toInt(), 1);
        QCOMPARE(changed.count(), 2);

        const QString warning = QStringLiteral("The controller refused %1; the feedback panel shows what it holds ").arg(what);
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn).contains(warning));
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().first().title, QString("Controller refused"));
        QVERIFY(Prompts::shown().first().text.contains(what));

        // Once the fault clears, the next update sends the request again.
        SimControl::clearFailures();
        form.setTicks(false, true, true);
        form.setSources(0, 1, 0);
        form.setOutputs(1, 2, 3);
        click(form.updateConfiguration);
        QCOMPARE(int(SimControl::sent().pidConf), 4);
        QCOMPARE(sentBpmSel(), (QList<int>{0, 1, 0}));
        QCOMPARE(sentOutSel(), (QList<int>{1, 2, 3}));
        QCOMPARE(Prompts::shown().size(), 1);
    }

    // A wiring the controller refused never reaches the file, so the next start
    // does not show it either.
    void refusedWiringLeavesTheFileAsItWas()
    {
        store({{"Beamline/DAC_posX", 0}, {"Beamline/DAC_posY", 1}, {"Beamline/DAC_I0", 2},
               {"Beamline/BPM_posX", 0}, {"Beamline/BPM_posY", 0}, {"Beamline/BPM_I0", 0}});
        const QByteArray before = TestFiles::contents(m_program->config->path());
        WidgetFeedbackControl panel;
        const Form form(panel);
        form.setOutputs(3, 2, 1);
        form.setSources(1, 1, 0);
        SimControl::failCall("setPIDoutSel");
        SimControl::failCall("setBPMselector");

        click(form.updateConfiguration);

        QCOMPARE(TestFiles::contents(m_program->config->path()), before);
        QCOMPARE(sentOutSel(), (QList<int>{0, 1, 2}));
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().title, QString("Controller refused"));

        // A panel made anew, as at the next start, shows what the controller holds.
        WidgetFeedbackControl next;
        QCOMPARE(Form(next).outputs(), (QList<int>{0, 1, 2}));
    }

    void failedConfigurationWriteIsTold()
    {
        // A folder where the file should be: it can be neither read nor written.
        QVERIFY(QDir().mkdir(m_program->config->path()));
        WidgetFeedbackControl panel;
        // As the main window does: the file gave no axes, the controller does.
        panel.readRegulatedAxes();
        const Form form(panel);
        form.setOutputs(3, 2, 1);
        click(form.updateConfiguration);

        // The controller took it; the operator learns it lasts only until a restart.
        QCOMPARE(sentOutSel(), (QList<int>{3, 2, 1}));
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().first().title, QString("Settings not stored"));
        QVERIFY(Prompts::shown().first().text.contains("until the program restarts"));
    }

    // The demonstration file as ./run.sh hands it over: the first save (here
    // the panel's) rewrites it, and must leave every setting it holds.
    void demoConfigurationLosesNothingAtItsFirstSave()
    {
        QFile::remove(m_program->configPath());
        QVERIFY(QFile::copy(QStringLiteral(VORN_DEMO_CONFIG), m_program->configPath()));
        QFile::setPermissions(m_program->configPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QList<QByteArray> before = TestFiles::contents(m_program->configPath()).split('\n');
        WidgetFeedbackControl panel;
        panel.readRegulatedAxes();
        const Form form(panel);
        QCOMPARE(form.noteText(), QString());
        click(form.updateConfiguration);
        QVERIFY(Prompts::shown().isEmpty());

        const QByteArray after = TestFiles::contents(m_program->configPath());
        QVERIFY(after != TestFiles::contents(QStringLiteral(VORN_DEMO_CONFIG)));  // it was rewritten
        const QList<QByteArray> afterLines = after.split('\n');
        for (const QByteArray& line : before) {
            const QByteArray kept = line.trimmed();
            if (kept.isEmpty())
                continue;
            // A comment is what the rewrite drops.
            QVERIFY2(!kept.startsWith(';') && !kept.startsWith('#'), kept.constData());
            QVERIFY2(afterLines.contains(kept), kept.constData());
        }
    }

    // ---- confChanged -------------------------------------------------------------------------

    void confChangedShowsTheCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<bool>>("shown");  // ticks and field enables alike

        QTest::newRow("0 X") << 0 << QList<bool>{true, false, false};
        QTest::newRow("1 X Y") << 1 << QList<bool>{true, true, false};
        QTest::newRow("2 X I0") << 2 << QList<bool>{true, false, true};
        QTest::newRow("3 Y") << 3 << QList<bool>{false, true, false};
        QTest::newRow("4 Y I0") << 4 << QList<bool>{false, true, true};
        QTest::newRow("5 X Y I0") << 5 << QList<bool>{true, true, true};
        QTest::newRow("6 I0") << 6 << QList<bool>{false, false, true};
        // Not a code: the state of 4 stays.
        QTest::newRow("7 changes nothing") << 7 << QList<bool>{false, true, true};
        QTest::newRow("-1 changes nothing") << -1 << QList<bool>{false, true, true};
        QTest::newRow("127 changes nothing") << 127 << QList<bool>{false, true, true};
    }

    void confChangedShowsTheCode()
    {
        QFETCH(int, code);
        QFETCH(QList<bool>, shown);

        WidgetFeedbackControl panel;
        const Form form(panel);
        panel.confChanged(4);
        QSignalSpy changed(&panel, &WidgetFeedbackControl::somethingChanged);

        panel.confChanged(code);

        QCOMPARE(form.ticks(), shown);
        QCOMPARE(form.fieldsEnabled(), shown);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(configurationWrites(), 0);
    }

    // ---- setpoint ------------------------------------------------------------------------------

    void updateSetpointSendsTheFields_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("i0");
        QTest::addColumn<double>("amperes");

        QTest::newRow("uA 2 sends 2e-6 A") << "uA" << 12.5 << -3.25 << 2.0 << 2e-6;
        QTest::newRow("nA 523 sends 5.23e-7 A") << "nA" << -100.0 << 0.125 << 523.0 << 5.23e-7;
        QTest::newRow("nA 0.5 sends 5e-10 A") << "nA" << 0.0 << 0.0 << 0.5 << 5e-10;
        QTest::newRow("negative I0 goes as it is") << "uA" << 1.0 << 2.0 << -4.0 << -4e-6;
    }

    void updateSetpointSendsTheFields()
    {
        QFETCH(QString, unit);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, i0);
        QFETCH(double, amperes);

        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.unit->setCurrentText(unit);
        form.fieldX->setValue(x);
        form.fieldY->setValue(y);
        form.fieldI0->setValue(i0);
        QCOMPARE(form.fieldI0->value(), i0);  // on the start scale the handle does not move
        QSignalSpy changed(&panel, &WidgetFeedbackControl::somethingChanged);

        click(form.updateSetpoint);

        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.setpoint[0], x);
        QCOMPARE(sent.setpoint[1], y);
        QCOMPARE(sent.setpoint[2], amperes);
        QCOMPARE(changed.count(), 1);
    }

    void refusedSetpointShowsWhatTheControllerHolds()
    {
        QCOMPARE(::setSetpoint2(0, 10.0), 0);
        QCOMPARE(::setSetpoint2(1, 20.0), 0);
        QCOMPARE(::setSetpoint2(2, 3e-7), 0);
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.fieldX->setValue(7.0);
        form.fieldY->setValue(8.0);
        form.fieldI0->setValue(9.0);
        SimControl::failCall("setSetpoint2");
        QSignalSpy changed(&panel, &WidgetFeedbackControl::somethingChanged);
        const int xCalls = SimControl::callCount("setSetpoint2", 0);
        const int yCalls = SimControl::callCount("setSetpoint2", 1);
        const int i0Calls = SimControl::callCount("setSetpoint2", 2);

        click(form.updateSetpoint);

        // Stopped at X, as the link does.
        QCOMPARE(SimControl::callCount("setSetpoint2", 0), xCalls + 1);
        QCOMPARE(SimControl::callCount("setSetpoint2", 1), yCalls);
        QCOMPARE(SimControl::callCount("setSetpoint2", 2), i0Calls);
        QCOMPARE(form.fieldX->value(), 10.0);
        QCOMPARE(form.fieldY->value(), 20.0);
        QCOMPARE(form.fieldI0->value(), 300.0);
        QCOMPARE(changed.count(), 1);
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn)
                        .contains("The controller refused the setpoint; the feedback panel shows what it holds "));
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().title, QString("Controller refused"));
    }

    void updateXYfieldsShowsTheSetpoint_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("i0");
        QTest::addColumn<double>("fieldX");
        QTest::addColumn<double>("fieldY");
        QTest::addColumn<double>("fieldI0");

        QTest::newRow("nA") << "nA" << 12.5 << -40.25 << 3e-8 << 12.5 << -40.25 << 30.0;
        QTest::newRow("uA") << "uA" << 0.0 << 1.0 << 2e-6 << 0.0 << 1.0 << 2.0;
        QTest::newRow("positions beyond the fields are clamped")
            << "nA" << 2e4 << -2e4 << 0.0 << 10000.0 << -10000.0 << 0.0;
    }

    void updateXYfieldsShowsTheSetpoint()
    {
        QFETCH(QString, unit);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, i0);
        QFETCH(double, fieldX);
        QFETCH(double, fieldY);
        QFETCH(double, fieldI0);

        WidgetFeedbackControl panel;
        const Form form(panel);
        form.unit->setCurrentText(unit);
        QCOMPARE(::setSetpoint2(0, x), 0);
        QCOMPARE(::setSetpoint2(1, y), 0);
        QCOMPARE(::setSetpoint2(2, i0), 0);

        panel.updateXYfields();

        QCOMPARE(form.fieldX->value(), fieldX);
        QCOMPARE(form.fieldY->value(), fieldY);
        QCOMPARE(form.fieldI0->value(), fieldI0);
    }

    void readBackIsNotRoundedToTheHandle()
    {
        WidgetFeedbackControl panel;
        const Form form(panel);
        form.slider->setValue(5e-7f);  // bar scale 0 to 1000 nA
        QCOMPARE(::setSetpoint2(2, 5.23e-7), 0);

        panel.updateXYfields();

        // The handle follows the setpoint, the field keeps the setpoint itself,
        // and sending it again sends what the controller holds.
        QCOMPARE(form.handle->value(), 52);
        QCOMPARE(form.fieldI0->value(), 523.0);
        click(form.updateSetpoint);
        QCOMPARE(SimControl::sent().setpoint[2], 5.23e-7);
    }

    void failedSetpointReadShowsDashes()
    {
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.slider->setValue(5e-7f);
        form.handle->setValue(40);
        form.fieldX->setValue(1.5);
        QCOMPARE(::setSetpoint2(0, 100.0), 0);
        QCOMPARE(::setSetpoint2(1, 200.0), 0);
        QCOMPARE(::setSetpoint2(2, 3e-7), 0);
        SimControl::failCall("getSetpoint2");

        panel.updateXYfields();

        // Neither the fields' old values nor whatever the library left behind.
        QCOMPARE(form.fieldTexts(), QStringList(3, DASH));
        QVERIFY(form.noteText().contains("Position X, Position Y, I0"));
        // The dash is no value for the handle either.
        QCOMPARE(form.handle->value(), 40);

        SimControl::clearFailures();
        panel.updateXYfields();
        QCOMPARE(form.fieldX->value(), 100.0);
        QCOMPARE(form.fieldY->value(), 200.0);
        QCOMPARE(form.fieldI0->value(), 300.0);
        QVERIFY(!form.fieldTexts().contains(DASH));
        QCOMPARE(form.noteText(), QString());
    }

    // ---- I0 field and handle ----------------------------------------------------------------------

    void i0FieldAndHandleFollowEachOther_data()
    {
        QTest::addColumn<float>("measured");  // sets the bar's scale
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("firstPosition");
        QTest::addColumn<double>("firstShown");
        QTest::addColumn<QString>("second");
        QTest::addColumn<double>("secondShown");
        QTest::addColumn<double>("sent");

        QTest::newRow("1000 nA scale: 523 becomes 520, then 525 stays")
            << 5e-7f << "nA" << "523" << 52 << 520.0 << "525" << 525.0 << 5.25e-7;
        QTest::newRow("1 uA scale: 0.523 becomes 0.52, then 0.525 stays")
            << 5e-7f << "uA" << "0.523" << 52 << 0.52 << "0.525" << 0.525 << 5.25e-7;
        // Whole percents that single precision returns a hair low must not walk down.
        QTest::newRow("1000 uA scale: 430.3 becomes 430")
            << 5e-4f << "uA" << "430.3" << 43 << 430.0 << "431" << 431.0 << 4.31e-4;
        QTest::newRow("100 nA scale: 43.5 becomes 43")
            << 5e-8f << "nA" << "43.5" << 43 << 43.0 << "43.9" << 43.9 << 4.39e-8;
        QTest::newRow("100 uA scale: 19.2 becomes 19")
            << 5e-5f << "uA" << "19.2" << 19 << 19.0 << "19.5" << 19.5 << 1.95e-5;
    }

    void i0FieldAndHandleFollowEachOther()
    {
        QFETCH(float, measured);
        QFETCH(QString, unit);
        QFETCH(QString, first);
        QFETCH(int, firstPosition);
        QFETCH(double, firstShown);
        QFETCH(QString, second);
        QFETCH(double, secondShown);
        QFETCH(double, sent);

        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.unit->setCurrentText(unit);
        form.slider->setValue(measured);
        QCOMPARE(form.handle->value(), 0);

        type(form.fieldI0, first);
        QCOMPARE(form.handle->value(), firstPosition);
        QCOMPARE(form.fieldI0->value(), firstShown);

        type(form.fieldI0, second);
        QCOMPARE(form.handle->value(), firstPosition);
        QCOMPARE(form.fieldI0->value(), secondShown);

        click(form.updateSetpoint);
        QCOMPARE(SimControl::sent().setpoint[2], sent);
    }

    void handleSetsTheField_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("field");
        QTest::newRow("nA position 30") << "nA" << 30 << 300.0;
        QTest::newRow("uA position 30") << "uA" << 30 << 0.3;
        QTest::newRow("nA position 99 stays below the top") << "nA" << 99 << 990.0;
    }

    void handleSetsTheField()
    {
        QFETCH(QString, unit);
        QFETCH(int, position);
        QFETCH(double, field);

        WidgetFeedbackControl panel;
        const Form form(panel);
        form.unit->setCurrentText(unit);
        form.slider->setValue(5e-7f);
        form.handle->setValue(position);
        QCOMPARE(form.fieldI0->value(), field);
        QCOMPARE(form.handle->value(), position);
    }

    void unitChangeTriggersNothing()
    {
        WidgetFeedbackControl panel;
        panel.show();
        const Form form(panel);
        form.slider->setValue(5e-7f);
        type(form.fieldI0, QStringLiteral("523"));  // moves the handle to 52
        type(form.fieldI0, QStringLiteral("525"));  // does not move it again
        QCOMPARE(form.handle->value(), 52);
        QCOMPARE(form.fieldI0->value(), 525.0);

        form.unit->setCurrentText(QStringLiteral("uA"));
        QCOMPARE(form.fieldI0->value(), 525.0);
        QCOMPARE(form.handle->value(), 52);
        QCOMPARE(SimControl::callCount("setSetpoint2"), 0);

        // The new unit applies from the next send.
        click(form.updateSetpoint);
        QCOMPARE(SimControl::sent().setpoint[2], 525e-6);
    }

    // ---- I0 bar ------------------------------------------------------------------------------------

    void barFollowsTheBpmOfTheI0Loop_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<int>("bpm");
        QTest::addColumn<QString>("top");
        // About 11 uA at BPM1 and 8.8 uA at BPM2: two decades.
        QTest::newRow("BPM_SEL_I0 0 follows BPM1") << 0 << 0 << "1e-04";
        QTest::newRow("BPM_SEL_I0 1 follows BPM2") << 1 << 1 << "1e-05";
        QTest::newRow("any other selection follows BPM2") << 7 << 1 << "1e-05";
    }

    void barFollowsTheBpmOfTheI0Loop()
    {
        QFETCH(int, selection);
        QFETCH(int, bpm);
        QFETCH(QString, top);

        SimControl::setBeamIntensityFactor(0.11);
        SimControl::step(1.5);
        m_program->link->refreshData();
        WidgetFeedbackControl panel;
        const Form form(panel);
        form.handle->setValue(40);
        const double field = form.fieldI0->value();
        BPM_SEL_I0 = selection;

        QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields"));

        const double mean = m_program->link->bpmStats().at(bpm, BpmStats::I0_MEAN);
        QCOMPARE(form.topLabel(), top);
        QCOMPARE(form.bar->value(), int(mean * 100.0 / top.toDouble()));
        // The bar moves, the handle and the field do not.
        QCOMPARE(form.handle->value(), 40);
        QCOMPARE(form.fieldI0->value(), field);
    }

    void unknownI0SelectorEmptiesTheBar()
    {
        SimControl::setBeamIntensityFactor(0.11);
        SimControl::step(1.5);
        m_program->link->refreshData();
        WidgetFeedbackControl panel;
        const Form form(panel);
        QVERIFY(form.bar->value() > 0);

        BPM_SEL_I0 = BPM_SEL_UNKNOWN;
        QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields"));
        QCOMPARE(form.bar->value(), 0);
        QVERIFY2(form.noteText().contains("getBPMselector"), qPrintable(form.noteText()));
    }

    void noBeamEmptiesTheBar()
    {
        SimControl::setBeamIntensityFactor(0.11);
        SimControl::step(1.5);
        m_program->link->refreshData();
        WidgetFeedbackControl panel;
        const Form form(panel);
        QVERIFY(form.bar->value() > 0);
        const QString top = form.topLabel();

        SimControl::setBeamIntensityFactor(0.0);
        SimControl::step(1.5);
        m_program->link->refreshData();
        QVERIFY(m_program->link->bpmStats().at(0, BpmStats::I0_MEAN) <= 0.0);
        QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields"));

        QCOMPARE(form.bar->value(), 0);
        QCOMPARE(form.topLabel(), top);
    }

    // ---- user level ------------------------------------------------------------------------------------

    void levelEnablesThePanel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::newRow("0 disables") << 0 << true << false;
        QTest::newRow("1 enables") << 1 << false << true;
        QTest::newRow("2 enables") << 2 << false << true;
        QTest::newRow("3 leaves enabled") << 3 << true << true;
        QTest::newRow("3 leaves disabled") << 3 << false << false;
        QTest::newRow("-1 leaves enabled") << -1 << true << true;
        QTest::newRow("-1 leaves disabled") << -1 << false << false;
    }

    void levelEnablesThePanel()
    {
        QFETCH(int, level);
        QFETCH(bool, before);
        QFETCH(bool, after);

        WidgetFeedbackControl panel;
        panel.setEnabled(before);
        USER_LEVEL = level;
        panel.checkUserLevel();
        QCOMPARE(panel.isEnabled(), after);
    }

    void builtAtLevel0StartsDisabled()
    {
        USER_LEVEL = USER_LEVEL_CRUISE;
        WidgetFeedbackControl panel;
        QVERIFY(!panel.isEnabled());
    }
};

QTEST_MAIN(TestWidgetFeedbackControl)
#include "tst_widgetfeedbackcontrol.moc"
