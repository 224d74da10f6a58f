#pragma once
// A picture of one PID loop's structure, for reading the parameters' meaning.
#include <QDialog>

namespace Ui {
class WindowPIDparams;
}

class WindowPIDparams : public QDialog
{
    Q_OBJECT

public:
    explicit WindowPIDparams(QWidget* parent = nullptr);
    ~WindowPIDparams() override;

    // Shows the dialog without modality.
    void showWindow();

private:
    Ui::WindowPIDparams* ui;
};
