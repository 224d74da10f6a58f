#pragma once
// One BPM's ROI, ROC and beam-off fields in the ROC/ROI dialog; the dialog
// reads and fills them.
#include <QWidget>

namespace Ui {
class WidgetRoc;
}

class WidgetRoc : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetRoc(QWidget* parent = nullptr);
    ~WidgetRoc() override;

    Ui::WidgetRoc* form() const { return ui; }

private:
    Ui::WidgetRoc* ui;
};
