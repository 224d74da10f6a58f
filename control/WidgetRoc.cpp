#include "WidgetRoc.h"

#include "UnloadedFields.h"
#include "ui_widgetroc.h"

WidgetRoc::WidgetRoc(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetRoc)
{
    ui->setupUi(this);
    m_unloaded = new UnloadedFields(this);
    m_unloaded->watch(ui->roiXDoubleSpinBox, tr("roiX"), QStringLiteral("RoiX"));
    m_unloaded->watch(ui->roiYDoubleSpinBox, tr("roiY"), QStringLiteral("RoiY"));
    m_unloaded->watch(ui->rocFactorBox, tr("ROC"), QStringLiteral("RocX"));
    m_unloaded->watch(ui->roiI0minBox, tr("ROI I0 min"), QStringLiteral("RoiI0min"));
    m_unloaded->watch(ui->roiI0maxBox, tr("ROI I0 max"), QStringLiteral("RoiI0max"));
    m_unloaded->watch(ui->beamOffTh, tr("Beam Off Threshold"), QStringLiteral("BeamOffTh"));
    m_unloaded->setNote(ui->loadNote);
}

WidgetRoc::~WidgetRoc()
{
    delete ui;
}
