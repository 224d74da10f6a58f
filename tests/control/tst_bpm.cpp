// One monitor's box: the two pictures and their channel boxes, the channel-map
// warning, the offset rows by controller version, and the high-voltage buttons
// and readout against the simulated controller.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <optional>

#include "BPM.h"
#include "Globals.h"
#include "SimControl.h"
#include "support/FormChild.h"
#include "support/ProgramFixture.h"

namespace {

using FormChild::child;

QComboBox* combo(const BPM& box, const QString& name) { return child<QComboBox>(box, name); }

QList<int> indexes(const BPM& box, const QString& picture)
{
    QList<int> out;
    for (const char* side : {"_top", "_right", "_bottom", "_left"})
        out << combo(box, picture + side)->currentIndex();
    return out;
}

bool invalidShown(const BPM& box) { return !child<QLabel>(box, "textInvalidConf")->isHidden(); }

}  // namespace

class TestBPM : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().withSwVersion("1.0.03")); }

    void cleanup() { m_program.reset(); }

    void picturesPlaceTheChannelBoxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");

        // 90°: a plus around the centre.
        QTest::newRow("90 top above") << "BPM90_top" << 0 << 1;
        QTest::newRow("90 left") << "BPM90_left" << 1 << 0;
        QTest::newRow("90 picture at the centre") << "BPM90_image" << 1 << 1;
        QTest::newRow("90 right") << "BPM90_right" << 1 << 2;
        QTest::newRow("90 bottom below") << "BPM90_bottom" << 2 << 1;
        // 45°: a cross, top at the upper left, then round clockwise.
        QTest::newRow("45 top upper left") << "BPM45_top" << 0 << 0;
        QTest::newRow("45 right upper right") << "BPM45_right" << 0 << 2;
        QTest::newRow("45 picture at the centre") << "BPM45_image" << 1 << 1;
        QTest::newRow("45 bottom lower right") << "BPM45_bottom" << 2 << 2;
        QTest::newRow("45 left lower left") << "BPM45_left" << 2 << 0;
    }

    void picturesPlaceTheChannelBoxes()
    {
        QFETCH(QString, name);
        QFETCH(int, row);
        QFETCH(int, column);

        BPM box;
        QWidget* widget = child<QWidget>(box, name);
        auto* grid = qobject_cast<QGridLayout*>(widget->parentWidget()->layout());
        QVERIFY(grid);
        QCOMPARE(widget->parentWidget()->objectName(), name.startsWith("BPM90") ? "BPMvisual90" : "BPMvisual45");
        int r = -1, c = -1, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(widget), &r, &c, &rowSpan, &columnSpan);
        QCOMPARE(r, row);
        QCOMPARE(c, column);

        if (auto* channels = qobject_cast<QComboBox*>(widget)) {
            QCOMPARE(channels->count(), 4);
            for (int i = 0; i < 4; ++i)
                QCOMPARE(channels->itemText(i), QString("Ch %1").arg(i + 1));
            QCOMPARE(channels->currentIndex(), 0);
        } else {
            auto* view = qobject_cast<QGraphicsView*>(widget);
            QVERIFY(view);
            QVERIFY(view->maximumWidth() <= 50 && view->maximumHeight() <= 50);
            // Our drawing of the monitor.
            QVERIFY(view->scene() && !view->scene()->items().isEmpty());
        }
    }

    void exactlyOnePictureByOrientation_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("is90");

        QTest::newRow("1 selects 90") << 0 << 1 << true;
        QTest::newRow("0 selects 45") << 1 << 0 << false;
        QTest::newRow("7 leaves 45") << 0 << 7 << false;
        QTest::newRow("7 leaves 90") << 1 << 7 << true;
        QTest::newRow("-1 leaves 45") << 0 << -1 << false;
    }

    void exactlyOnePictureByOrientation()
    {
        QFETCH(int, first);
        QFETCH(int, value);
        QFETCH(bool, is90);

        BPM box;
        QCOMPARE(combo(box, "BPMorientation")->currentText(), QString("90\u00B0"));
        QVERIFY(!child<QWidget>(box, "BPMvisual90")->isHidden());
        QVERIFY(child<QWidget>(box, "BPMvisual45")->isHidden());

        box.setOrientation(first);
        box.setOrientation(value);
        QCOMPARE(box.isOrientation90(), is90);
        QCOMPARE(combo(box, "BPMorientation")->currentText(), is90 ? QString("90\u00B0") : QString("45\u00B0"));
        QCOMPARE(child<QWidget>(box, "BPMvisual90")->isHidden(), !is90);
        QCOMPARE(child<QWidget>(box, "BPMvisual45")->isHidden(), is90);
    }

    void channelMapUsesThePictureInForce()
    {
        BPM box;
        box.setOrientation(0);
        box.setChannelMap(3, 2, 1, 0);
        QCOMPARE(indexes(box, "BPM45"), QList<int>({3, 2, 1, 0}));
        QCOMPARE(indexes(box, "BPM90"), QList<int>({0, 0, 0, 0}));
        int top = -9, right = -9, bottom = -9, left = -9;
        box.getChannelMap(&top, &right, &bottom, &left);
        QCOMPARE(QList<int>({top, right, bottom, left}), QList<int>({3, 2, 1, 0}));

        // The other picture keeps its own map.
        box.setOrientation(1);
        box.getChannelMap(&top, &right, &bottom, &left);
        QCOMPARE(QList<int>({top, right, bottom, left}), QList<int>({0, 0, 0, 0}));
    }

    void invalidLabel_data()
    {
        QTest::addColumn<QList<int>>("map");
        QTest::addColumn<bool>("shown");

        QTest::newRow("four channels") << QList<int>{0, 1, 2, 3} << false;
        QTest::newRow("reversed") << QList<int>{3, 2, 1, 0} << false;
        QTest::newRow("Ch 2 on top and left") << QList<int>{1, 0, 2, 1} << true;
        QTest::newRow("channel 9 leaves a box without selection") << QList<int>{9, 1, 2, 3} << true;
        QTest::newRow("channel -1 likewise") << QList<int>{0, 1, 2, -1} << true;
    }

    void invalidLabel()
    {
        QFETCH(QList<int>, map);
        QFETCH(bool, shown);

        BPM box;
        // The form starts with every electrode on "Ch 1".
        QVERIFY(invalidShown(box));
        box.setChannelMap(map[0], map[1], map[2], map[3]);
        QCOMPARE(invalidShown(box), shown);
        for (int i = 0; i < 4; ++i)
            if (map[i] < 0 || map[i] > 3)
                QCOMPARE(indexes(box, "BPM90")[i], -1);
    }

    void operatorPicksADuplicate()
    {
        BPM box;
        box.setChannelMap(0, 1, 2, 3);
        QVERIFY(!invalidShown(box));
        combo(box, "BPM90_top")->setCurrentIndex(1);
        combo(box, "BPM90_left")->setCurrentIndex(1);
        QVERIFY(invalidShown(box));
        combo(box, "BPM90_top")->setCurrentIndex(0);
        combo(box, "BPM90_left")->setCurrentIndex(3);
        QVERIFY(!invalidShown(box));
    }

    void orientationChangeRechecksTheMap()
    {
        BPM box;
        box.setChannelMap(0, 1, 2, 3);
        QVERIFY(!invalidShown(box));
        // The 45° picture holds "Ch 1" four times: in force now, so it is shown at once.
        box.setOrientation(0);
        QVERIFY(invalidShown(box));
        box.setChannelMap(3, 2, 1, 0);
        QVERIFY(!invalidShown(box));
        box.setOrientation(1);
        QVERIFY(!invalidShown(box));
        // No orientation chosen: the 45° picture shows, and is checked.
        box.clearOrientation();
        QVERIFY(!box.orientationChosen());
        QVERIFY(!invalidShown(box));
    }

    void offsetRowsByVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("shown");

        QTest::newRow("1.0.02 hides") << "1.0.02" << false;
        QTest::newRow("1.0.0 hides") << "1.0.0" << false;
        QTest::newRow("empty hides") << "" << false;
        QTest::newRow("1.0.1 shows") << "1.0.1" << true;
        QTest::newRow("1.0.3 shows") << "1.0.3" << true;
        QTest::newRow("2.0.0 shows") << "2.0.0" << true;
    }

    void offsetRowsByVersion()
    {
        QFETCH(QString, version);
        QFETCH(bool, shown);

        BPM box;
        SW_VERSION = version;
        box.checkFirmwareVersion();
        for (const char* name : {"labelOffsetX", "labelOffsetY", "xOffset", "yOffset"})
            QCOMPARE(child<QWidget>(box, name)->isHidden(), !shown);
        // The scaling rows stay.
        QVERIFY(!child<QWidget>(box, "xGain")->isHidden());
        QVERIFY(!child<QWidget>(box, "yGain")->isHidden());
    }

    void scalingLoadsTheBoxOwnOffsets()
    {
        m_program->config->setOffsetX(0, 3.0);
        m_program->config->setOffsetY(0, 4.0);
        m_program->config->setOffsetX(1, 7.0);
        m_program->config->setOffsetY(1, -8.0);
        BPM box;
        box.setIndex(1);
        box.setScaling(500.0, 600.0);
        double x = 0, y = 0;
        box.getScaling(&x, &y);
        QCOMPARE(x, 500.0);
        QCOMPARE(y, 600.0);
        box.getOffsets(&x, &y);
        QCOMPARE(x, 7.0);
        QCOMPARE(y, -8.0);
    }

    void enableHvFlipsWhateverTheReadout()
    {
        BPM box;
        box.setIndex(1);
        box.show();
        auto* enable = child<QPushButton>(box, "enableHVbutton");
        QTest::mouseClick(enable, Qt::LeftButton);
        QCOMPARE(SimControl::sent().hvEnable[1], 1);
        QCOMPARE(SimControl::callCount("zentrimHVenable", 1), 1);
        // The readout says nothing of it; the box keeps its own flag.
        box.updateHVstatus(0, 0.0f, 0.0f);
        QTest::mouseClick(enable, Qt::LeftButton);
        QCOMPARE(SimControl::sent().hvEnable[1], 0);
        QCOMPARE(SimControl::callCount("zentrimHVenable", 0), 1);
        QCOMPARE(SimControl::sent().hvEnable[0], 0);
    }

    void setHvSendsTheBiasToItsDevice()
    {
        BPM box;
        box.setIndex(1);
        box.show();
        auto* bias = child<QDoubleSpinBox>(box, "biasVoltageDoubleSpinBox");
        QCOMPARE(bias->decimals(), 2);
        QCOMPARE(bias->minimum(), -6000.0);
        QCOMPARE(bias->maximum(), 6000.0);
        bias->setValue(-123.45);
        QTest::mouseClick(child<QPushButton>(box, "setHVbutton"), Qt::LeftButton);
        QCOMPARE(SimControl::sent().hvSetVoltage[1], -123.45f);
        QCOMPARE(SimControl::sent().hvSetVoltage[0], 0.0f);
    }

    void readoutTexts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<float>("voltage");
        QTest::addColumn<float>("current");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("voltageText");
        QTest::addColumn<QString>("currentText");

        QTest::newRow("rising") << 3 << -500.0f << 0.25f << "HV rising" << "-500.00V" << "0.25uA";
        QTest::newRow("on") << 1 << 500.0f << 0.25f << "HV ON" << "500.00V" << "0.25uA";
        QTest::newRow("unknown state 4 leaves the label empty") << 4 << 12.5f << 0.0f << "" << "12.50V" << "0.00uA";
    }

    void readoutTexts()
    {
        QFETCH(int, status);
        QFETCH(float, voltage);
        QFETCH(float, current);
        QFETCH(QString, statusText);
        QFETCH(QString, voltageText);
        QFETCH(QString, currentText);

        BPM box;
        QCOMPARE(child<QLabel>(box, "statusLabel")->text(), QString("TextLabel"));
        box.updateHVstatus(status, voltage, current);
        QCOMPARE(child<QLabel>(box, "statusLabel")->text(), statusText);
        QCOMPARE(child<QLineEdit>(box, "voltageReadoutLineEdit")->text(), voltageText);
        QCOMPARE(child<QLineEdit>(box, "currentReadoutLineEdit")->text(), currentText);
        QVERIFY(!child<QLineEdit>(box, "voltageReadoutLineEdit")->isEnabled());
    }

    void highVoltagePartHides()
    {
        BPM box;
        box.setHVwidgetHidden(true);
        QVERIFY(child<QWidget>(box, "hv_widget")->isHidden());
        box.setHVwidgetHidden(false);
        QVERIFY(!child<QWidget>(box, "hv_widget")->isHidden());
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestBPM)
#include "tst_bpm.moc"
