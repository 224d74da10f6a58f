// One picoammeter's panel: the current texts, and the range it sends to the
// simulated picoammeter (or goes back from when refused).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

#include <optional>

#include "Globals.h"
#include "SimControl.h"
#include "WidgetPico.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"

namespace {

QComboBox* rangeBox(const WidgetPico& w) { return w.findChild<QComboBox*>("rangeBox"); }
QPushButton* saveButton(const WidgetPico& w) { return w.findChild<QPushButton*>("saveButton"); }

QStringList currentTexts(const WidgetPico& w)
{
    QStringList texts;
    for (int ch = 1; ch <= 4; ++ch)
        texts << w.findChild<QLineEdit*>(QString("currentCh%1Line").arg(ch))->text();
    return texts;
}

// Chooses a range as the operator does and presses "Update range".
void chooseAndSend(const WidgetPico& w, int index)
{
    rangeBox(w)->setCurrentIndex(index);
    QTest::mouseClick(saveButton(w), Qt::LeftButton);
}

}  // namespace

class TestWidgetPico : public QObject
{
    Q_OBJECT

private:
    std::optional<ProgramFixture> m_program;

private slots:
    void initTestCase() { LogCapture::install(); }

    void init()
    {
        m_program.emplace(ProgramFixture::Options().noConfig());
        LogCapture::clear();
    }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        WidgetPico panel;
        QCOMPARE(panel.objectName(), QString("WidgetPico"));
        QCOMPARE(panel.windowTitle(), QString("Form"));
        QCOMPARE(panel.size(), QSize(400, 300));
        for (int ch = 1; ch <= 4; ++ch)
            QVERIFY(!panel.findChild<QLineEdit*>(QString("currentCh%1Line").arg(ch))->isEnabled());
        QCOMPARE(currentTexts(panel), QStringList(4, "0.00000e+00"));

        QComboBox* box = rangeBox(panel);
        QCOMPARE(box->count(), 3);
        QCOMPARE(QStringList({box->itemText(0), box->itemText(1), box->itemText(2)}),
                 QStringList({"0", "1", "AUTO"}));
        // The device's range is not known: nothing is claimed, and there is nothing to send.
        QCOMPARE(box->currentIndex(), -1);
        QVERIFY(!saveButton(panel)->isEnabled());
        QCOMPARE(saveButton(panel)->text(), QString("Update range"));
    }

    void autoCannotBeChosen()
    {
        WidgetPico panel;
        QComboBox* box = rangeBox(panel);
        auto* model = qobject_cast<QStandardItemModel*>(box->model());
        QVERIFY(model);
        QVERIFY(!(model->item(2)->flags() & Qt::ItemIsEnabled));
        QVERIFY(!(model->item(2)->flags() & Qt::ItemIsSelectable));

        // Stepping down from "1" skips it.
        box->setCurrentIndex(1);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), QString("1"));
    }

    void showCurrents_data()
    {
        QTest::addColumn<double>("amperes");
        QTest::addColumn<QString>("text");

        QTest::newRow("zero") << 0.0 << "0.00000e+00";
        QTest::newRow("1.5 nA") << 1.5e-9 << "1.50000e-09";
        QTest::newRow("-2.5 pA") << -2.5e-12 << "-2.50000e-12";
        QTest::newRow("rounded to five digits") << 1.234567e-6 << "1.23457e-06";
    }

    void showCurrents()
    {
        QFETCH(double, amperes);
        QFETCH(QString, text);

        WidgetPico panel;
        panel.showCurrents(amperes, 1e-9, 2e-9, 3e-9);
        QCOMPARE(currentTexts(panel), QStringList({text, "1.00000e-09", "2.00000e-09", "3.00000e-09"}));
    }

    void rangeReachesThePicoammeter_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("range");

        QTest::newRow("range 1 on device 1") << 1 << 1;
        QTest::newRow("range 0 on device 1") << 1 << 0;
        QTest::newRow("range 0 on device 0") << 0 << 0;
        QTest::newRow("range 1 on device 0") << 0 << 1;
    }

    void rangeReachesThePicoammeter()
    {
        QFETCH(int, device);
        QFETCH(int, range);

        WidgetPico panel;
        panel.setDeviceNumber(device);
        chooseAndSend(panel, range);

        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.zentrimRange[device], range);
        QCOMPARE(sent.zentrimRange[1 - device], 2);  // the other keeps its start range
        QCOMPARE(SimControl::callCount("zentrimSetRange"), 1);
        QCOMPARE(rangeBox(panel)->currentIndex(), range);
    }

    void choosingAloneSendsNothing()
    {
        WidgetPico panel;
        rangeBox(panel)->setCurrentIndex(1);
        QCOMPARE(SimControl::callCount("zentrimSetRange"), 0);
        QVERIFY(saveButton(panel)->isEnabled());
    }

    void refusedRangeGoesBack_data()
    {
        QTest::addColumn<int>("acceptedFirst");  // -1: none sent before
        QTest::newRow("to no choice") << -1;
        QTest::newRow("to the last accepted range") << 0;
    }

    void refusedRangeGoesBack()
    {
        QFETCH(int, acceptedFirst);

        WidgetPico panel;
        panel.setDeviceNumber(1);
        if (acceptedFirst >= 0)
            chooseAndSend(panel, acceptedFirst);
        SimControl::failCall("zentrimSetRange");
        chooseAndSend(panel, 1);

        QCOMPARE(rangeBox(panel)->currentIndex(), acceptedFirst);
        QCOMPARE(saveButton(panel)->isEnabled(), acceptedFirst >= 0);
        QCOMPARE(SimControl::sent().zentrimRange[1], acceptedFirst >= 0 ? acceptedFirst : 2);
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn).contains("zentrimSetRange() failed "));
    }
};

QTEST_MAIN(TestWidgetPico)
#include "tst_widgetpico.moc"
