#include "WidgetPIDparams.h"

#include "Globals.h"
#include "ui_widgetpidparams.h"

WidgetPIDparams::WidgetPIDparams(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetPIDparams)
{
    ui->setupUi(this);
    calcRealFreq(ui->curFreqBox->value());
    connect(ui->curFreqBox, &QDoubleSpinBox::valueChanged, this, &WidgetPIDparams::calcRealFreq);
}

WidgetPIDparams::~WidgetPIDparams()
{
    delete ui;
}

void WidgetPIDparams::calcRealFreq(double val)
{
    const int base = PID_BASE_FREQ;
    ui->realFreqLine->setText(PidRate::realFreqText(PidRate::realFreq(base, PidRate::divider(base, val))));
}

int WidgetPIDparams::divider() const
{
    return PidRate::divider(PID_BASE_FREQ, Freq());
}

double WidgetPIDparams::Freq() const { return ui->curFreqBox->value(); }
double WidgetPIDparams::Kp() const { return ui->boxKp->value(); }
double WidgetPIDparams::Ki() const { return ui->boxKi->value(); }
double WidgetPIDparams::Kd() const { return ui->boxKd->value(); }
double WidgetPIDparams::emin() const { return ui->boxemin->value(); }
double WidgetPIDparams::Imax() const { return ui->boxImax->value(); }
double WidgetPIDparams::Omin() const { return ui->boxOmin->value(); }
double WidgetPIDparams::Omax() const { return ui->boxOmax->value(); }
double WidgetPIDparams::Ogain() const { return ui->boxOgain->value(); }
double WidgetPIDparams::Offset() const { return ui->offsetDoubleSpinBox->value(); }

PidParams WidgetPIDparams::params() const
{
    return {Freq(), Kp(), Ki(), Kd(), emin(), Imax(), Omin(), Omax(), Ogain(), Offset()};
}

void WidgetPIDparams::setFreq(double freq)
{
    ui->curFreqBox->setValue(freq);
}

void WidgetPIDparams::setParams(double kp, double ki, double kd, double emin, double imax, double omin,
                                double omax, double ogain, double offset)
{
    ui->boxKp->setValue(kp);
    ui->boxKi->setValue(ki);
    ui->boxKd->setValue(kd);
    ui->boxemin->setValue(emin);
    ui->boxImax->setValue(imax);
    ui->boxOmin->setValue(omin);
    ui->boxOmax->setValue(omax);
    ui->boxOgain->setValue(ogain);
    ui->offsetDoubleSpinBox->setValue(offset);
}
