#pragma once
// The beam position of BPM1 and BPM2 against time, for one axis (0 X, 1 Y).
#include <memory>

#include "BpmTimeGraphPanel.h"

namespace Ui {
class WidgetGraphPos;
}

class WidgetGraphPos : public BpmTimeGraphPanel
{
    Q_OBJECT

public:
    // graphCount above the two BPM colours is limited to two.
    explicit WidgetGraphPos(QWidget* parent = nullptr, int axis = 0, int graphCount = 2);
    ~WidgetGraphPos() override;

    // Both axes build the same panel; only the labels and names differ.
    int axis() const { return m_axis; }

private:
    std::unique_ptr<Ui::WidgetGraphPos> ui;
    int m_axis;
};
