// The real program under the X server, against the simulated controller: it
// starts, ticks, draws the live graphs, and ends cleanly with the function
// generator switched off.
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {
// Pixels close to the given trace colour.
int countColour(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (qAbs(qRed(p) - qRed(colour)) < 12 && qAbs(qGreen(p) - qGreen(colour)) < 12 &&
                qAbs(qBlue(p) - qBlue(colour)) < 12)
                ++count;
        }
    }
    return count;
}

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}
}  // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void runsTicksAndEndsCleanly()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString config = dir.filePath("config.ini");
        {
            QFile file(config);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[BPM1]\nScale_X=1000\nScale_Y=1000\n[BPM2]\nScale_X=1000\nScale_Y=1000\n");
        }
        const QString report = dir.filePath("simulator-calls.txt");

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VORN_CONFIG_PATH", config);
        env.insert("VORN_SIM_REPORT", report);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(VORN_PROGRAM_PATH), QStringList());
        QVERIFY(program.waitForStarted(10000));

        // BPM1 and BPM2 colours of the live traces (the legend swatches are far fewer pixels).
        const QRgb bpm1 = qRgb(255, 255, 135);
        const QRgb bpm2 = qRgb(255, 130, 255);
        QImage shot;
        QTRY_VERIFY_WITH_TIMEOUT((shot = grabScreen(), countColour(shot, bpm1) > 1500 && countColour(shot, bpm2) > 1500),
                                 30000);
        shot.save(QStringLiteral(VORN_SCREENSHOT_PATH));
        QCOMPARE(program.state(), QProcess::Running);

        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        QFile calls(report);
        QVERIFY2(calls.open(QIODevice::ReadOnly), "the simulator writes its call report at exit");
        const QString text = QString::fromLatin1(calls.readAll());
        // Off after the event loop, and as the frequency analysis window is destroyed.
        QVERIFY2(text.contains("funcGenEnable(0) 2\n"), qPrintable(text));
        // It polled: the device link reads the SFP ports every second.
        QVERIFY(text.contains("getSFPinfo "));
        QVERIFY(text.contains("getBuffer "));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
