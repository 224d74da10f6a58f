#pragma once
// Four traces against time: the channel currents of one picoammeter, or the
// four output voltages.
#include <memory>

#include "TimeGraphPanel.h"

namespace Ui {
class WidgetGraphCurrents;
}

class WidgetGraphCurrents : public TimeGraphPanel
{
    Q_OBJECT

public:
    // graphCount above the four channel colours is limited to four.
    explicit WidgetGraphCurrents(QWidget* parent = nullptr, int graphCount = 4);
    ~WidgetGraphCurrents() override;

    using TimeGraphPanel::setAxisLabels;

private slots:
    // No presence test: graph i follows box i alone, on a two- or four-graph panel.
    void chEnablesChanged();

private:
    std::unique_ptr<Ui::WidgetGraphCurrents> ui;
};
