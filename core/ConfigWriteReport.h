#pragma once
// The configuration writes of one Save, Apply or Update. A write the file system
// refused is told to the operator once, when the action ends: what the controller
// took then holds only until the program restarts.
#include <QString>
#include <QStringList>

class ConfigSettings;
class QWidget;

class ConfigWriteReport
{
public:
    explicit ConfigWriteReport(const ConfigSettings& config);

    // Notes one setter's result and hands it back.
    bool note(bool written);
    bool failed() const { return m_failed; }

    // Shows the warning when a write failed; false then.
    bool tell(QWidget* parent) const;
    // First what the controller refused (what stays out of the file), then a
    // failed write; true when neither happened.
    bool tell(QWidget* parent, const QStringList& refused) const;

    static QString title();
    static QString text(const QString& path);

private:
    QString m_path;
    bool m_failed = false;
};
