#include "WidgetPIDparams.h"

#include <iterator>

#include "ConfigSettings.h"
#include "Globals.h"
#include "UnloadedFields.h"
#include "ui_widgetpidparams.h"

namespace {
// The configuration keys of the ten fields, in the editor's order.
const char* const KEYS[] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};
}  // namespace

WidgetPIDparams::WidgetPIDparams(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetPIDparams)
{
    ui->setupUi(this);
    calcRealFreq(ui->curFreqBox->value());
    connect(ui->curFreqBox, &QDoubleSpinBox::valueChanged, this, &WidgetPIDparams::calcRealFreq);

    m_unloaded = new UnloadedFields(this);
    QDoubleSpinBox* const boxes[] = {ui->curFreqBox, ui->boxKp,   ui->boxKi,    ui->boxKd,
                                           ui->boxemin,    ui->boxImax, ui->boxOmin,  ui->boxOmax,
                                           ui->boxOgain,   ui->offsetDoubleSpinBox};
    const QLabel* const labels[] = {ui->labelFreq, ui->labelKp,   ui->labelKi,   ui->labelKd,    ui->labelemin,
                                    ui->labelImax, ui->labelOmin, ui->labelOmax, ui->labelOgain, ui->labelOffset};
    for (size_t i = 0; i < std::size(KEYS); ++i) {
        const QString name = labels[i]->text().remove(QLatin1Char(':')).trimmed();
        m_unloaded->watch(boxes[i], name, QString::fromLatin1(KEYS[i]));
    }
    m_unloaded->setNote(ui->loadNote);
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

void WidgetPIDparams::markUnread(const QStringList& unread)
{
    QStringList keys;
    for (const char* key : KEYS)
        keys << QString::fromLatin1(key);
    m_unloaded->markKeys(keys, unread);
}

QStringList WidgetPIDparams::unloadedNames() const
{
    return m_unloaded->unloadedNames();
}

void WidgetPIDparams::noteStored(const PidParams& stored, const QString& group, const ConfigSettings& config)
{
    QDoubleSpinBox* const boxes[] = {ui->curFreqBox, ui->boxKp,   ui->boxKi,   ui->boxKd,    ui->boxemin,
                                     ui->boxImax,    ui->boxOmin, ui->boxOmax, ui->boxOgain, ui->offsetDoubleSpinBox};
    const double values[] = {stored.Freq, stored.Kp,   stored.Ki,   stored.Kd,    stored.emin,
                             stored.Imax, stored.Omin, stored.Omax, stored.Ogain, stored.Offset};
    for (size_t i = 0; i < std::size(KEYS); ++i) {
        const QString key = group + QLatin1Char('/') + QLatin1String(KEYS[i]);
        if (config.holds(key))
            m_unloaded->noteStored(boxes[i], key, values[i]);
        else
            m_unloaded->setStoredNote(boxes[i], QString());
    }
}

QStringList WidgetPIDparams::storedNotes() const
{
    return m_unloaded->storedNotes();
}
