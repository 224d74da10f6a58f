#include "WidgetGraphPos.h"

#include "ui_widgetgraphpos.h"

WidgetGraphPos::WidgetGraphPos(QWidget* parent, int axis, int graphCount)
    : BpmTimeGraphPanel(parent)
    , ui(std::make_unique<Ui::WidgetGraphPos>())
    , m_axis(axis)
{
    ui->setupUi(this);
    buildBpmFrame(*ui, graphCount);
}

WidgetGraphPos::~WidgetGraphPos() = default;
