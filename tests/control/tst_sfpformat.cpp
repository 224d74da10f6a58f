// How an SFP port's identifier and version word read in the SFP table.
#include <QtTest>

#include "SfpFormat.h"

class TestSfpFormat : public QObject
{
    Q_OBJECT

private slots:
    void idText_data()
    {
        QTest::addColumn<uint>("id");
        QTest::addColumn<QString>("text");

        QTest::newRow("picoammeter") << 0x2101u << "2101";
        QTest::newRow("hex letters in lower case") << 0x21A0u << "21a0";
        QTest::newRow("zero-padded") << 0x0042u << "0042";
        QTest::newRow("largest") << 0xFFFFu << "ffff";
    }

    void idText()
    {
        QFETCH(uint, id);
        QFETCH(QString, text);
        QCOMPARE(sfpIdText(uint16_t(id)), text);
    }

    void versionText_data()
    {
        QTest::addColumn<uint>("word");
        QTest::addColumn<QString>("text");

        QTest::newRow("digit codes, most significant first") << 0x31303032u << "1.0.0.2";
        QTest::newRow("letters") << 0x41422D7Au << "A.B.-.z";
        QTest::newRow("plain numbers 1, 0, 0, 2 show as numbers") << 0x01000002u << "1.0.0.2";
        QTest::newRow("zero word") << 0u << "0.0.0.0";
        QTest::newRow("control codes") << 0x0A0D7F1Bu << "10.13.127.27";
        QTest::newRow("a blank shows as its number") << 0x31203032u << "1.32.0.2";
        QTest::newRow("C1 control codes") << 0x80819F31u << "128.129.159.1";
        QTest::newRow("printable Latin-1") << 0xE9B0A031u << QString::fromUtf8("é.°.160.1");
    }

    void versionText()
    {
        QFETCH(uint, word);
        QFETCH(QString, text);
        QCOMPARE(sfpVersionText(word), text);
    }
};

QTEST_GUILESS_MAIN(TestSfpFormat)
#include "tst_sfpformat.moc"
