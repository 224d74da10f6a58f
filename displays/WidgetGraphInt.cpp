#include "WidgetGraphInt.h"

#include "ui_widgetgraphint.h"

WidgetGraphInt::WidgetGraphInt(QWidget* parent, int graphCount)
    : BpmTimeGraphPanel(parent)
    , ui(std::make_unique<Ui::WidgetGraphInt>())
{
    ui->setupUi(this);
    buildBpmFrame(*ui, graphCount);
}

WidgetGraphInt::~WidgetGraphInt() = default;
