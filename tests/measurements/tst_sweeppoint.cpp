// Whether a sweep point can be shown: the judgement of a record's fit, and the
// lines a sweep keeps from one record to the next.
#include <QtTest>

#include <cmath>

#include "SweepPoint.h"

using SweepPoint::Verdict;
Q_DECLARE_METATYPE(SweepPoint::Verdict)
Q_DECLARE_METATYPE(LockInFit::Fit)

namespace {

// A fit of a response of 1 at -30 degrees over 0.358 s, with errors of 0.3 %.
LockInFit::Fit goodFit()
{
    LockInFit::Fit f;
    f.ok = true;
    f.inPhase = std::cos(-30.0 * 3.14159265358979 / 180.0);
    f.quadrature = std::sin(-30.0 * 3.14159265358979 / 180.0);
    f.varInPhase = f.varQuadrature = 0.003 * 0.003;
    f.durationS = 0.3583;
    return f;
}

LockInFit::Line line(double hz, double amplitude, bool known = true)
{
    return {hz, amplitude, 0.001, known};
}

}  // namespace

class TestSweepPoint : public QObject
{
    Q_OBJECT

private slots:
    void negligibleLineMovesThePointByAThirdOfTheLimits()
    {
        const double share = SweepPoint::negligibleLineShare();
        QVERIFY(20.0 * std::log10(1.0 + share) <= SweepPoint::MAX_ERROR_DB / 3.0 + 1e-12);
        QVERIFY(std::asin(share) * 180.0 / 3.14159265358979 <= SweepPoint::MAX_ERROR_DEGREES / 3.0 + 1e-9);
        QVERIFY(share > 0.017);
    }

    void assess_data()
    {
        QTest::addColumn<LockInFit::Fit>("value");
        QTest::addColumn<LockInFit::Fit>("check");
        QTest::addColumn<double>("longerS");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QString>("reason");  // the start of it
        const LockInFit::Fit good = goodFit();
        QTest::newRow("clean") << good << good << 14.336 << Verdict::Measured << "";

        LockInFit::Fit nearLine = good;
        nearLine.unresolved = {line(50.0, 0.3)};
        QTest::newRow("a line of 30 % 0.12 Hz away: a longer record resolves it")
            << nearLine << good << 14.336 << Verdict::NeedsLongerRecord << "";
        QTest::newRow("the same on the longest record")
            << nearLine << good << 0.0 << Verdict::Unreliable
            << "a disturbance line at 50.00 Hz (30 % of the response) lies 0.120 Hz from the excitation, closer than "
               "a record of 0.4 s can tell apart (2.791 Hz)";
        QTest::newRow("a line of 30 % right on the excitation")
            << nearLine << good << 14.336 << Verdict::Unreliable
            << "a disturbance line at 50.00 Hz (30 % of the response) lies 0.000 Hz from the excitation, closer "
               "than a record of 14.3 s can tell apart (0.070 Hz)";
        LockInFit::Fit smallLine = good;
        smallLine.unresolved = {line(50.0, 0.01)};
        QTest::newRow("a line of 1 % changes nothing") << smallLine << good << 14.336 << Verdict::Measured << "";
        LockInFit::Fit unknownSize = good;
        unknownSize.unresolved = {line(50.0, 0.001, false)};
        QTest::newRow("a line of unknown size") << unknownSize << good << 14.336 << Verdict::NeedsLongerRecord << "";
        LockInFit::Fit resolvedByCheck = good;
        resolvedByCheck.durationS = 1.2;
        resolvedByCheck.lines = {line(48.0, 0.3)};
        QTest::newRow("a line the check resolved and the value did not")
            << good << resolvedByCheck << 14.336 << Verdict::NeedsLongerRecord << "";

        LockInFit::Fit changed = good;
        changed.modulationChi2 = 200.0;
        changed.modulationRelative = 0.05;
        QTest::newRow("the response changed") << good << changed << 14.336 << Verdict::NeedsLongerRecord << "";
        QTest::newRow("the response changed on the longest record")
            << good << changed << 0.0 << Verdict::Unreliable << "the response changed during the record";
        LockInFit::Fit rounding = changed;
        rounding.modulationRelative = 1e-6;
        QTest::newRow("a change of the arithmetic's size") << good << rounding << 14.336 << Verdict::Measured << "";

        LockInFit::Fit noisy = good;
        noisy.varInPhase = noisy.varQuadrature = 0.03 * 0.03;
        QTest::newRow("noisy") << noisy << good << 14.336 << Verdict::Unreliable
                               << "the response stands too little above the noise: \u00b10.78 dB, \u00b15.2\u00b0";
        LockInFit::Fit silent = good;
        silent.inPhase = silent.quadrature = 0.0;
        QTest::newRow("no response") << silent << good << 14.336 << Verdict::Unreliable
                                     << "the measured position does not follow the output";
        LockInFit::Fit broken = good;
        broken.ok = false;
        QTest::newRow("no fit") << broken << good << 14.336 << Verdict::Unreliable
                                << "the record does not determine the response";
    }
    void assess()
    {
        QFETCH(LockInFit::Fit, value);
        QFETCH(LockInFit::Fit, check);
        QFETCH(double, longerS);
        QFETCH(Verdict, verdict);
        QFETCH(QString, reason);
        const double excitation = QString(QTest::currentDataTag()).contains("right on") ? 50.0 : 50.12;
        const SweepPoint::Assessment a = SweepPoint::assess(value, check, excitation, longerS);
        QCOMPARE(a.verdict, verdict);
        // Only what cannot be shown comes with a reason.
        if (reason.isEmpty())
            QCOMPARE(a.reason, QString());
        else
            QVERIFY2(a.reason.startsWith(reason), qPrintable(a.reason));
        QCOMPARE(a.reason.isEmpty(), verdict != Verdict::Unreliable);
    }

    void linesKeepTheirBestFrequency()
    {
        SweepPoint::Lines lines;
        // Seen first in a short record, then in a long one, then again in a short one.
        lines.merge({{50.03, 0.41, 0.02, true}}, 0.358);
        lines.merge({{50.0001, 0.39, 0.0002, true}, {137.0, 0.1, 0.001, true}}, 14.3);
        lines.merge({{49.98, 0.42, 0.03, true}}, 0.358);
        // Through the display filter: its size is not known, the one known stays.
        lines.merge({{50.0, 0.2, 0.0001, false}}, 14.3);
        const std::vector<LockInFit::Line> all = lines.all();
        QCOMPARE(all.size(), size_t(2));
        QCOMPARE(all[0].hz, 50.0);
        QCOMPARE(all[0].amplitude, 0.42);
        QVERIFY(all[0].amplitudeKnown);
        QCOMPARE(all[1].hz, 137.0);
        // Two lines a short record cannot part stay one; a long one parts them.
        SweepPoint::Lines close;
        close.merge({{50.0, 0.4, 0.01, true}}, 0.358);
        close.merge({{51.0, 0.4, 0.01, true}}, 0.358);
        QCOMPARE(close.all().size(), size_t(1));
        SweepPoint::Lines parted;
        parted.merge({{50.0, 0.4, 0.01, true}}, 14.3);
        parted.merge({{51.0, 0.4, 0.01, true}}, 14.3);
        QCOMPARE(parted.all().size(), size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestSweepPoint)
#include "tst_sweeppoint.moc"
