#include "ScanWindow.h"

#include "ScanSession.h"

ScanWindow::ScanWindow(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent)
    : QDialog(parent)
    , m_outputs(outputs)
    , m_clock(clock)
{
}

void ScanWindow::done(int result)
{
    stopRun();
    QDialog::done(result);
    if (!m_deleteWhenClosed)
        return;
    m_closed = true;
    if (!scanning())
        deleteLater();
}

void ScanWindow::runScan(const QString& tool, const std::function<void(ScanSession&)>& body)
{
    if (scanning())
        return;
    {
        ScanSession session(this, tool, m_outputs, m_clock);
        if (!session.begin())
            return;
        m_session = &session;
        body(session);
        session.end();
        m_session = nullptr;
    }
    if (m_closed)
        deleteLater();
}

void ScanWindow::stopRun()
{
    if (m_session)
        m_session->requestStop();
}
