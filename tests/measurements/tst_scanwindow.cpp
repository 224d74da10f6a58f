// The scan windows that the main window makes anew at each menu call: deleted once
// closed, never while their own scan is still on the stack, and fifty of them
// opened and closed leave the memory where it was.
#include <QAction>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QtTest>

#include <unistd.h>

#include <optional>

#include "MainWindow.h"
#include "SimControl.h"
#include "WindowRocking3D.h"
#include "WindowRockingCurve.h"
#include "support/GlDriverPin.h"
#include "support/Later.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed memory back in its quarantine, which would read
// here as memory the windows kept.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=16";
}
extern "C" void __sanitizer_purge_allocator();
#else
#include <malloc.h>
#endif

namespace {

// Resident memory of this process, bytes, once the allocator has given the free
// pages it keeps for reuse back to the system: what the program still holds.
double residentBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_purge_allocator();
#else
    malloc_trim(0);
#endif
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0.0;
}

}  // namespace

class TestScanWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().atUserLevel(USER_LEVEL_USER).withUpdater()); }
    void cleanup() { m_program.reset(); }
    void cleanupTestCase() { pinLoadedGlDrivers(); }

    // Closed during its scan, a window made to go when closed stays until the scan
    // has returned; closed while idle, it goes at once.
    void closedWindowIsDeletedAfterItsScan()
    {
        m_program->setPidOffset(1, 5.0);
        SteppedMeasurementClock clock;
        auto* window = new WindowRockingCurve(m_program->outputs, clock);
        window->setDeleteWhenClosed(true);
        QPointer<WindowRockingCurve> alive(window);
        window->show();
        // Tpoint 100 ms: its waits take the window's events between their slices.
        window->findChild<QDoubleSpinBox*>("boxTimePoint")->setValue(100.0);
        clock.beforeEach = [&](int call) {
            if (call == 4)
                later(window, [window] { window->close(); });
        };
        window->findChild<QPushButton*>("buttonStart")->click();
        QVERIFY(alive);
        QVERIFY(!window->isVisible());
        QVERIFY(!window->scanning());
        QCOMPARE(SimControl::sent().dacWrites, 1);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QVERIFY(!m_program->outputs.isHeld());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);

        window = new WindowRockingCurve(m_program->outputs, clock);
        window->setDeleteWhenClosed(true);
        alive = window;
        window->show();
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);
    }

    void openingsDoNotKeepMemory_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("Rocking Curve 3D") << "actionRocking_Curve_3D";
        QTest::newRow("Rocking Curve") << "action_Rocking_Curve";
    }

    void openingsDoNotKeepMemory()
    {
        QFETCH(QString, entry);
        MainWindow window;
        QAction* action = window.findChild<QAction*>(entry);
        QVERIFY(action && action->isEnabled());
        auto openAndClose = [&] {
            action->trigger();
            auto* opened = window.findChild<ScanWindow*>();
            QVERIFY(opened);
            QVERIFY(QTest::qWaitForWindowExposed(opened));
            opened->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!window.findChild<ScanWindow*>());
        };
        const double before = residentBytes();
        // The first opening also loads what every later one shares (the OpenGL driver).
        openAndClose();
        const double afterFirst = residentBytes();
        for (int k = 1; k < 50; ++k)
            openAndClose();
        const double after = residentBytes();
        qInfo("resident memory %.1f MB before, %.1f MB after the first opening, %.1f MB after fifty "
              "(%.2f MB kept per later opening)",
              before / 1e6, afterFirst / 1e6, after / 1e6, (after - afterFirst) / 49 / 1e6);
        QVERIFY2(after - afterFirst <= 20e6, qPrintable(QString::number((after - afterFirst) / 1e6)));
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestScanWindow)
#include "tst_scanwindow.moc"
