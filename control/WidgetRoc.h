#pragma once
// One BPM's ROI, ROC and beam-off fields in the ROC/ROI dialog; the dialog
// reads and fills them. A value the configuration file did not give usably
// shows as unloaded until the operator types one.
#include <QWidget>

namespace Ui {
class WidgetRoc;
}
class UnloadedFields;

class WidgetRoc : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetRoc(QWidget* parent = nullptr);
    ~WidgetRoc() override;

    Ui::WidgetRoc* form() const { return ui; }
    UnloadedFields* unloaded() const { return m_unloaded; }

private:
    Ui::WidgetRoc* ui;
    UnloadedFields* m_unloaded;
};
