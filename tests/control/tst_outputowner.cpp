// The one owner of the outputs: a second tool is refused with the holder's name,
// the outputs come back however the holder ends, and a stop request reaches it.
#include <QSignalSpy>
#include <QtTest>

#include "OutputOwner.h"
#include "Prompts.h"

class TestOutputOwner : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Prompts::setTestMode(true);
        Prompts::clear();
    }

    void aSecondToolIsRefusedWithTheHoldersName()
    {
        OutputOwner owner;
        auto first = owner.take(QStringLiteral("Rocking Curve"));
        QVERIFY(first);
        QVERIFY(owner.isHeld());
        QCOMPARE(owner.holder(), QStringLiteral("Rocking Curve"));

        QVERIFY(!owner.take(QStringLiteral("Step Response")));
        QCOMPARE(owner.holder(), QStringLiteral("Rocking Curve"));

        QVERIFY(!owner.takeOrExplain(nullptr, QStringLiteral("Step Response")));
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QStringLiteral("Step Response"));
        QVERIFY(shown[0].text.contains(QStringLiteral("Rocking Curve")));
    }

    void theOutputsComeBackWhenTheLeaseGoes()
    {
        OutputOwner owner;
        QSignalSpy held(&owner, &OutputOwner::heldChanged);
        {
            auto lease = owner.take(QStringLiteral("Frequency Analysis"));
            QVERIFY(lease);
        }
        QVERIFY(!owner.isHeld());
        QVERIFY(owner.holder().isEmpty());
        QCOMPARE(held.size(), 2);
        QCOMPARE(held[0][0].toBool(), true);
        QCOMPARE(held[1][0].toBool(), false);
        // Free again: the next tool takes them.
        QVERIFY(owner.take(QStringLiteral("Step Response")));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void aRefusalLeavesTheHolderAlone()
    {
        OutputOwner owner;
        auto first = owner.take(QStringLiteral("3D Rocking Curve"));
        {
            auto refused = owner.take(QStringLiteral("Rocking Curve"));
            QVERIFY(!refused);
        }
        QCOMPARE(owner.holder(), QStringLiteral("3D Rocking Curve"));
        first.reset();
        QVERIFY(!owner.isHeld());
    }

    void aStopRequestReachesTheHolder()
    {
        OutputOwner owner;
        QVERIFY(!owner.requestStop());

        int stops = 0;
        auto lease = owner.take(QStringLiteral("Rocking Curve"), [&] { ++stops; });
        QVERIFY(!lease->stopRequested());
        QVERIFY(owner.requestStop());
        QCOMPARE(stops, 1);
        QVERIFY(lease->stopRequested());
    }

    void aHolderMayGiveBackFromInsideItsStop()
    {
        OutputOwner owner;
        std::unique_ptr<OutputLease> lease;
        lease = owner.take(QStringLiteral("Step Response"), [&] { lease.reset(); });
        QVERIFY(owner.requestStop());
        QVERIFY(!lease);
        QVERIFY(!owner.isHeld());
    }

    void aLeaseMayOutliveItsOwner()
    {
        std::unique_ptr<OutputLease> lease;
        {
            OutputOwner owner;
            lease = owner.take(QStringLiteral("Manual Output Control"));
        }
        lease.reset();  // must not touch the owner that is gone
    }
};

QTEST_GUILESS_MAIN(TestOutputOwner)
#include "tst_outputowner.moc"
