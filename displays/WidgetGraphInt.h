#pragma once
// The beam intensity of BPM1 and BPM2 against time.
#include <memory>

#include "BpmTimeGraphPanel.h"

namespace Ui {
class WidgetGraphInt;
}

class WidgetGraphInt : public BpmTimeGraphPanel
{
    Q_OBJECT

public:
    // graphCount above the two BPM colours is limited to two.
    explicit WidgetGraphInt(QWidget* parent = nullptr, int graphCount = 2);
    ~WidgetGraphInt() override;

private:
    std::unique_ptr<Ui::WidgetGraphInt> ui;
};
