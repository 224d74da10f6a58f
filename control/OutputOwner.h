#pragma once
// The output unit has one driver at a time. A tool that writes the outputs (the
// frequency sweep, the step test, the two scans, manual control) takes them here
// before its first write and gives them back at its end, however it ends; a second
// tool is refused with the name of the one that holds them. File › Exit, closing
// the main window and SIGTERM ask the holder to stop through the same object.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class OutputOwner;
class QWidget;

// Held while a tool drives the outputs; gives them back when released or destroyed.
class OutputLease
{
public:
    ~OutputLease();
    OutputLease(const OutputLease&) = delete;
    OutputLease& operator=(const OutputLease&) = delete;

    const QString& tool() const { return m_tool; }
    // True once the program asked the holder to end its run.
    bool stopRequested() const { return m_stopRequested; }

private:
    friend class OutputOwner;
    OutputLease(OutputOwner& owner, const QString& tool, std::function<void()> stop);

    OutputOwner* m_owner;
    QString m_tool;
    std::function<void()> m_stop;
    bool m_stopRequested = false;
};

class OutputOwner : public QObject
{
    Q_OBJECT

public:
    explicit OutputOwner(QObject* parent = nullptr);
    ~OutputOwner() override;

    // The outputs for `tool` (the name the operator knows it by), or null when
    // another tool holds them. `stop`, when given, is how the program asks the
    // tool to end its run early; it must only ask, not wait.
    std::unique_ptr<OutputLease> take(const QString& tool, std::function<void()> stop = {});
    // The same, and a refusal is shown to the operator through the prompt helper.
    std::unique_ptr<OutputLease> takeOrExplain(QWidget* parent, const QString& tool,
                                               std::function<void()> stop = {});

    bool isHeld() const { return m_lease != nullptr; }
    // The holding tool's name; empty when the outputs are free.
    QString holder() const;
    // Asks the holder to stop; false when nothing holds the outputs.
    bool requestStop();

    // Why a second tool may not start while `holder` runs.
    static QString busyText(const QString& holder);

signals:
    // The outputs were taken (true) or given back (false).
    void heldChanged(bool held);

private:
    friend class OutputLease;
    void release(OutputLease* lease);

    OutputLease* m_lease = nullptr;
};
