#pragma once
// The editor of one PID loop's parameters, with the rate the loop really runs at.
#include <QStringList>
#include <QWidget>

#include "PidParams.h"

namespace Ui {
class WidgetPIDparams;
}
class ConfigSettings;
class UnloadedFields;

class WidgetPIDparams : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPIDparams(QWidget* parent = nullptr);
    ~WidgetPIDparams() override;

    // The rate divider for the current Freq and the present PID base rate.
    int divider() const;

    double Freq() const;
    double Kp() const;
    double Ki() const;
    double Kd() const;
    double emin() const;
    double Imax() const;
    double Omin() const;
    double Omax() const;
    double Ogain() const;
    double Offset() const;
    // All ten, as the editors hold them.
    PidParams params() const;

    // Each editor clamps to its own range.
    void setFreq(double freq);
    void setParams(double kp, double ki, double kd, double emin, double imax, double omin, double omax,
                   double ogain, double offset);
    // After a load: the fields of the configuration keys among `unread` show a
    // dash until the operator types a value; the others count as loaded.
    void markUnread(const QStringList& unread);
    // The labels of those fields, in the editor's order.
    QStringList unloadedNames() const;
    // After a load from `group` ("PID_X"): a stored value that an editor clamps
    // or rounds gets a note with the key and what the file holds. An absent key
    // gets none: its default is what the editor shows.
    void noteStored(const PidParams& stored, const QString& group, const ConfigSettings& config);
    // The notes of the load, one line each; empty when every editor shows the file.
    QStringList storedNotes() const;

public slots:
    // Shows the real rate for the requested rate val at the present base rate.
    void calcRealFreq(double val);

private:
    Ui::WidgetPIDparams* ui;
    UnloadedFields* m_unloaded;
};
