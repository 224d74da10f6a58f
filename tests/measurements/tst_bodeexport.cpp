// The Bode export's file names and file contents.
#include <QTemporaryDir>
#include <QtTest>

#include "BodeExport.h"

namespace {
QString readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
}  // namespace

class TestBodeExport : public QObject
{
    Q_OBJECT

private slots:
    void fileNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("sweep");
        QTest::addColumn<QString>("written");
        QTest::newRow("upper-case extension removed") << "/tmp/run.CSV" << "plot_x_y_2" << "/tmp/run_plot_x_y_2.csv";
        QTest::newRow("lower-case extension removed") << "data.csv" << "plot_x_x_0" << "data_plot_x_x_0.csv";
        QTest::newRow("mixed case") << "a/b.Csv" << "plot_y_y_1" << "a/b_plot_y_y_1.csv";
        QTest::newRow("no extension") << "data" << "plot_x_x_0" << "data_plot_x_x_0.csv";
        QTest::newRow("only the final extension") << "x.csv.csv" << "plot_x_x_0" << "x.csv_plot_x_x_0.csv";
        QTest::newRow("other extension kept") << "x.txt" << "plot_x_x_0" << "x.txt_plot_x_x_0.csv";
    }
    void fileNames()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, sweep);
        QFETCH(QString, written);
        QCOMPARE(BodeExport::fileName(chosen, sweep), written);
    }

    void headerFollowsScaling()
    {
        QCOMPARE(BodeExport::header(true), QString("frequency [Hz], amplitude [um/um], phase [deg]\n"));
        QCOMPARE(BodeExport::header(false), QString("frequency [Hz], amplitude [um], phase [deg]\n"));
    }

    void rowsPairTheContainersUpToTheShorter()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCPGraphDataContainer magnitude, phase;
        magnitude.add(QCPGraphData(10.0, 35.77708763999664));
        magnitude.add(QCPGraphData(12.589254117941675, 1.5e-7));
        magnitude.add(QCPGraphData(15.848931924611133, 2.0));
        phase.add(QCPGraphData(10.0, -22.2));
        phase.add(QCPGraphData(12.589254117941675, -181.123456));
        const QString path = dir.filePath("out.csv");
        QVERIFY(BodeExport::write(path, false, magnitude, phase).ok);
        QCOMPARE(readAll(path), QString("frequency [Hz], amplitude [um], phase [deg]\n"
                                        "10,35.7771,-22.2\n"
                                        "12.5893,1.5e-07,-181.123\n"));
    }

    void existingFileIsReplaced()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.csv");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(1000, 'x'));
        old.close();
        QCPGraphDataContainer magnitude, phase;
        magnitude.add(QCPGraphData(1.0, 2.0));
        phase.add(QCPGraphData(1.0, 3.0));
        QVERIFY(BodeExport::write(path, true, magnitude, phase).ok);
        QCOMPARE(readAll(path), QString("frequency [Hz], amplitude [um/um], phase [deg]\n1,2,3\n"));
    }

    void unwritablePathFails()
    {
        QTemporaryDir dir;
        QCPGraphDataContainer magnitude, phase;
        const FileWriteResult result = BodeExport::write(dir.filePath("missing/folder/out.csv"), true, magnitude, phase);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBodeExport)
#include "tst_bodeexport.moc"
