#pragma once
// The "PID Params" tab: one editor per loop (X, Y, I0) and "Update", which
// sends all three to the controller and stores them.
#include <QWidget>

namespace Ui {
class WidgetPidCtrl;
}
namespace PidTransfer {
struct Outcome;
}
class WidgetPIDparams;

class WidgetPidCtrl : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPidCtrl(QWidget* parent = nullptr);
    ~WidgetPidCtrl() override;

    // Fills the three editors from the configuration file.
    void loadPIDparams();

public slots:
    // The editors follow USER_LEVEL: usable at admin only. "Update" is not gated.
    void enableAndDisableFields();

private slots:
    void savePIDparams();

private:
    // Names the loops Update left out and why.
    void tellLeftOut(const PidTransfer::Outcome& outcome);

    Ui::WidgetPidCtrl* ui;
};
