#include "BpmTimeGraphPanel.h"

#include <QCheckBox>

#include "GraphFrame.h"

BpmTimeGraphPanel::BpmTimeGraphPanel(QWidget* parent)
    : TimeGraphPanel(parent)
{
}

void BpmTimeGraphPanel::buildBpmFrame(const FormControls& form, int graphCount)
{
    // The forms say "Channel 1" and "Channel 2"; these boxes stand for the BPMs.
    form.boxes[0]->setText(QStringLiteral("BPM1"));
    form.boxes[1]->setText(QStringLiteral("BPM2"));
    buildFrame(form, graphCount, [this] { chEnablesChanged(); });
}

void BpmTimeGraphPanel::setAxisLabels(const QString& xLabel, const QString& yLabel, const QStringList& names)
{
    TimeGraphPanel::setAxisLabels(xLabel, yLabel);
    GraphFrame::setGraphNames(plot(), names);
}

void BpmTimeGraphPanel::setBpmHidden(bool hideBpm1, bool hideBpm2)
{
    GraphFrame::applyBpmHidden(plot(), 0, hideBpm1, box(0), swatch(0));
    GraphFrame::applyBpmHidden(plot(), 1, hideBpm2, box(1), swatch(1));
}

void BpmTimeGraphPanel::chEnablesChanged()
{
    GraphFrame::applyPresence(plot(), GraphFrame::queryPresence(), box(0), box(1));
}
