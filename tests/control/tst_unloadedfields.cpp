// Fields whose value was not loaded: the dash they show, what makes them the
// operator's again (typing, stepping, a value set by the program), and the note.
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include "UnloadedFields.h"

namespace {
const QString DASH = QString::fromUtf8(UnloadedFields::DASH);

struct Fields
{
    Fields()
    {
        for (QDoubleSpinBox* box : {&scale, &offset}) {
            box->setDecimals(3);
            box->setSuffix(QStringLiteral(" um"));
        }
        scale.setRange(0.0, 1e8);
        offset.setRange(-1e4, 1e8);
        scale.setValue(1000.0);
        offset.setValue(5.0);
        fields.watch(&scale, QStringLiteral("X scaling"), QStringLiteral("Scale_X"));
        fields.watch(&offset, QStringLiteral("X offset"), QStringLiteral("Offset_X"));
        fields.setNote(&note);
    }

    QDoubleSpinBox scale, offset;
    QLabel note;
    UnloadedFields fields;
};

void type(QDoubleSpinBox& box, const QString& text)
{
    box.selectAll();
    QTest::keyClicks(&box, text);
}
}  // namespace

class TestUnloadedFields : public QObject
{
    Q_OBJECT

private slots:
    void loadedFieldsShowTheirValues()
    {
        Fields f;
        f.fields.markKeys({"Scale_X", "Offset_X"}, {});
        QCOMPARE(f.scale.text(), QString("1000.000 um"));
        QVERIFY(f.note.isHidden());
        QCOMPARE(f.fields.unloadedNames(), QStringList());
    }

    void unreadKeyShowsADashAndTheNoteNamesIt()
    {
        Fields f;
        QSignalSpy changed(&f.fields, &UnloadedFields::changed);
        f.fields.markKeys({"Scale_X", "Offset_X"}, {"Offset_X"});
        QCOMPARE(f.offset.text(), DASH);
        QCOMPARE(f.scale.text(), QString("1000.000 um"));
        QVERIFY(f.fields.isUnloaded(&f.offset));
        QVERIFY(!f.note.isHidden());
        QCOMPARE(f.note.text(), QString("Not read from the configuration file: X offset. Type a value."));
        QCOMPARE(changed.count(), 1);

        // Keys not loaded this time keep their state.
        f.fields.markKeys({"Scale_X"}, {"Scale_X"});
        QCOMPARE(f.fields.unloadedNames(), QStringList({"X scaling", "X offset"}));
    }

    void typingMakesItTheOperators_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("value");

        QTest::newRow("a number") << "12.5" << 12.5;
        // The dash's own value: no value changes, the keystrokes count.
        QTest::newRow("the minimum itself") << "-10000" << -10000.0;
    }

    void typingMakesItTheOperators()
    {
        QFETCH(QString, typed);
        QFETCH(double, value);

        Fields f;
        f.fields.markKeys({"Offset_X"}, {"Offset_X"});
        type(f.offset, typed);
        QTest::keyClick(&f.offset, Qt::Key_Return);
        QVERIFY(!f.fields.isUnloaded(&f.offset));
        QCOMPARE(f.offset.value(), value);
        QVERIFY(f.offset.text() != DASH);
        QVERIFY(f.note.isHidden());
    }

    void theDashWaitsForTheEndOfTheEdit()
    {
        // Put back under the cursor, the box's own text would swallow the next keys.
        Fields f;
        f.fields.markKeys({"Scale_X"}, {"Scale_X"});
        type(f.scale, "999.5");
        QCOMPARE(f.scale.value(), 999.5);
        QVERIFY(!f.fields.isUnloaded(&f.scale));
    }

    void steppingOrSettingMakesItKnown()
    {
        Fields f;
        f.fields.markKeys({"Scale_X", "Offset_X"}, {"Scale_X", "Offset_X"});
        f.scale.stepUp();
        QVERIFY(!f.fields.isUnloaded(&f.scale));
        QCOMPARE(f.scale.value(), 1.0);
        f.offset.setValue(3.0);
        QVERIFY(!f.fields.isUnloaded(&f.offset));
        QCOMPARE(f.offset.text(), QString("3.000 um"));
    }

    void aLaterLoadClearsTheDash()
    {
        Fields f;
        f.fields.markKeys({"Offset_X"}, {"Offset_X"});
        f.fields.markKeys({"Offset_X"}, {});
        QVERIFY(!f.fields.isUnloaded(&f.offset));
        QVERIFY(f.note.isHidden());
        // The minimum is a number again.
        f.offset.setValue(f.offset.minimum());
        QCOMPARE(f.offset.text(), QString("-10000.000 um"));
    }
};

QTEST_MAIN(TestUnloadedFields)
#include "tst_unloadedfields.moc"
