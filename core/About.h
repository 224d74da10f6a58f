#pragma once
// The program's name and version, the maker's logo and contact line, and the
// version strings the controller reported at start.
#include <QDialog>

namespace Ui {
class about;
}

class about : public QDialog
{
    Q_OBJECT

public:
    explicit about(QWidget* parent = nullptr);
    ~about() override;

private:
    Ui::about* ui = nullptr;
};
