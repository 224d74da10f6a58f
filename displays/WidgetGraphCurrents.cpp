#include "WidgetGraphCurrents.h"

#include <QCheckBox>

#include "ui_widgetgraphcurrents.h"

WidgetGraphCurrents::WidgetGraphCurrents(QWidget* parent, int graphCount)
    : TimeGraphPanel(parent)
    , ui(std::make_unique<Ui::WidgetGraphCurrents>())
{
    ui->setupUi(this);
    buildFrame({ui->graph,
                ui->buttonAutoscale,
                {ui->CheckCh1, ui->CheckCh2, ui->CheckCh3, ui->CheckCh4},
                {ui->label_1_color, ui->label_2_color, ui->label_3_color, ui->label_4_color}},
               graphCount, [this] { chEnablesChanged(); });
}

WidgetGraphCurrents::~WidgetGraphCurrents() = default;

void WidgetGraphCurrents::chEnablesChanged()
{
    const int count = plot()->graphCount();
    if (count != 2 && count != 4)
        return;
    for (int i = 0; i < count; ++i)
        plot()->graph(i)->setVisible(box(i)->isChecked());
}
