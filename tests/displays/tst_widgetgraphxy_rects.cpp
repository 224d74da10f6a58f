// The beam position scatter's ROI and ROC rectangles as the configuration file
// holds them, whatever the ROC/ROI dialog's fields could show of it: an ROC
// below the ROI or far beyond it is drawn as stored, and a limit the file does
// not give is not drawn at all.
#include <QtTest>

#include <optional>

#include <qcustomplot.h>

#include "ConfigSettings.h"
#include "Globals.h"
#include "WidgetGraphXY.h"
#include "support/ProgramFixture.h"
#include "support/ScatterRects.h"
#include "support/TestFiles.h"

class TestWidgetGraphXYRects : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(); }
    void cleanup() { m_program.reset(); }

    void rectanglesAsStored_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("roiDrawn");
        QTest::addColumn<QPointF>("roi");  // half-widths
        QTest::addColumn<bool>("rocDrawn");
        QTest::addColumn<QPointF>("roc");

        QTest::newRow("110 %") << QByteArray("[ROCandROI]\nRoiX=100\nRoiY=50\nRocX=110\nRocY=55\n") << true
                               << QPointF(100, 50) << true << QPointF(110, 55);
        QTest::newRow("80 %, inside the ROI") << QByteArray("[ROCandROI]\nRoiX=100\nRoiY=50\nRocX=80\nRocY=40\n")
                                              << true << QPointF(100, 50) << true << QPointF(80, 40);
        QTest::newRow("5000 %") << QByteArray("[ROCandROI]\nRoiX=2\nRoiY=1\nRocX=100\nRocY=50\n") << true
                                << QPointF(2, 1) << true << QPointF(100, 50);
        QTest::newRow("1000 % of 0.47 um") << QByteArray("[ROCandROI]\nRoiX=0.47\nRoiY=0.47\nRocX=4.7\nRocY=4.7\n")
                                           << true << QPointF(0.47, 0.47) << true << QPointF(4.7, 4.7);
        QTest::newRow("an ROI beyond the dialog's 1000 um")
            << QByteArray("[ROCandROI]\nRoiX=1500\nRoiY=1200\nRocX=1650\nRocY=1320\n") << true << QPointF(1500, 1200)
            << true << QPointF(1650, 1320);
        QTest::newRow("RoiX not a number: neither drawn")
            << QByteArray("[ROCandROI]\nRoiX=nan\nRoiY=50\nRocX=110\nRocY=55\n") << false << QPointF() << false
            << QPointF();
        QTest::newRow("RocX and RocY text: only the ROI drawn")
            << QByteArray("[ROCandROI]\nRoiX=100\nRoiY=50\nRocX=wide\nRocY=wide\n") << true << QPointF(100, 50)
            << false << QPointF();
    }

    void rectanglesAsStored()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, roiDrawn);
        QFETCH(QPointF, roi);
        QFETCH(bool, rocDrawn);
        QFETCH(QPointF, roc);

        TestFiles::put(m_program->configPath(), file);
        WidgetGraphXY scatter(0);
        QCustomPlot* plot = scatter.findChild<QCustomPlot*>("graph");
        QCPItemRect* roiRect = ScatterRects::rectWithPen(plot, ScatterRects::ROI_PEN);
        QCPItemRect* rocRect = ScatterRects::rectWithPen(plot, ScatterRects::ROC_PEN);
        QCOMPARE(roiRect->visible(), roiDrawn);
        QCOMPARE(rocRect->visible(), rocDrawn);
        if (roiDrawn)
            QCOMPARE(ScatterRects::halfWidths(roiRect), roi);
        if (rocDrawn) {
            const QPointF drawn = ScatterRects::halfWidths(rocRect);
            QVERIFY2(qAbs(drawn.x() - roc.x()) <= 1e-9 * roc.x() && qAbs(drawn.y() - roc.y()) <= 1e-9 * roc.y(),
                     qPrintable(QString("%1 x %2").arg(drawn.x()).arg(drawn.y())));
            // Reset Zoom frames the ROC as stored.
            scatter.resetZoom();
            QVERIFY(qAbs(plot->xAxis->range().upper - 1.01 * roc.x()) <= 1e-9 * roc.x());
        }
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWidgetGraphXYRects)
#include "tst_widgetgraphxy_rects.moc"
