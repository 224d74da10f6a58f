// The frequency analysis window on the X server: two sweeps against the
// simulated beamline (disturbances on), the Bode plots on screen, a screenshot
// of them, and the drawn curves checked for the plant's low-pass and lag.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <qcustomplot.h>

#include "Globals.h"
#include "PlantConstants.h"
#include "Prompts.h"
#include "VornLibrary.h"
#include "WindowFrequencyAnalysis.h"
#include "support/BodeTruth.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

int pixelsOf(const QImage& image, const QRect& area, const QColor& colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}

}  // namespace

class TestWindowFrequencyAnalysisScreen : public QObject
{
    Q_OBJECT

private slots:
    void bodePlotsOnScreen()
    {
        ProgramFixture program(ProgramFixture::Options()
                                         .noConfig()
                                         .withDisturbances(true)
                                         .refreshed()
                                         .withPosScale(PlantConstants::BPM_PHYSICAL_SCALE_UM));
        QVERIFY(setBPMselector(0, 1, 0) >= 0);

        WindowFrequencyAnalysis window(program.outputs);
        SteppedMeasurementClock clock;
        window.setMeasurementClock(clock);
        window.resize(1280, 860);
        window.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        auto* start = window.findChild<QPushButton*>("StartSweepPushButton");
        window.findChild<QLineEdit*>("startFreqLineEdit")->setText("1");
        window.findChild<QLineEdit*>("stopFreqLineEdit")->setText("1000");
        window.findChild<QLineEdit*>("lengthLineEdit")->setText("31");
        window.findChild<QDoubleSpinBox*>("amplspinBox")->setValue(1.0);
        // BPM1 X through OUT1, then BPM2 Y through OUT2.
        QTest::mouseClick(start, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 120000);
        window.findChild<QComboBox*>("outputChComboBox")->setCurrentText("y");
        window.findChild<QComboBox*>("inputChComboBox")->setCurrentText("y");
        QTest::mouseClick(start, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 120000);
        QVERIFY(Prompts::shown().isEmpty());

        auto* mg = window.findChild<QCustomPlot*>("graphMg");
        auto* ph = window.findChild<QCustomPlot*>("graphPh");
        QCOMPARE(mg->graphCount(), 2);
        QCOMPARE(mg->graph(0)->dataCount(), 31);
        QCOMPARE(mg->graph(1)->dataCount(), 31);
        const QImage shot = window.grab().toImage();
        QVERIFY(shot.save(QStringLiteral(VORN_SCREENSHOT_PATH)));

        // Both sweeps drawn: red (BPM1 X) under green (BPM2 Y, its larger gain)
        // in the magnitude plot; their phases coincide, green drawn last.
        const QRect mgArea = mg->geometry().translated(mg->parentWidget()->mapTo(&window, QPoint()));
        const QRect phArea = ph->geometry().translated(ph->parentWidget()->mapTo(&window, QPoint()));
        QVERIFY(pixelsOf(shot, mgArea, Qt::red) > 200);
        QVERIFY(pixelsOf(shot, mgArea, Qt::green) > 200);
        QVERIFY(pixelsOf(shot, phArea, Qt::green) > 200);
        // The low-pass on screen: flat, then falling; the phase lags further with frequency.
        for (int g = 0; g < 2; ++g) {
            const QCPGraph* m = mg->graph(g);
            const QCPGraph* p = ph->graph(g);
            const double low = m->data()->at(0)->value;
            const double corner = m->data()->at(15)->value;   // 31.6 Hz
            const double high = m->data()->at(30)->value;     // 1000 Hz
            QVERIFY(m->valueAxis()->coordToPixel(high) > m->valueAxis()->coordToPixel(corner));
            QVERIFY(m->valueAxis()->coordToPixel(corner) > m->valueAxis()->coordToPixel(low));
            QVERIFY(qAbs(BodeTruth::decibels(low, PlantConstants::GAIN_UM_PER_V[g])) < 0.5);
            QVERIFY(p->data()->at(30)->value < p->data()->at(15)->value);
            QVERIFY(p->data()->at(15)->value < p->data()->at(0)->value);
        }
    }
};

QTEST_MAIN(TestWindowFrequencyAnalysisScreen)
#include "tst_windowfrequencyanalysis_screen.moc"
