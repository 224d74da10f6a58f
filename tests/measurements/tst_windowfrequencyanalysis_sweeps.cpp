// The frequency analysis window against the simulated controller, its clock
// stepped: the sweep at the window's own settings held against the plant, the
// points it cannot trust drawn apart and named, what a stopped or failed sweep
// leaves, controller reads that fail, and the fields it refuses.
#include <QTest>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include <qcustomplot.h>

#include "DeviceIo.h"
#include "FrequencyResponse.h"
#include "Globals.h"
#include "OutputOwner.h"
#include "PlantConstants.h"
#include "Prompts.h"
#include "QsLog.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "WindowFrequencyAnalysis.h"
#include "support/BodeTruth.h"
#include "support/FrequencyWindowForm.h"
#include "support/LogCapture.h"
#include "support/OutputDevice.h"
#include "support/ProgramFixture.h"

using namespace FrequencyWindowForm;

namespace {

const QString DASH = QString::fromUtf8("\u2014");

// The points a sweep's entry draws apart from its curve, in a plot.
QList<QPair<double, double>> unreliablePoints(QCustomPlot* plot)
{
    QList<QPair<double, double>> out;
    for (int i = 0; i < plot->plottableCount(); ++i)
        if (const auto* curve = qobject_cast<const QCPCurve*>(plot->plottable(i)))
            for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it)
                out.append({it->key, it->value});
    return out;
}

QList<QCPCurve*> curves(QCustomPlot* plot)
{
    QList<QCPCurve*> out;
    for (int i = 0; i < plot->plottableCount(); ++i)
        if (auto* curve = qobject_cast<QCPCurve*>(plot->plottable(i)))
            out << curve;
    return out;
}

bool warned(const QString& part)
{
    const QStringList lines = LogCapture::messagesAt(QsLogging::Warn);
    return std::any_of(lines.begin(), lines.end(), [&](const QString& line) { return line.contains(part); });
}

void runToItsEnd(SteppedWindow& w)
{
    w.form.start->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), 4 * SWEEP_TIMEOUT_MS);
}

}  // namespace

