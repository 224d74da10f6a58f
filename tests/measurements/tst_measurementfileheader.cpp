// The lines that open every measurement file, and the proposed file names.
#include <QHostInfo>
#include <QtTest>

#include "MeasurementFileHeader.h"

class TestMeasurementFileHeader : public QObject
{
    Q_OBJECT

private slots:
    void fiveLinesEachEndedByCrLf_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("dateLine");

        QTest::newRow("day, month, hour and minute with two digits")
            << QDateTime(QDate(2026, 11, 3), QTime(14, 5, 9)) << "Time and Date: 14:05:09 03.11.2026";
        QTest::newRow("afternoon hours run to 23") << QDateTime(QDate(2027, 1, 31), QTime(23, 59, 0))
                                                   << "Time and Date: 23:59:00 31.01.2027";
        QTest::newRow("midnight is 00") << QDateTime(QDate(2026, 2, 1), QTime(0, 0, 1))
                                        << "Time and Date: 00:00:01 01.02.2026";
    }

    void fiveLinesEachEndedByCrLf()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, dateLine);

        const QString header = measurementFileHeader({time, QStringLiteral("beamline-ws3")});
        QCOMPARE(header, QStringLiteral("Tarquel Instruments VORN\r\nVORN\r\n\r\n") + dateLine +
                             QStringLiteral("\r\nHost Name: beamline-ws3\r\n"));
    }

    void stampOfNowCarriesThisMachine()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const FileStamp stamp = FileStamp::now();
        QCOMPARE(stamp.hostName, QHostInfo::localHostName());
        QVERIFY(stamp.time >= before);
        QVERIFY(stamp.time <= QDateTime::currentDateTime());
        QCOMPARE(stamp.time.timeSpec(), Qt::LocalTime);
    }

    void proposedFileNames()
    {
        const QDateTime time(QDate(2026, 3, 4), QTime(7, 8, 9));
        QCOMPARE(measurementFileName("VORN_meas_", time), QString("VORN_meas_2026-03-04_07-08-09.csv"));
        QCOMPARE(measurementFileName("VORN_rock3D_", time), QString("VORN_rock3D_2026-03-04_07-08-09.csv"));
    }
};

QTEST_GUILESS_MAIN(TestMeasurementFileHeader)
#include "tst_measurementfileheader.moc"
