// The about box: its texts from the version globals and the build number, the
// logo, and one new box per menu call.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QStyle>
#include <QtTest>

#include <optional>

#include "About.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "SimControl.h"
#include "support/ProgramFixture.h"

namespace {

QString textOf(const about& box, const char* name)
{
    return box.findChild<QLineEdit*>(name)->text();
}

}  // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    // The versions alone; the test of the menu entry makes the whole program.
    void init() { m_program.emplace(ProgramFixture::Options().noConfig().noLink()); }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        about box;
        QCOMPARE(box.objectName(), QString("about"));
        QCOMPARE(box.windowTitle(), QString("About"));
        QCOMPARE(box.size(), QSize(420, 490));
        QCOMPARE(box.minimumSize(), QSize(420, 480));
        QCOMPARE(box.maximumSize(), QSize(420, 500));
        QVERIFY(!box.isModal());
        // Standard pixmap 9.
        QCOMPARE(int(QStyle::SP_MessageBoxInformation), 9);
        QCOMPARE(box.windowIcon().pixmap(16).toImage(),
                 box.style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(16).toImage());

        const QLabel* logo = box.findChild<QLabel*>("label");
        QVERIFY(!logo->pixmap().isNull());
        QVERIFY(!logo->hasScaledContents());
        QVERIFY(logo->text().isEmpty());
        QCOMPARE(logo->alignment(), Qt::AlignCenter);
        const QPixmap wordmark(":/qss/images/Tarquel_Instruments_Logo.png");
        QVERIFY(!wordmark.isNull());
        QCOMPARE(logo->pixmap().toImage(), wordmark.toImage());
        // Shown unscaled, so it must fit the box's fixed width.
        QVERIFY(wordmark.width() < box.minimumWidth());

        const QLabel* contact = box.findChild<QLabel*>("label_3");
        QCOMPARE(contact->textFormat(), Qt::RichText);
        QVERIFY(contact->openExternalLinks());
        QVERIFY(contact->textInteractionFlags().testFlag(Qt::LinksAccessibleByKeyboard));
        QVERIFY(contact->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QVERIFY(contact->text().contains(QRegularExpression("<a [^>]*href=")));
        QVERIFY(!contact->text().contains("Tarquel"));
        QCOMPARE(box.findChild<QLabel*>("label_2")->alignment(), Qt::AlignCenter);
        QCOMPARE(contact->alignment(), Qt::AlignCenter);

        QCOMPARE(box.findChild<QLabel*>("label_4")->text(), QString("Current Version of VORN System:"));
        QCOMPARE(box.findChild<QLabel*>("curVerTSLabel")->text(), QString("Current HW timestamp:"));
        QCOMPARE(box.findChild<QLabel*>("curVerSWLabel")->text(), QString("Current SW version:"));
        QCOMPARE(box.findChild<QLabel*>("curPIDverLabel")->text(), QString("Current PID version:"));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void productLineCarriesTheBuildNumber()
    {
        about box;
        const QLabel* product = box.findChild<QLabel*>("label_2");
        QCOMPARE(product->text(), QString("Tarquel Instruments VORN Rivuz User Interface<br>v2.0.1"));
        QCOMPARE(product->textFormat(), Qt::RichText);
    }

    void missingBuildNumberShowsBoxAndEndsAtPoint()
    {
        Q_CLEANUP_RESOURCE(main);
        about box;
        Q_INIT_RESOURCE(main);
        QCOMPARE(box.findChild<QLabel*>("label_2")->text(),
                 QString("Tarquel Instruments VORN Rivuz User Interface<br>v2.0."));
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Information);
        QCOMPARE(Prompts::shown().first().title, QString("error"));
    }

    void versionFieldsFromTheGlobals_data()
    {
        QTest::addColumn<QString>("timestamp");
        QTest::addColumn<QString>("software");
        QTest::addColumn<QString>("pid");
        QTest::newRow("versions read at start") << "1718000000" << "1.0.10" << "2.1.03";
        QTest::newRow("failed start-up read: empty fields") << "" << "" << "";
    }

    void versionFieldsFromTheGlobals()
    {
        QFETCH(QString, timestamp);
        QFETCH(QString, software);
        QFETCH(QString, pid);
        HW_TIMESTAMP = timestamp;
        SW_VERSION = software;
        PID_VERSION = pid;
        about box;
        QCOMPARE(textOf(box, "curVerTSLineEdit"), timestamp);
        QCOMPARE(textOf(box, "curVerSWLineEdit"), software);
        QCOMPARE(textOf(box, "curPIDverLineEdit"), pid);

        // Fixed at construction.
        SW_VERSION = "9.9.99";
        QCOMPARE(textOf(box, "curVerSWLineEdit"), software);
    }

    // A version the start-up read could not get is shown as missing and the box says what that costs.
    void missingVersionsAreShownAsMissing_data()
    {
        QTest::addColumn<bool>("readFails");
        QTest::newRow("read failed at start") << true;
        QTest::newRow("read at start") << false;
    }

    void missingVersionsAreShownAsMissing()
    {
        QFETCH(bool, readFails);
        SimControl::setVersionWords(1718000000u, 0x00010001u, 0x03000102u);
        if (readFails)
            SimControl::failCall("getSystemVersion");
        MailboxComm link;
        QCOMPARE(link.getSystemVersion(&HW_TIMESTAMP, &SW_VERSION, &PID_VERSION) < 0, readFails);
        about box;
        for (const char* name : {"curVerTSLineEdit", "curVerSWLineEdit", "curPIDverLineEdit"}) {
            const QLineEdit* field = box.findChild<QLineEdit*>(name);
            QCOMPARE(field->text().isEmpty(), readFails);
            // Never a number that reads as a version.
            QVERIFY(field->text() != "0" && field->text() != "0.0.00");
            QCOMPARE(field->placeholderText(), QString("no reading"));
        }
        const QLabel* told = box.findChild<QLabel*>("versionNote");
        QCOMPARE(told->isVisibleTo(&box), readFails);
        if (readFails) {
            QVERIFY(told->text().contains("getSystemVersion failed"));
            QVERIFY(told->text().contains("Display Settings and the BPM offsets"));
        }
    }

    void versionWordsOfTheController()
    {
        // As start-up reads them: bytes least significant first, a point after
        // the first two and none between the last two; the timestamp in decimal.
        SimControl::reset();
        SimControl::setVersionWords(1718000000u, 0x00010001u, 0x03000102u);
        MailboxComm link;
        link.getSystemVersion(&HW_TIMESTAMP, &SW_VERSION, &PID_VERSION);
        about box;
        QCOMPARE(textOf(box, "curVerTSLineEdit"), QString("1718000000"));
        QCOMPARE(textOf(box, "curVerSWLineEdit"), QString("1.0.10"));
        QCOMPARE(textOf(box, "curPIDverLineEdit"), QString("2.1.03"));
    }

    void versionFieldsCannotBeFocusedOrEdited()
    {
        SW_VERSION = "1.0.10";
        about box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        for (const char* name : {"curVerTSLineEdit", "curVerSWLineEdit", "curPIDverLineEdit"}) {
            QLineEdit* edit = box.findChild<QLineEdit*>(name);
            QVERIFY2(!edit->isEnabled(), name);
            edit->setFocus();
            QVERIFY2(!edit->hasFocus(), name);
        }
        QLineEdit* sw = box.findChild<QLineEdit*>("curVerSWLineEdit");
        QTest::keyClicks(sw, "x");
        QCOMPARE(sw->text(), QString("1.0.10"));
    }

    void everyMenuCallOpensANewBox()
    {
        m_program.emplace(ProgramFixture::Options().withUpdater());
        {
            MainWindow window;
            QAction* entry = window.findChild<QAction*>("action_About");
            SW_VERSION = "1.0.10";
            entry->trigger();
            SW_VERSION = "1.0.11";
            entry->trigger();
            const QList<about*> boxes = window.findChildren<about*>();
            QCOMPARE(boxes.size(), 2);
            QVERIFY(boxes[0]->isVisible());
            QVERIFY(boxes[1]->isVisible());
            QCOMPARE(boxes[0]->parentWidget(), &window);
            QVERIFY(!boxes[0]->isModal());
            // Each shows the values of its own moment.
            QStringList shown{textOf(*boxes[0], "curVerSWLineEdit"), textOf(*boxes[1], "curVerSWLineEdit")};
            shown.sort();
            QCOMPARE(shown, (QStringList{"1.0.10", "1.0.11"}));

            // A closed box goes away; the other stays open.
            QPointer<about> closed = boxes[0];
            QVERIFY(closed->close());
            QTRY_VERIFY(closed.isNull());
            QCOMPARE(window.findChildren<about*>().size(), 1);
            QVERIFY(boxes[1]->isVisible());
        }
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
