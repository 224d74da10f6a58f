// Fields whose value was not loaded: the dash they show, what makes them the
// operator's again (typing, stepping, a value set by the program), and the note.
// Fields that show another value than the file holds: the note with the key and
// the stored value, and what takes it away.
#include <QComboBox>
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

    void storedValueNotShownGetsANote_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("perShownUnit");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("note");  // empty: none

        QTest::newRow("shown as stored") << 1000.0 << 1.0 << "" << "";
        QTest::newRow("the noise of a division") << 1000.0000000000002 << 1.0 << "" << "";
        QTest::newRow("above the box") << 2e8 << 1.0 << ""
                                       << "X scaling: the file holds BPM1/Scale_X = 200000000; the field shows "
                                          "100000000.000 um.";
        QTest::newRow("below the box") << -2.0 << 1.0 << ""
                                       << "X scaling: the file holds BPM1/Scale_X = -2; the field shows 0.000 um.";
        QTest::newRow("finer than the box") << 0.0004 << 1.0 << ""
                                            << "X scaling: the file holds BPM1/Scale_X = 0.0004; the field shows "
                                               "0.000 um.";
        QTest::newRow("in another unit, shown") << 2e-4 << 1e-6 << "A" << "";
        QTest::newRow("in another unit, beyond") << 1000.0 << 1e-6 << "A"
                                                 << "X scaling: the file holds BPM1/Scale_X = 1000 A; the field "
                                                    "shows 100000000.000 um.";
    }

    void storedValueNotShownGetsANote()
    {
        QFETCH(double, stored);
        QFETCH(double, perShownUnit);
        QFETCH(QString, unit);
        QFETCH(QString, note);

        Fields f;
        f.fields.markKeys({"Scale_X", "Offset_X"}, {});
        f.scale.setValue(stored / perShownUnit);
        QSignalSpy changed(&f.fields, &UnloadedFields::changed);
        QCOMPARE(f.fields.noteStored(&f.scale, "BPM1/Scale_X", stored, perShownUnit, unit), !note.isEmpty());
        QCOMPARE(f.note.isHidden(), note.isEmpty());
        QCOMPARE(f.note.text(), note);
        QCOMPARE(f.fields.storedNotes(), note.isEmpty() ? QStringList() : QStringList{note});
        QCOMPARE(changed.count(), note.isEmpty() ? 0 : 1);
    }

    // The field is the operator's once changed; a later load starts afresh.
    void operatorChangeOrLoadTakesTheNoteAway_data()
    {
        QTest::addColumn<QString>("how");

        QTest::newRow("typed") << "type";
        QTest::newRow("stepped") << "step";
        QTest::newRow("set by the program") << "set";
        QTest::newRow("loaded again") << "load";
    }

    void operatorChangeOrLoadTakesTheNoteAway()
    {
        QFETCH(QString, how);

        Fields f;
        f.fields.markKeys({"Scale_X", "Offset_X"}, {});
        f.scale.setValue(-5.0);
        f.offset.setValue(2e8);
        QVERIFY(f.fields.noteStored(&f.scale, "BPM1/Scale_X", -5.0));
        QVERIFY(f.fields.noteStored(&f.offset, "BPM1/Offset_X", 3e8));
        QCOMPARE(f.fields.storedNotes().size(), 2);
        if (how == "type") {
            type(f.scale, "7");
            QTest::keyClick(&f.scale, Qt::Key_Tab);
        } else if (how == "step") {
            f.scale.stepUp();
        } else if (how == "set") {
            f.scale.setValue(4.0);
        } else {
            f.fields.markKeys({"Scale_X"}, {});
        }
        QVERIFY(!f.fields.hasStoredNote(&f.scale));
        // The other field's note stays.
        QVERIFY(f.fields.hasStoredNote(&f.offset));
        QVERIFY(f.note.text().contains("BPM1/Offset_X = 300000000"));
        QVERIFY(!f.note.text().contains("Scale_X"));
    }

    // An unloaded field shows a dash: there is no shown value to set against the file.
    void unloadedFieldGetsNoStoredNote()
    {
        Fields f;
        f.fields.markKeys({"Scale_X"}, {"Scale_X"});
        QVERIFY(!f.fields.noteStored(&f.scale, "BPM1/Scale_X", -5.0));
        QCOMPARE(f.note.text(), QString("Not read from the configuration file: X scaling. Type a value."));
    }

    // A choice's note goes when another item is picked; both kinds share the note.
    void choiceNoteGoesWithTheOperatorsPick()
    {
        Fields f;
        QComboBox orientation;
        orientation.addItems({"90", "45"});
        f.fields.watchChoice(&orientation);
        f.fields.markKeys({"Offset_X"}, {"Offset_X"});
        f.fields.setStoredNote(&orientation, "Orientation: the file holds BPM1/Orient = 7; the box stays at 90.");
        QCOMPARE(f.note.text(), QString("Not read from the configuration file: X offset. Type a value.\n"
                                        "Orientation: the file holds BPM1/Orient = 7; the box stays at 90."));
        orientation.setCurrentIndex(1);
        QCOMPARE(f.fields.storedNotes(), QStringList());
        QCOMPARE(f.note.text(), QString("Not read from the configuration file: X offset. Type a value."));
    }
};

QTEST_MAIN(TestUnloadedFields)
#include "tst_unloadedfields.moc"
