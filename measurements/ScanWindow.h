#pragma once
// The window of a scan that drives the outputs (rocking curve, raster scan).
// Closing it in any way (close box, its buttons, Escape) stops its run after the
// point in progress. A window made to be deleted once closed is deleted only
// after its run has returned: the run's loop is still on the stack while it closes.
#include <QDialog>

#include <functional>

class MeasurementClock;
class OutputOwner;
class ScanSession;

class ScanWindow : public QDialog
{
    Q_OBJECT

public:
    bool scanning() const { return m_session != nullptr; }

    // For the windows made anew at each menu call.
    void setDeleteWhenClosed(bool on) { m_deleteWhenClosed = on; }

public slots:
    // OK, Cancel, Close, Escape and the close box all end here.
    void done(int result) override;

protected:
    // A run takes the outputs from `outputs`; every wait goes through `clock`.
    ScanWindow(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent);

    // One run named `tool`: `body` runs only when the outputs and devices could be
    // had, and everything is handed back after it, however it returned.
    void runScan(const QString& tool, const std::function<void(ScanSession&)>& body);
    // Asks the run in progress, if any, to end after its point in progress.
    void stopRun();

    OutputOwner& m_outputs;
    MeasurementClock& m_clock;

private:
    ScanSession* m_session = nullptr;
    bool m_deleteWhenClosed = false;
    bool m_closed = false;
};
