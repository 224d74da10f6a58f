// The controller's PID loops, output multiplexer and limit checks.
#include <QtTest>

#include "SimTestSupport.h"

using namespace PlantConstants;

namespace {

// An integrating loop at 1 kHz that settles well within a second on this plant.
void integratingLoops()
{
    for (int8_t channel = 0; channel < 2; ++channel) {
        QCOMPARE(setPIDparams(channel, 0, 0.002, 0, 0, 100, -12, 12, -1), 0);
        QCOMPARE(setWindAvg(channel, 100), 0);
    }
    QCOMPARE(setPIDparams(2, 0, 200, 0, 0, 100, -12, 12, -1), 0);
    QCOMPARE(setWindAvg(2, 100), 0);
    QCOMPARE(setOffset(5, 5, 5), 0);
}

double output(int channel) { return SimControl::sent().outputs[channel]; }

}  // namespace

class TestFeedback : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        SimTest::start();
        integratingLoops();
    }

    void startsOffWithTheOutputsCentred()
    {
        QCOMPARE(getPIDstatus(), 0);
        for (int c = 0; c < 4; ++c)
            QCOMPARE(output(c), START_OUTPUT_V);
        SimControl::step(1.0);
        QCOMPARE(SimControl::truePosition(0, 0), 0.0);
    }

    void beamSettlesOnNewSetpoint_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("selector");
        QTest::addColumn<double>("offsetUm");
        QTest::addColumn<double>("setX");
        QTest::addColumn<double>("setY");
        QTest::addColumn<double>("trueX");
        QTest::addColumn<double>("trueY");
        QTest::newRow("X on BPM1") << 0 << 0 << 0.0 << 20.0 << 15.0 << 20.0 << 0.0;
        QTest::newRow("Y on BPM1") << 3 << 0 << 0.0 << 20.0 << -15.0 << 0.0 << -15.0;
        QTest::newRow("X+Y on BPM1") << 1 << 0 << 0.0 << 20.0 << -15.0 << 20.0 << -15.0;
        QTest::newRow("X+Y on BPM2") << 1 << 1 << 0.0 << -30.0 << 12.0 << -30.0 << 12.0;
        QTest::newRow("X+Y with a 10 um offset") << 1 << 0 << 10.0 << 20.0 << -15.0 << 10.0 << -25.0;
    }

    void beamSettlesOnNewSetpoint()
    {
        QFETCH(int, code);
        QFETCH(int, selector);
        QFETCH(double, offsetUm);
        QFETCH(double, setX);
        QFETCH(double, setY);
        QFETCH(double, trueX);
        QFETCH(double, trueY);
        QCOMPARE(setPIDconf(int8_t(code)), 0);
        QCOMPARE(setBPMselector(selector, selector, selector), 0);
        QCOMPARE(setBPMoffset(selector, offsetUm, offsetUm), 0);
        QCOMPARE(setSetpoint2(0, setX), 0);
        QCOMPARE(setSetpoint2(1, setY), 0);
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(1.0);

        QCOMPARE(getPIDstatus(), 3);
        QVERIFY2(std::fabs(SimControl::truePosition(selector, 0) - trueX) < 0.1,
                 qPrintable(QString::number(SimControl::truePosition(selector, 0))));
        QVERIFY2(std::fabs(SimControl::truePosition(selector, 1) - trueY) < 0.1,
                 qPrintable(QString::number(SimControl::truePosition(selector, 1))));
        // The program's view agrees: the stream's raw position, scaled.
        const auto records = SimTest::newest(100);
        QVERIFY(std::fabs(SimTest::mean(records, 4 * selector) * BPM_PHYSICAL_SCALE_UM - trueX) < 0.1);
    }

    void regulationCodeChoosesTheLoops_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("loops");  // bit 0 X, bit 1 Y, bit 2 I0
        QTest::newRow("0 X") << 0 << 0b001;
        QTest::newRow("1 X+Y") << 1 << 0b011;
        QTest::newRow("2 X+I0") << 2 << 0b101;
        QTest::newRow("3 Y") << 3 << 0b010;
        QTest::newRow("4 Y+I0") << 4 << 0b110;
        QTest::newRow("5 X+Y+I0") << 5 << 0b111;
        QTest::newRow("6 I0") << 6 << 0b100;
    }

    void regulationCodeChoosesTheLoops()
    {
        QFETCH(int, code);
        QFETCH(int, loops);
        QCOMPARE(setPIDconf(int8_t(code)), 0);
        QCOMPARE(setSetpoint2(0, 20.0), 0);
        QCOMPARE(setSetpoint2(1, 20.0), 0);
        QCOMPARE(setSetpoint2(2, 1e-3), 0);  // out of reach: the I0 loop runs to its limit
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(0.1);
        for (int loop = 0; loop < 3; ++loop) {
            const bool moved = std::fabs(output(loop) - START_OUTPUT_V) > 0.1;
            QCOMPARE(moved, bool(loops & (1 << loop)));
        }
        QCOMPARE(output(3), START_OUTPUT_V);
    }

    void loopDrivesItsSelectedOutput()
    {
        QCOMPARE(setPIDoutSel(3, 1, 2), 0);
        QCOMPARE(setSetpoint2(0, 20.0), 0);
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(1.0);
        QVERIFY(std::fabs(output(3) - (5.0 + 20.0 / GAIN_UM_PER_V[0])) < 0.01);
        QCOMPARE(output(0), START_OUTPUT_V);
        QVERIFY(std::fabs(SimControl::truePosition(0, 0) - 20.0) < 0.1);
    }

    void outputLimitsAndIntegratorClamp_data()
    {
        QTest::addColumn<double>("imax");
        QTest::addColumn<double>("omin");
        QTest::addColumn<double>("omax");
        QTest::addColumn<double>("expected");
        QTest::newRow("Omax holds the output") << 100.0 << -12.0 << 7.0 << 7.0;
        QTest::newRow("Imax holds the integrator") << 0.5 << -12.0 << 12.0 << 5.5;
        QTest::newRow("the unit's range holds it") << 100.0 << -99.0 << 99.0 << 12.0;
        QTest::newRow("Omin not below Omax: unit range only") << 100.0 << 8.0 << 8.0 << 12.0;
    }

    void outputLimitsAndIntegratorClamp()
    {
        QFETCH(double, imax);
        QFETCH(double, omin);
        QFETCH(double, omax);
        QFETCH(double, expected);
        QCOMPARE(setPIDparams(0, 0, 0.002, 0, 0, imax, omin, omax, -1), 0);
        QCOMPARE(setSetpoint2(0, 500.0), 0);  // out of reach
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(2.0);
        QCOMPARE(output(0), expected);
    }

    void deadBandIgnoresSmallErrors()
    {
        QCOMPARE(setPIDparams(0, 0, 0.002, 0, 5.0, 100, -12, 12, -1), 0);
        QCOMPARE(setSetpoint2(0, 3.0), 0);
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(0.5);
        QCOMPARE(output(0), START_OUTPUT_V);

        QCOMPARE(setSetpoint2(0, 12.0), 0);
        SimControl::step(0.5);
        const double x = SimControl::truePosition(0, 0);
        QVERIFY2(x > 7.0 - 0.1 && x < 12.0, qPrintable(QString::number(x)));
    }

    void multiplexerZeroFollowsTheDevice()
    {
        QCOMPARE(setSetpoint2(0, 20.0), 0);
        QCOMPARE(setFBenable(1), 0);
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(1, 2, 3, 4), 0);
        SimControl::step(0.5);
        const SimControl::Sent s = SimControl::sent();
        for (int c = 0; c < 4; ++c)
            QCOMPARE(s.outputs[c], double(c + 1));
        QCOMPARE(s.lastDacWrite.ch3, 3.0);
        QCOMPARE(s.lastDacWrite.flag, 1);
        QCOMPARE(SimTest::newest(1).front().word[DisplayRecord::OUTPUT0 + 3], 4.0);
        QVERIFY(std::fabs(SimControl::truePosition(0, 0) - (1.0 - 5.0) * GAIN_UM_PER_V[0]) < 1e-3);

        // Back to the feedback: it takes the beam to its setpoint again.
        QCOMPARE(setOutputMux(1), 0);
        SimControl::step(1.5);
        QVERIFY(std::fabs(SimControl::truePosition(0, 0) - 20.0) < 0.1);
    }

    void deviceWritesApplyAtOnceWithinTheUnitsRange()
    {
        QCOMPARE(SimTest::writeOutputs(-20, 20, 0, 0), 0);
        QCOMPARE(output(0), START_OUTPUT_V);  // the feedback still has the outputs
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(output(0), OUTPUT_MIN_V);
        QCOMPARE(output(1), OUTPUT_MAX_V);
        SimControl::step(0.01);
        QCOMPARE(SimTest::newest(1).front().word[DisplayRecord::OUTPUT0], OUTPUT_MIN_V);
    }

    void leavingAnEnabledRocLimitFaults_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("channel");
        QTest::addColumn<double>("volts");
        QTest::newRow("BPM1 X") << 0 << 0 << 5.5;
        QTest::newRow("BPM1 Y, negative side") << 1 << 1 << 4.5;
        QTest::newRow("BPM2 X") << 3 << 0 << 4.5;
        QTest::newRow("BPM2 Y") << 4 << 1 << 5.5;
    }

    void leavingAnEnabledRocLimitFaults()
    {
        QFETCH(int, index);
        QFETCH(int, channel);
        QFETCH(double, volts);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(setROClimits(i, 0.0, i % 3 == 2 ? 1e-6 : 100.0), 0);
        QCOMPARE(setROClimits(index, 0.0, 10.0), 0);
        uint8_t enable[6] = {0, 0, 0, 0, 0, 0};
        QCOMPARE(setFBenable(1), 0);
        QCOMPARE(setOutputMux(0), 0);
        double v[4] = {5, 5, 5, 5};
        v[channel] = volts;
        QCOMPARE(SimTest::writeOutputs(v[0], v[1], v[2], v[3]), 0);

        // Not enabled: no fault.
        SimControl::step(0.2);
        QCOMPARE(getPIDstatus(), 3);

        enable[index] = 1;
        QCOMPARE(setROCenable(enable[0], enable[1], enable[2], enable[3], enable[4], enable[5]), 0);
        SimControl::step(0.01);
        QCOMPARE(getPIDstatus(), 1);

        // Latched until reset, and the reset holds only once the beam is back inside.
        QCOMPARE(SimTest::writeOutputs(5, 5, 5, 5), 0);
        SimControl::step(0.2);
        QCOMPARE(getPIDstatus(), 1);
        QCOMPARE(setCtrlReset(), 0);
        SimControl::step(0.01);
        QCOMPARE(getPIDstatus(), 3);
    }

    void beamOffThresholdFaults_data()
    {
        QTest::addColumn<int>("bpm");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("factor");
        QTest::newRow("BPM1 threshold above the beam") << 0 << 2 * INTENSITY_PEAK_A << 1.0;
        QTest::newRow("BPM2 threshold above the beam") << 1 << 0.9 * INTENSITY_PEAK_A << 1.0;
        QTest::newRow("BPM1 beam lost") << 0 << 1e-6 << 0.0;
        QTest::newRow("BPM2 beam lost") << 1 << 1e-6 << 0.0;
    }

    void beamOffThresholdFaults()
    {
        QFETCH(int, bpm);
        QFETCH(double, threshold);
        QFETCH(double, factor);
        QCOMPARE(setROClimits(3 * bpm + 2, 0.0, threshold), 0);
        QCOMPARE(setFBenable(1), 0);
        SimControl::setBeamIntensityFactor(factor);
        SimControl::step(0.1);
        QCOMPARE(getPIDstatus(), 3);  // not enabled yet

        uint8_t enable[6] = {0, 0, 0, 0, 0, 0};
        enable[3 * bpm + 2] = 1;
        QCOMPARE(setROCenable(enable[0], enable[1], enable[2], enable[3], enable[4], enable[5]), 0);
        SimControl::step(0.01);
        QCOMPARE(getPIDstatus(), 2);

        // Switching the feedback off clears it.
        QCOMPARE(setFBenable(0), 0);
        QCOMPARE(getPIDstatus(), 0);
    }

    void faultHoldsTheOutputs()
    {
        QCOMPARE(setROClimits(2, 0.0, 1e-6), 0);
        QCOMPARE(setROCenable(0, 0, 1, 0, 0, 0), 0);
        QCOMPARE(setSetpoint2(0, 30.0), 0);
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(0.005);
        const double moving = output(0);
        QVERIFY(moving > START_OUTPUT_V && moving < 5.0 + 30.0 / GAIN_UM_PER_V[0] - 0.1);

        SimControl::setBeamIntensityFactor(0.0);
        SimControl::step(0.05);
        QCOMPARE(getPIDstatus(), 2);
        const double held = output(0);
        SimControl::step(0.5);
        QCOMPARE(output(0), held);

        // Beam back and reset: the loop starts afresh and settles.
        SimControl::setBeamIntensityFactor(1.0);
        QCOMPARE(setCtrlReset(), 0);
        SimControl::step(1.0);
        QCOMPARE(getPIDstatus(), 3);
        QVERIFY(std::fabs(SimControl::truePosition(0, 0) - 30.0) < 0.1);
        QCOMPARE(SimControl::sent().ctrlResets, 1);
    }

    void feedbackOffHoldsTheOutputs()
    {
        QCOMPARE(setSetpoint2(0, 30.0), 0);
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(1.0);
        QCOMPARE(setFBenable(0), 0);
        const double held = output(0);
        QCOMPARE(setSetpoint2(0, -30.0), 0);
        SimControl::step(1.0);
        QCOMPARE(getPIDstatus(), 0);
        QCOMPARE(output(0), held);
    }

    void loopRateFollowsTheDivider_data()
    {
        QTest::addColumn<int>("divider");
        QTest::addColumn<bool>("encoderBox");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("ticks");
        QTest::newRow("1000: 100 Hz") << 1000 << false << 0.1 << 10;
        QTest::newRow("500: 200 Hz") << 500 << false << 0.1 << 20;
        QTest::newRow("2000: 50 Hz") << 2000 << false << 0.1 << 5;
        QTest::newRow("5 with an encoder box: 1 kHz") << 5 << true << 0.01 << 10;
    }

    void loopRateFollowsTheDivider()
    {
        QFETCH(int, divider);
        QFETCH(bool, encoderBox);
        QFETCH(double, seconds);
        QFETCH(int, ticks);
        if (encoderBox)
            SimControl::setSfpPort(3, 0x2301);
        // Far from the setpoint every tick adds Ki * error, nearly the same each time.
        QCOMPARE(setPIDparams(0, 0, 0.00001, 0, 0, 100, -12, 12, -1), 0);
        QCOMPARE(setSetpoint2(0, 10000.0), 0);
        QCOMPARE(setWindAvg(0, divider), 0);
        QCOMPARE(setFBenable(1), 0);
        SimControl::step(seconds);
        const double perTick = 0.00001 * 10000.0;
        QVERIFY2(std::fabs(output(0) - (5.0 + ticks * perTick)) < 0.01, qPrintable(QString::number(output(0))));
    }
};

QTEST_APPLESS_MAIN(TestFeedback)
#include "tst_feedback.moc"
