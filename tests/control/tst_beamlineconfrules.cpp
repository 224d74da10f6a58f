// The beamline configuration's rules without a window: which channel maps the
// label warns about, which controllers take offsets, and the readout texts.
#include <QtTest>

#include "BeamlineConfRules.h"

using BeamlineConfRules::ChannelMap;

Q_DECLARE_METATYPE(ChannelMap)

class TestBeamlineConfRules : public QObject
{
    Q_OBJECT

private slots:
    void channelMaps_data()
    {
        QTest::addColumn<ChannelMap>("map");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("duplicate");

        QTest::newRow("straight") << ChannelMap{0, 1, 2, 3} << true << false;
        QTest::newRow("reversed") << ChannelMap{3, 2, 1, 0} << true << false;
        QTest::newRow("Ch 2 on top and left") << ChannelMap{1, 0, 2, 1} << true << true;
        QTest::newRow("all on Ch 1, as a missing group loads") << ChannelMap{0, 0, 0, 0} << true << true;
        QTest::newRow("an electrode without selection") << ChannelMap{0, 1, -1, 3} << false << false;
        QTest::newRow("two without selection") << ChannelMap{-1, 1, -1, 3} << false << true;
        QTest::newRow("channel 4 does not exist") << ChannelMap{0, 1, 2, 4} << false << false;
    }

    void channelMaps()
    {
        QFETCH(ChannelMap, map);
        QFETCH(bool, complete);
        QFETCH(bool, duplicate);
        QCOMPARE(BeamlineConfRules::isComplete(map), complete);
        QCOMPARE(BeamlineConfRules::hasDuplicate(map), duplicate);
        QCOMPARE(BeamlineConfRules::isInvalid(map), duplicate || !complete);
    }

    void offsetsBySoftwareVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("available");

        QTest::newRow("1.0.02 itself") << "1.0.02" << false;
        QTest::newRow("1.0.0 is a prefix, so before") << "1.0.0" << false;
        QTest::newRow("empty, the read failed") << "" << false;
        QTest::newRow("1.0.01") << "1.0.01" << false;
        QTest::newRow("1.0.1 is after as a string") << "1.0.1" << true;
        QTest::newRow("1.0.3") << "1.0.3" << true;
        QTest::newRow("2.0.0") << "2.0.0" << true;
        QTest::newRow("1.0.10") << "1.0.10" << true;
    }

    void offsetsBySoftwareVersion()
    {
        QFETCH(QString, version);
        QFETCH(bool, available);
        QCOMPARE(BeamlineConfRules::offsetsAvailable(version), available);
    }

    void statusTexts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");

        QTest::newRow("0 off") << 0 << "HV OFF";
        QTest::newRow("1 on") << 1 << "HV ON";
        QTest::newRow("3 rising") << 3 << "HV rising";
        QTest::newRow("5 falling") << 5 << "HV falling";
        QTest::newRow("2 is no state") << 2 << "";
        QTest::newRow("4 is no state") << 4 << "";
        QTest::newRow("15 is no state") << 15 << "";
        QTest::newRow("0x13: only the low four bits count") << 0x13 << "HV rising";
        QTest::newRow("0x10 reads off") << 0x10 << "HV OFF";
    }

    void statusTexts()
    {
        QFETCH(int, status);
        QFETCH(QString, text);
        QCOMPARE(BeamlineConfRules::hvStatusText(status), text);
    }

    void readoutTexts()
    {
        QCOMPARE(BeamlineConfRules::hvVoltageText(-500.0f), QString("-500.00V"));
        QCOMPARE(BeamlineConfRules::hvVoltageText(0.0f), QString("0.00V"));
        QCOMPARE(BeamlineConfRules::hvVoltageText(123.456f), QString("123.46V"));
        QCOMPARE(BeamlineConfRules::hvCurrentText(0.25f), QString("0.25uA"));
        QCOMPARE(BeamlineConfRules::hvCurrentText(0.0f), QString("0.00uA"));
    }
};

QTEST_GUILESS_MAIN(TestBeamlineConfRules)
#include "tst_beamlineconfrules.moc"