class TestWindowFrequencyAnalysisSweeps : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().quietBeam().refreshed().withPosScale(
            PlantConstants::BPM_PHYSICAL_SCALE_UM));
    }

    void cleanup() { m_program.reset(); }

    // Start pressed on the window as it opens (10 to 100 Hz, 11 points,
    // 0.1 Vpp), the plant's disturbances on: every point within 0.5 dB and
    // 3 degrees of the plant, or drawn apart as unreliable and only within the
    // lock-in's resolution of the mains line; the export holds what is drawn.
    void defaultSweepAgainstThePlant_data()
    {
        QTest::addColumn<uint64_t>("seed");
        QTest::addColumn<double>("startS");
        QTest::newRow("seed 1") << uint64_t(1) << 0.3;
        QTest::newRow("seed 2, 5 s later") << uint64_t(2) << 5.011;
        QTest::newRow("seed 3, 21 s later") << uint64_t(3) << 21.13;
    }
    void defaultSweepAgainstThePlant()
    {
        QFETCH(uint64_t, seed);
        QFETCH(double, startS);
        m_program.emplace(ProgramFixture::Options().noConfig().withDisturbances(true).refreshed().withPosScale(
            PlantConstants::BPM_PHYSICAL_SCALE_UM));
        SimControl::setNoiseSeed(seed);
        SimControl::step(startS);
        SteppedWindow w(m_program->outputs);
        w.window.showWindow();
        runToItsEnd(w);

        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(w.form.tree->topLevelItemCount(), 1);
        QCOMPARE(w.form.progress->value(), 100);
        QCOMPARE(w.form.progress->text(), QString("100%"));
        const auto magnitude = points(w.form.mg->graph(0));
        const auto phase = points(w.form.ph->graph(0));
        const auto apart = unreliablePoints(w.form.mg);
        QCOMPARE(magnitude.size() + apart.size(), 11);
        for (int i = 0; i < magnitude.size(); ++i) {
            const std::complex<double> truth = BodeTruth::response(0, magnitude[i].first);
            const double db = BodeTruth::decibels(magnitude[i].second, std::abs(truth));
            const double deg = BodeTruth::wrappedDegrees(phase[i].second - BodeTruth::phaseDegrees(truth));
            QVERIFY2(qAbs(db) <= 0.5 && qAbs(deg) <= 3.0,
                     qPrintable(QString("%1 Hz: %2 dB, %3 deg").arg(magnitude[i].first).arg(db).arg(deg)));
        }
        const double resolution = 10000.0 / FrequencyResponse::RECORDS_PER_STEP;
        for (const auto& p : apart)
            QVERIFY2(qAbs(p.first - PlantConstants::LINE_HZ) < resolution, qPrintable(QString::number(p.first)));
        QCOMPARE(w.form.note->isVisible() || !w.form.note->isHidden(), !apart.isEmpty());

        Prompts::queueFileName(m_program->filePath("default.csv"));
        w.form.exportMeas->click();
        QString header;
        const QList<QStringList> rows = csvRows(m_program->filePath("default_plot_x_x_0.csv"), &header);
        QCOMPARE(header, QString("frequency [Hz], amplitude [um/um], phase [deg]"));
        QCOMPARE(rows.size(), magnitude.size());
        for (const QStringList& row : rows)
            for (const QString& number : row)
                QVERIFY2(std::isfinite(number.toDouble()), qPrintable(row.join(',')));
    }

    // A point on the mains line cannot be told from it: drawn as an open
    // circle apart from the curve, named in the note and a Warn line, left
    // out of the export, and shown, hidden and cleared with its sweep.
    void unreliablePointDrawnApart()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().withDisturbances(true).refreshed().withPosScale(
            PlantConstants::BPM_PHYSICAL_SCALE_UM));
        LogCapture::install();
        SimControl::setNoiseSeed(5);
        SimControl::step(0.4);
        SteppedWindow w(m_program->outputs);
        w.form.settings("50", "100", "3");
        runToItsEnd(w);

        QVERIFY(Prompts::shown().isEmpty());
        const auto measured = points(w.form.mg->graph(0));
        QCOMPARE(measured.size(), 2);
        QVERIFY(measured[0].first > 70.0 && measured[1].first == 100.0);
        const auto apartMg = unreliablePoints(w.form.mg);
        const auto apartPh = unreliablePoints(w.form.ph);
        QCOMPARE(apartMg.size(), 1);
        QCOMPARE(apartPh.size(), 1);
        QCOMPARE(apartMg.first().first, 50.0);
        QVERIFY(apartMg.first().second > 0.0);
        // Drawn as the sweep's colour, unjoined.
        const QCPCurve* curve = curves(w.form.mg).first();
        QCOMPARE(curve->lineStyle(), QCPCurve::lsNone);
        QCOMPARE(curve->scatterStyle().shape(), QCPScatterStyle::ssCircle);
        QCOMPARE(curve->pen().color(), w.form.mg->graph(0)->pen().color());

        QVERIFY(!w.form.note->isHidden());
        QVERIFY2(w.form.note->text().contains("plot_x_x_0 at 50 Hz: a disturbance line at 50.00 Hz"),
                 qPrintable(w.form.note->text()));
        QTRY_VERIFY(warned("Frequency analysis: the point at 50 Hz is shown as unreliable: "));

        w.form.tree->topLevelItem(0)->setSelected(true);
        Prompts::queueFileName(m_program->filePath("line.csv"));
        w.form.exportMeas->click();
        QString header;
        const QList<QStringList> rows = csvRows(m_program->filePath("line_plot_x_x_0.csv"), &header);
        QCOMPARE(header, QString("frequency [Hz], amplitude [um/um], phase [deg]"));
        QCOMPARE(rows.size(), 2);
        for (const QStringList& row : rows)
            QVERIFY(row[0].toDouble() > 70.0);

        w.form.tree->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        QVERIFY(!curves(w.form.mg).first()->visible() && !curves(w.form.ph).first()->visible());
        w.form.tree->topLevelItem(0)->setCheckState(0, Qt::Checked);
        QVERIFY(curves(w.form.mg).first()->visible());
        w.form.clear->click();
        QVERIFY(curves(w.form.mg).isEmpty() && curves(w.form.ph).isEmpty());
        QVERIFY(w.form.note->isHidden());
    }

    // What the sweep could not put on the plot at all is told at its end.
    void leftOutPointsAreTold()
    {
        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "40", "2");
        w.clock.beforeEach = [&](int n) {
            if (n == 0)
                QMetaObject::invokeMethod(
                    &w.window,
                    [&] { w.window.onPointLeftOut(0, 33.0, "the display read held a sample that is not a number"); },
                    Qt::BlockingQueuedConnection);
        };
        runToItsEnd(w);
        QCOMPARE(titlesShown(), QStringList{"Frequency analysis"});
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().first().text,
                 QString("No point is shown for these frequencies:\n33 Hz: the display read held a sample that is not "
                         "a number"));
        // The next sweep starts with nothing left out.
        Prompts::clear();
        w.clock.beforeEach = nullptr;
        runToItsEnd(w);
        QVERIFY(Prompts::shown().isEmpty());
    }

    // A stopped or failed sweep leaves no empty entry, and its progress says
    // where it ended.
    void stoppedAndFailedSweeps_data()
    {
        QTest::addColumn<QString>("how");  // "stop", "close" or the call that fails
        QTest::addColumn<int>("atWait");   // the wait it happens in
        QTest::addColumn<int>("pointsLeft");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("text");
        QTest::newRow("stopped in the first wait") << "stop" << 0 << 0 << 0 << "Stopped after 0 of 5 frequencies";
        QTest::newRow("stopped in the third wait") << "stop" << 2 << 2 << 0 << "Stopped after 2 of 5 frequencies";
        QTest::newRow("closed in the first wait") << "close" << 0 << 0 << 0 << "Stopped after 0 of 5 frequencies";
        QTest::newRow("closed in the third wait") << "close" << 2 << 2 << 40 << "Stopped after 2 of 5 frequencies";
        QTest::newRow("failed at the first step") << "funcGenConfig" << -1 << 0 << 0
                                                  << "Failed after 0 of 5 frequencies";
        QTest::newRow("failed at the third step") << "funcGenConfig" << 1 << 2 << 40
                                                  << "Failed after 2 of 5 frequencies";
        QTest::newRow("display read failed at the second step")
            << "read" << 1 << 1 << 20 << "Failed after 1 of 5 frequencies";
    }
    void stoppedAndFailedSweeps()
    {
        QFETCH(QString, how);
        QFETCH(int, atWait);
        QFETCH(int, pointsLeft);
        QFETCH(int, progress);
        QFETCH(QString, text);
        SteppedWindow w(m_program->outputs);
        w.window.showWindow();
        w.form.settings("20", "400", "5");
        const std::function<void()> act = [&] {
            if (how == "stop")
                w.form.stop->click();
            else if (how == "close")
                w.window.close();
            else if (how == "read")
                SimControl::shortRead(DEVICE_DISPLAY, size_t(FrequencyResponse::READ_BYTES));
            else
                SimControl::failCall(how.toStdString());
        };
        if (atWait < 0)
            act();
        w.clock.beforeEach = [&](int n) {
            if (n == atWait)
                QMetaObject::invokeMethod(&w.window, act, Qt::BlockingQueuedConnection);
        };
        w.form.start->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_program->outputs.isHeld(), SWEEP_TIMEOUT_MS);

        QCOMPARE(w.form.tree->topLevelItemCount(), pointsLeft > 0 ? 1 : 0);
        QCOMPARE(w.form.mg->graphCount(), pointsLeft > 0 ? 1 : 0);
        QCOMPARE(w.form.ph->graphCount(), pointsLeft > 0 ? 1 : 0);
        QVERIFY(curves(w.form.mg).size() == w.form.mg->graphCount());
        if (pointsLeft > 0)
            QCOMPARE(w.form.mg->graph(0)->dataCount(), pointsLeft);
        QCOMPARE(w.form.progress->value(), progress);
        QCOMPARE(w.form.progress->text(), text);

        // The next sweep takes the first name again when nothing was left, and shows its own progress.
        SimControl::clearFailures();
        Prompts::clear();
        w.clock.beforeEach = nullptr;
        w.window.showWindow();
        w.form.settings("20", "40", "2");
        runToItsEnd(w);
        QCOMPARE(w.form.tree->topLevelItem(w.form.tree->topLevelItemCount() - 1)->text(0),
                 QString("plot_x_x_%1").arg(pointsLeft > 0 ? 1 : 0));
        QCOMPARE(w.form.progress->text(), QString("100%"));
    }

    // A controller read the window acts on that fails: shown as missing,
    // nothing sent, the operator told which read failed, a Warn line; and once
    // the read works again, the sweep runs.
    void failedReadsRefuse_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("field");  // shows a dash; empty: none shows the read
        QTest::addColumn<QString>("text");
        QTest::newRow("output the X loop drives") << "getPIDoutSel" << "outOrvaneChLineEdit"
                                                  << "getPIDoutSel() failed: the output that the X loop drives "
                                                     "could not be read.";
        QTest::newRow("BPM that feeds the X loop") << "getBPMselector" << "inBpmChLineEdit"
                                                   << "getBPMselector() failed: the BPM that feeds the X loop could "
                                                      "not be read.";
        QTest::newRow("feedback status") << "getPIDstatus" << ""
                                         << "getPIDstatus() failed: whether the feedback is off could not be read.";
        QTest::newRow("display filter") << "getDisplayFreq" << ""
                                        << "getDisplayFreq() failed: the display filter setting could not be read.";
    }
    void failedReadsRefuse()
    {
        QFETCH(QString, call);
        QFETCH(QString, field);
        QFETCH(QString, text);
        LogCapture::install();
        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "40", "2");
        SimControl::failCall(call.toStdString());
        w.window.showWindow();
        if (!field.isEmpty())
            QCOMPARE(child<QLineEdit>(w.window, field)->text(), DASH);
        if (call == "getPIDoutSel")
            QCOMPARE(w.form.offset->text(), QString());
        w.form.start->click();

        QCOMPARE(titlesShown(), QStringList{"Error"});
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Critical);
        QCOMPARE(Prompts::shown().first().text, text + "\n\nThe sweep was not started.");
        QTRY_VERIFY(warned(call + "() failed"));
        // Nothing reached the controller from it, and all is free again.
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
        QCOMPARE(SimControl::callCount("funcGenEnable", 1), 0);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        QVERIFY(!SimControl::sent().genEnabled);
        QCOMPARE(w.form.tree->topLevelItemCount(), 0);
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);
        QVERIFY(w.form.start->isEnabled());

        SimControl::clearFailures();
        Prompts::clear();
        w.window.showWindow();
        QCOMPARE(w.form.orvane->text(), QString("OUT1"));
        QCOMPARE(w.form.bpm->text(), QString("1"));
        runToItsEnd(w);
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(w.form.mg->graph(0)->dataCount(), 2);
    }

    // The output unit cannot follow a sine beyond its range.
    void sineBeyondTheOutputRange_data()
    {
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("vpp");
        QTest::addColumn<bool>("refused");
        QTest::newRow("11.98 V and 0.1 Vpp") << 11.98 << 0.1 << true;
        QTest::newRow("-11.6 V and 1 Vpp") << -11.6 << 1.0 << true;
        QTest::newRow("11.9 V and 0.2 Vpp: up to 12 V") << 11.9 << 0.2 << false;
    }
    void sineBeyondTheOutputRange()
    {
        QFETCH(double, volts);
        QFETCH(double, vpp);
        QFETCH(bool, refused);
        QVERIFY(setOutputMux(0) >= 0);
        QVERIFY(OutputDevice::write(volts, 5.0, 5.0, 5.0));
        SimControl::step(0.01);
        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "40", "2");
        w.form.amplitude->setValue(vpp);
        w.form.start->click();
        if (!refused) {
            QVERIFY(Prompts::shown().isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);
            QCOMPARE(SimControl::sent().genOffset[0], float(volts));
            return;
        }
        QCOMPARE(titlesShown(), QStringList{"Error"});
        QVERIFY2(Prompts::shown().first().text.contains("leaves the output range of -12 to 12 V"),
                 qPrintable(Prompts::shown().first().text));
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);
    }

    // A field holding a value the window refuses is marked when the window
    // opens again, and as soon as the value is one it takes, no longer.
    void refusedFieldsMarkedWhenReopened_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QStringList>("marked");
        QTest::newRow("start 0.05") << "0.05" << "100" << "11" << QStringList{"startFreqLineEdit"};
        QTest::newRow("stop 1000.1") << "10" << "1000.1" << "11" << QStringList{"stopFreqLineEdit"};
        QTest::newRow("length 1") << "10" << "100" << "1" << QStringList{"lengthLineEdit"};
        QTest::newRow("length not a number") << "10" << "100" << "eleven" << QStringList{"lengthLineEdit"};
        QTest::newRow("start equal to stop") << "50" << "50" << "11"
                                             << QStringList{"startFreqLineEdit", "stopFreqLineEdit"};
    }
    void refusedFieldsMarkedWhenReopened()
    {
        QFETCH(QString, start);
        QFETCH(QString, stop);
        QFETCH(QString, length);
        QFETCH(QStringList, marked);
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        const QList<QLineEdit*> fields{f.startFreq, f.stopFreq, f.length};
        // Seen, not only flagged: a frame of its own and a tip that says what is allowed.
        const auto markedNow = [&] {
            QStringList names;
            for (QLineEdit* field : fields) {
                const bool framed = field->styleSheet().contains("border");
                const bool tipped = field->toolTip().startsWith("Not allowed: ");
                if (field->property("refused").toBool() && framed && tipped)
                    names << field->objectName();
                else if (framed || tipped)
                    names << field->objectName() + " (half marked)";
            }
            return names;
        };
        window.showWindow();
        QCOMPARE(markedNow(), QStringList());
        f.settings(start, stop, length);
        window.close();
        window.showWindow();
        QCOMPARE(markedNow(), marked);
        // Refused again at Start: still marked.
        f.start->click();
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(markedNow(), marked);
        // Typing a value it takes clears the mark at once.
        f.settings("10", "100", "11");
        QCOMPARE(markedNow(), QStringList());
        window.close();
        window.showWindow();
        QCOMPARE(markedNow(), QStringList());
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWindowFrequencyAnalysisSweeps)
#include "tst_windowfrequencyanalysis_sweeps.moc"
