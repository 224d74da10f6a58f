// The frame's window-free rules: colours and swatches, the initial time span,
// the presence pattern, the bounded graph count and the container look-up.
#include <QtTest>

#include "GraphFrame.h"

class TestGraphFrame : public QObject
{
    Q_OBJECT

private slots:
    void colours_data();
    void colours();
    void colourOutsideTheTableIsWhite();
    void initialTimeSpan_data();
    void initialTimeSpan();
    void shownByPresence_data();
    void shownByPresence();
    void boundedGraphCount_data();
    void boundedGraphCount();
    void containerAt();
};

void TestGraphFrame::colours_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("styleSheet");
    QTest::newRow("channel 1 or BPM1") << 0 << QColor(255, 255, 135)
                                       << "QLabel { background-color : rgb(255,255,135); color : rgb(255,255,135); }";
    QTest::newRow("channel 2 or BPM2") << 1 << QColor(255, 130, 255)
                                       << "QLabel { background-color : rgb(255,130,255); color : rgb(255,130,255); }";
    QTest::newRow("channel 3") << 2 << QColor(130, 255, 130)
                               << "QLabel { background-color : rgb(130,255,130); color : rgb(130,255,130); }";
    QTest::newRow("channel 4") << 3 << QColor(130, 210, 250)
                               << "QLabel { background-color : rgb(130,210,250); color : rgb(130,210,250); }";
}

void TestGraphFrame::colours()
{
    QFETCH(int, index);
    QFETCH(QColor, colour);
    QFETCH(QString, styleSheet);
    QCOMPARE(GraphFrame::graphColour(index), colour);
    QCOMPARE(GraphFrame::swatchStyleSheet(index), styleSheet);
}

void TestGraphFrame::colourOutsideTheTableIsWhite()
{
    QCOMPARE(GraphFrame::graphColour(-1), QColor(Qt::white));
    QCOMPARE(GraphFrame::graphColour(4), QColor(Qt::white));
}

void TestGraphFrame::initialTimeSpan_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("sampFreq");
    QTest::addColumn<int>("seconds");
    QTest::newRow("3670016 bytes at 1000 Hz") << 3670016 << 1000 << 14;
    QTest::newRow("2048 records at 1000 Hz") << 2048 * 256 << 1000 << 2;
    QTest::newRow("records truncated to whole records first") << 2048 * 256 + 255 << 1000 << 2;
    QTest::newRow("seconds truncated") << 1999 * 256 << 1000 << 1;
    QTest::newRow("fewer records than the rate") << 999 * 256 << 1000 << 0;
    QTest::newRow("rate 0") << 3670016 << 0 << 0;
    QTest::newRow("negative rate") << 3670016 << -1000 << 0;
    QTest::newRow("no buffer") << 0 << 1000 << 0;
    QTest::newRow("negative buffer") << -3670016 << 1000 << 0;
}

void TestGraphFrame::initialTimeSpan()
{
    QFETCH(int, bytes);
    QFETCH(int, sampFreq);
    QFETCH(int, seconds);
    QCOMPARE(GraphFrame::initialTimeSpan(bytes, sampFreq), seconds);
}

void TestGraphFrame::shownByPresence_data()
{
    QTest::addColumn<int>("p0");
    QTest::addColumn<int>("p1");
    QTest::addColumn<bool>("bpm1");
    QTest::addColumn<bool>("bpm2");
    QTest::newRow("(1,1) both") << 1 << 1 << true << true;
    QTest::newRow("(1,0) BPM1 only") << 1 << 0 << true << false;
    QTest::newRow("(0,1) BPM2 only") << 0 << 1 << false << true;
    QTest::newRow("(0,0) neither") << 0 << 0 << false << false;
    QTest::newRow("(2,0) neither") << 2 << 0 << false << false;
    QTest::newRow("(1,5) neither") << 1 << 5 << false << false;
    QTest::newRow("(1,2) neither") << 1 << 2 << false << false;
    QTest::newRow("(-1,1) neither") << -1 << 1 << false << false;
}

void TestGraphFrame::shownByPresence()
{
    QFETCH(int, p0);
    QFETCH(int, p1);
    QFETCH(bool, bpm1);
    QFETCH(bool, bpm2);
    const GraphFrame::ShownBpms shown = GraphFrame::shownByPresence(p0, p1);
    QCOMPARE(shown.bpm1, bpm1);
    QCOMPARE(shown.bpm2, bpm2);
}

void TestGraphFrame::boundedGraphCount_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("count");
    QTest::newRow("within") << 2 << 2 << 2;
    QTest::newRow("above two BPM colours") << 4 << 2 << 2;
    QTest::newRow("above four channel colours") << 5 << 4 << 4;
    QTest::newRow("negative") << -3 << 4 << 0;
}

void TestGraphFrame::boundedGraphCount()
{
    QFETCH(int, requested);
    QFETCH(int, colours);
    QFETCH(int, count);
    QCOMPARE(GraphFrame::boundedGraphCount(requested, colours), count);
}

void TestGraphFrame::containerAt()
{
    QList<QSharedPointer<QCPGraphDataContainer>> list{QSharedPointer<QCPGraphDataContainer>::create(),
                                                      QSharedPointer<QCPGraphDataContainer>::create()};
    QCOMPARE(GraphFrame::containerAt(list, 0), list[0]);
    QCOMPARE(GraphFrame::containerAt(list, 1), list[1]);
    QVERIFY(GraphFrame::containerAt(list, -1).isNull());
    QVERIFY(GraphFrame::containerAt(list, 2).isNull());
    QVERIFY(GraphFrame::containerAt({}, 0).isNull());
}

QTEST_MAIN(TestGraphFrame)
#include "tst_graphframe.moc"
