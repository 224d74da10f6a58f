#pragma once
// The editor of one PID loop's parameters, with the rate the loop really runs at.
#include <QWidget>

#include "PidParams.h"

namespace Ui {
class WidgetPIDparams;
}

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

public slots:
    // Shows the real rate for the requested rate val at the present base rate.
    void calcRealFreq(double val);

private:
    Ui::WidgetPIDparams* ui;
};
