// The statistics panel: the nine texts per BPM from a statistics block, the
// presence rule for refreshing and hiding, the one-second refresh, and its
// place on the main window's "Control" dock.
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <limits>
#include <optional>

#include "Globals.h"
#include "MainWindow.h"
#include "PlantConstants.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "WidgetStats.h"
#include "support/OutputDevice.h"
#include "support/ProgramFixture.h"

namespace {

const QStringList FIELD_NAMES{"posXMeanLineEdit",    "posXStdLineEdit", "posXStdFiltLineEdit",
                              "posYMeanLineEdit",    "posYStdLineEdit", "posYStdFiltLineEdit",
                              "i0MeanLineEdit",      "i0StdLineEdit",   "i0StdFiltLineEdit"};

const QStringList ZEROS{"0.000 um", "0.000000 um", "0.000000 um", "0.00000 um", "0.00000 um",
                        "0.000000 um", "0 A", "0 A", "0 %"};

// Raw block indices -> values; everything else 0.
using Values = QList<QPair<int, double>>;

BpmStats block(const Values& values)
{
    BpmStats stats{};
    for (const auto& v : values)
        stats.value[v.first] = v.second;
    return stats;
}

QString fieldName(int bpm, int field)
{
    return FIELD_NAMES[field] + (bpm == 1 ? "_2" : "");
}

QStringList textsOf(const WidgetStats& panel, int bpm)
{
    QStringList texts;
    for (int i = 0; i < WidgetStats::FIELD_COUNT; ++i) {
        auto* edit = panel.findChild<QLineEdit*>(fieldName(bpm, i));
        texts << (edit ? edit->text() : QString("<missing %1>").arg(fieldName(bpm, i)));
    }
    return texts;
}

void setTexts(WidgetStats& panel, int bpm, const QString& text)
{
    for (int i = 0; i < WidgetStats::FIELD_COUNT; ++i)
        panel.findChild<QLineEdit*>(fieldName(bpm, i))->setText(text);
}

// The value table, written out from the raw block indices.
QStringList expectedTexts(const BpmStats& s, int bpm)
{
    const int o = 9 * bpm;
    const double sx = POS_SCALE_X[bpm];
    const double sy = POS_SCALE_Y[bpm];
    return {QString::number(s.value[1 + o] * sx, 'f', 3) + " um",
            QString::number(s.value[2 + o] * sx, 'f', 6) + " um",
            QString::number(s.value[3 + o] * sx, 'f', 6) + " um",
            QString::number(s.value[4 + o] * sy, 'f', 5) + " um",
            QString::number(s.value[5 + o] * sy, 'f', 5) + " um",
            QString::number(s.value[6 + o] * sy, 'f', 6) + " um",
            QString::number(s.value[7 + o], 'g', 4) + " A",
            QString::number(s.value[8 + o], 'g', 4) + " A",
            QString::number(s.value[8 + o] / s.value[7 + o] * 100.0, 'g', 3) + " %"};
}

bool hidden(const WidgetStats& panel, const char* name)
{
    return panel.findChild<QWidget*>(name)->isHidden();
}

}  // namespace

Q_DECLARE_METATYPE(Values)

