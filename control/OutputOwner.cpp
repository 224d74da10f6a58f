#include "OutputOwner.h"

#include "Prompts.h"
#include "QsLog.h"

OutputLease::OutputLease(OutputOwner& owner, const QString& tool, std::function<void()> stop)
    : m_owner(&owner)
    , m_tool(tool)
    , m_stop(std::move(stop))
{
}

OutputLease::~OutputLease()
{
    if (m_owner)
        m_owner->release(this);
}

OutputOwner::OutputOwner(QObject* parent)
    : QObject(parent)
{
}

OutputOwner::~OutputOwner()
{
    // A lease that outlives its owner must not reach back into it.
    if (m_lease)
        m_lease->m_owner = nullptr;
}

std::unique_ptr<OutputLease> OutputOwner::take(const QString& tool, std::function<void()> stop)
{
    if (m_lease)
        return nullptr;
    std::unique_ptr<OutputLease> lease(new OutputLease(*this, tool, std::move(stop)));
    m_lease = lease.get();
    emit heldChanged(true);
    return lease;
}

std::unique_ptr<OutputLease> OutputOwner::takeOrExplain(QWidget* parent, const QString& tool,
                                                        std::function<void()> stop)
{
    std::unique_ptr<OutputLease> lease = take(tool, std::move(stop));
    if (!lease) {
        QLOG_WARN() << QStringLiteral("%1 refused: the outputs are held by %2").arg(tool, holder());
        Prompts::warning(parent, tool, busyText(holder()));
    }
    return lease;
}

QString OutputOwner::holder() const
{
    return m_lease ? m_lease->m_tool : QString();
}

bool OutputOwner::requestStop()
{
    if (!m_lease)
        return false;
    m_lease->m_stopRequested = true;
    // Copied: the tool may give the outputs back from inside its stop.
    const std::function<void()> stop = m_lease->m_stop;
    if (stop)
        stop();
    return true;
}

QString OutputOwner::busyText(const QString& holder)
{
    return tr("The outputs are in use by %1.\n\nStop it (or switch manual control off) first.").arg(holder);
}

void OutputOwner::release(OutputLease* lease)
{
    if (m_lease != lease)
        return;
    m_lease = nullptr;
    lease->m_owner = nullptr;
    emit heldChanged(false);
}