class TestWidgetStats : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().quietBeam());
        distinctScales();
    }

    void cleanup() { m_program.reset(); }

    void fieldTexts_data()
    {
        QTest::addColumn<Values>("values");
        QTest::addColumn<int>("bpm");
        QTest::addColumn<double>("scaleX");
        QTest::addColumn<double>("scaleY");
        QTest::addColumn<QStringList>("texts");

        QTest::newRow("X mean 1.5 at scale 2 reads 3.000 um")
            << Values{{1, 1.5}, {7, 1.0}} << 0 << 2.0 << 1.0
            << QStringList{"3.000 um", "0.000000 um", "0.000000 um", "0.00000 um", "0.00000 um",
                           "0.000000 um", "1 A", "0 A", "0 %"};
        QTest::newRow("deviations scale with their axis, each in its own precision")
            << Values{{1, 1.0}, {2, 0.25}, {3, 0.125}, {4, -1.0}, {5, 0.5}, {6, 0.0625}, {7, 1.0}} << 0 << 2.0
            << 10.0
            << QStringList{"2.000 um",   "0.500000 um", "0.250000 um", "-10.00000 um", "5.00000 um",
                           "0.625000 um", "1 A",        "0 A",         "0 %"};
        QTest::newRow("intensity unscaled in amperes, ratio in percent")
            << Values{{7, 2.5e-9}, {8, 5e-11}} << 0 << 1000.0 << 1000.0
            << QStringList{"0.000 um", "0.000000 um", "0.000000 um", "0.00000 um", "0.00000 um",
                           "0.000000 um", "2.5e-09 A", "5e-11 A", "2 %"};
        QTest::newRow("intensity rounded to four and the ratio to three digits")
            << Values{{7, 1.23456e-4}, {8, 3.3333e-6}} << 0 << 1.0 << 1.0
            << QStringList{"0.000 um", "0.000000 um", "0.000000 um", "0.00000 um", "0.00000 um",
                           "0.000000 um", "0.0001235 A", "3.333e-06 A", "2.7 %"};
        QTest::newRow("zero intensity mean makes the ratio infinite")
            << Values{{8, 5e-11}} << 0 << 1.0 << 1.0
            << QStringList{"0.000 um", "0.000000 um", "0.000000 um", "0.00000 um", "0.00000 um",
                           "0.000000 um", "0 A", "5e-11 A", "inf %"};
        QTest::newRow("zero intensity mean and deviation make it not a number")
            << Values{} << 0 << 1.0 << 1.0
            << QStringList{"0.000 um", "0.000000 um", "0.000000 um", "0.00000 um", "0.00000 um",
                           "0.000000 um", "0 A", "0 A", "nan %"};
        // BPM1's values are set too, to catch a reader that ignores the offset of 9.
        QTest::newRow("BPM2 reads indexes 10 to 17, never BPM1's")
            << Values{{1, 99.0}, {7, 9.0}, {8, 9.0}, {10, 1.5}, {11, 0.1}, {12, 0.2}, {13, 2.0}, {14, 0.3},
                      {15, 0.4}, {16, 4e-6}, {17, 2e-7}}
            << 1 << 4.0 << 0.5
            << QStringList{"6.000 um",    "0.400000 um", "0.800000 um", "1.00000 um", "0.15000 um",
                           "0.200000 um", "4e-06 A",     "2e-07 A",     "5 %"};
    }

    void fieldTexts()
    {
        QFETCH(Values, values);
        QFETCH(int, bpm);
        QFETCH(double, scaleX);
        QFETCH(double, scaleY);
        QFETCH(QStringList, texts);
        QCOMPARE(WidgetStats::fieldTexts(block(values), bpm, scaleX, scaleY), texts);
    }

    void zeroTextsKeepEachFormat()
    {
        QCOMPARE(WidgetStats::zeroTexts(), ZEROS);
    }

    void formFieldsAreEnabledAndReadOnly()
    {
        WidgetStats panel;
        QCOMPARE(panel.findChild<QLabel*>("BPM1label")->text(), QString("BPM1"));
        QCOMPARE(panel.findChild<QLabel*>("BPM2label")->text(), QString("BPM2"));
        for (int bpm = 0; bpm < 2; ++bpm) {
            QWidget* table = panel.findChild<QWidget*>(bpm == 0 ? "bpm1Table" : "bpm2Table");
            QVERIFY(table);
            for (int i = 0; i < WidgetStats::FIELD_COUNT; ++i) {
                auto* edit = table->findChild<QLineEdit*>(fieldName(bpm, i));
                QVERIFY2(edit, qPrintable(fieldName(bpm, i)));
                QVERIFY(edit->isEnabled());
                QVERIFY(edit->isReadOnly());
            }
        }
    }

    void constructionShowsThePolledStatistics()
    {
        SimControl::step(1.0);
        m_program->link->refreshData();
        const BpmStats stats = m_program->link->bpmStats();
        // The simulated beam carries a real intensity on both monitors.
        QVERIFY(stats.value[7] > 0.0);
        QVERIFY(stats.value[16] > 0.0);

        WidgetStats panel;
        QCOMPARE(textsOf(panel, 0), expectedTexts(stats, 0));
        QCOMPARE(textsOf(panel, 1), expectedTexts(stats, 1));
        QVERIFY(textsOf(panel, 0) != textsOf(panel, 1));
    }

    // The beam steered off centre by the outputs: the texts are the block's
    // values in the panel's formats, and the block describes the true beam.
    void showsTheSteeredBeam()
    {
        POS_SCALE_X[0] = 2.0;
        POS_SCALE_Y[0] = 2.0;
        const double outX = 5.3, outY = 4.8;
        QCOMPARE(setOutputMux(0), 0);
        QVERIFY(OutputDevice::write(outX, outY, 5.0, 5.0));
        SimControl::step(2.0);
        m_program->link->refreshData();
        const BpmStats stats = m_program->link->bpmStats();

        WidgetStats panel;
        const QStringList texts = textsOf(panel, 0);
        QCOMPARE(texts[0], QString::number(stats.value[1] * 2.0, 'f', 3) + " um");
        QCOMPARE(texts, expectedTexts(stats, 0));
        QCOMPARE(textsOf(panel, 1), expectedTexts(stats, 1));

        // Raw positions are the true micrometres over the monitor's physical
        // scale, within the converter's resolution.
        for (int bpm = 0; bpm < 2; ++bpm) {
            const double trueX = PlantConstants::GAIN_UM_PER_V[bpm] * (outX - PlantConstants::CENTRE_OUTPUT_V);
            const double trueY = PlantConstants::GAIN_UM_PER_V[bpm] * (outY - PlantConstants::CENTRE_OUTPUT_V);
            const double scale = PlantConstants::BPM_PHYSICAL_SCALE_UM;
            QVERIFY2(qAbs(stats.at(bpm, BpmStats::X_MEAN) * scale - trueX) < 0.05,
                     qPrintable(QString::number(stats.at(bpm, BpmStats::X_MEAN) * scale)));
            QVERIFY(qAbs(stats.at(bpm, BpmStats::Y_MEAN) * scale - trueY) < 0.05);
            QVERIFY(stats.at(bpm, BpmStats::X_STD) * scale < 0.05);
            QVERIFY(qAbs(stats.at(bpm, BpmStats::I0_MEAN) - SimControl::trueIntensity(bpm)) <
                    1e-3 * SimControl::trueIntensity(bpm));
        }
    }

    void presence_data()
    {
        QTest::addColumn<bool>("present0");
        QTest::addColumn<bool>("present1");
        QTest::addColumn<bool>("libraryFails");
        QTest::addColumn<bool>("shown1");
        QTest::addColumn<bool>("shown2");

        QTest::newRow("both present: both shown and refreshed") << true << true << false << true << true;
        QTest::newRow("BPM1 only: BPM2 hidden and keeps its texts") << true << false << false << true << false;
        QTest::newRow("BPM2 only: BPM1 hidden and keeps its texts") << false << true << false << false << true;
        QTest::newRow("none: both hidden, all eighteen read zero") << false << false << false << false << false;
        QTest::newRow("failed query reads as none present") << true << true << true << false << false;
    }

    void presence()
    {
        QFETCH(bool, present0);
        QFETCH(bool, present1);
        QFETCH(bool, libraryFails);
        QFETCH(bool, shown1);
        QFETCH(bool, shown2);

        SimControl::step(1.0);
        m_program->link->refreshData();
        WidgetStats panel;
        // Opposite presence first, so that the slot must change every table.
        SimControl::setZentrimPresent(0, !shown1);
        SimControl::setZentrimPresent(1, !shown2);
        panel.nr_zentrims_changed(0);
        setTexts(panel, 0, "old");
        setTexts(panel, 1, "old");

        SimControl::setZentrimPresent(0, present0);
        SimControl::setZentrimPresent(1, present1);
        if (libraryFails)
            SimControl::failCall("getZentrims");
        // The mask carried is stale on purpose: only the library's answer counts.
        panel.nr_zentrims_changed(int(!present0) | int(!present1) << 1);
        QCOMPARE(hidden(panel, "BPM1label"), !shown1);
        QCOMPARE(hidden(panel, "bpm1Table"), !shown1);
        QCOMPARE(hidden(panel, "BPM2label"), !shown2);
        QCOMPARE(hidden(panel, "bpm2Table"), !shown2);

        QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields"));
        const BpmStats stats = m_program->link->bpmStats();
        const QStringList old(WidgetStats::FIELD_COUNT, "old");
        if (!shown1 && !shown2) {
            QCOMPARE(textsOf(panel, 0), ZEROS);
            QCOMPARE(textsOf(panel, 1), ZEROS);
        } else {
            QCOMPARE(textsOf(panel, 0), shown1 ? expectedTexts(stats, 0) : old);
            QCOMPARE(textsOf(panel, 1), shown2 ? expectedTexts(stats, 1) : old);
        }
    }

    // A poll that could not read the block shows no figures and says so, until one reads it.
    void failedPollShowsNoFigures()
    {
        SimControl::step(1.0);
        m_program->link->refreshData();
        WidgetStats panel;
        QCOMPARE(textsOf(panel, 0), expectedTexts(m_program->link->bpmStats(), 0));
        QVERIFY(hidden(panel, "readingNote"));

        SimControl::failCall("getBPMStats");
        SimControl::step(1.0);
        m_program->link->refreshData();
        QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields"));
        const QStringList none(WidgetStats::FIELD_COUNT, QString());
        QCOMPARE(textsOf(panel, 0), none);
        QCOMPARE(textsOf(panel, 1), none);
        QVERIFY(!hidden(panel, "readingNote"));
        QCOMPARE(panel.findChild<QLabel*>("readingNote")->text(),
                 QString("No reading: the controller's statistics could not be read."));

        SimControl::clearFailure("getBPMStats");
        SimControl::step(1.0);
        m_program->link->refreshData();
        QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields"));
        QCOMPARE(textsOf(panel, 0), expectedTexts(m_program->link->bpmStats(), 0));
        QCOMPARE(textsOf(panel, 1), expectedTexts(m_program->link->bpmStats(), 1));
        QVERIFY(hidden(panel, "readingNote"));
    }

    void refreshReadsTheScaleAtEachTick()
    {
        SimControl::step(1.0);
        m_program->link->refreshData();
        SimControl::setZentrimPresent(0, false);
        WidgetStats panel;
        const QStringList before1 = textsOf(panel, 0);
        const BpmStats stats = m_program->link->bpmStats();

        // A BPM's configuration saved in between changes its scale.
        POS_SCALE_X[1] = 50.0;
        POS_SCALE_Y[1] = 0.5;
        QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields"));
        QCOMPARE(textsOf(panel, 1), expectedTexts(stats, 1));
        QCOMPARE(textsOf(panel, 0), before1);
    }

    void refreshesEverySecond()
    {
        WidgetStats panel;
        const QList<QTimer*> timers = panel.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(timers.size(), 1);
        QTimer* timer = timers.first();
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(timer->isActive());
        QVERIFY(!timer->isSingleShot());

        // Hidden panels tick too; the tick picks up the next poll.
        QVERIFY(panel.isHidden());
        SimControl::step(1.0);
        m_program->link->refreshData();
        const BpmStats stats = m_program->link->bpmStats();
        QVERIFY(textsOf(panel, 0) != expectedTexts(stats, 0));
        QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        QCOMPARE(textsOf(panel, 0), expectedTexts(stats, 0));
        QCOMPARE(textsOf(panel, 1), expectedTexts(stats, 1));
    }

    void mainWindowShowsItOnTheStatsTab()
    {
        m_program.emplace(ProgramFixture::Options()
                              .withUpdater()
                              .quietBeam()
                              .atUserLevel(USER_LEVEL_USER)
                              .withSwVersion("1.0.10"));
        distinctScales();

        {
            MainWindow window;
            QDockWidget* control = nullptr;
            for (QDockWidget* dock : window.findChildren<QDockWidget*>())
                if (dock->windowTitle() == "Control")
                    control = dock;
            QVERIFY(control);
            auto* tabs = control->findChild<QTabWidget*>();
            QVERIFY(tabs);
            QCOMPARE(tabs->count(), 3);
            QCOMPARE(tabs->tabText(2), QString("Stats"));
            auto* panel = qobject_cast<WidgetStats*>(tabs->widget(2));
            QVERIFY(panel);

            // The device link's announcement reaches the panel.
            SimControl::setZentrimPresent(0, false);
            emit MAILBOX_COMM->nrZentrimsChanged(3);
            QVERIFY(hidden(*panel, "bpm1Table"));
            QVERIFY(!hidden(*panel, "bpm2Table"));
        }
    }

private:
    // Four scales apart, so that a value scaled by the wrong one shows.
    static void distinctScales()
    {
        POS_SCALE_X[0] = 2.0;
        POS_SCALE_Y[0] = 3.0;
        POS_SCALE_X[1] = 5.0;
        POS_SCALE_Y[1] = 7.0;
    }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWidgetStats)
#include "tst_widgetstats.moc"
