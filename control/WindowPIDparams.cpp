#include "WindowPIDparams.h"

#include "ui_windowpidparams.h"

// The picture sits in a static library; referencing its bundle here keeps the
// linker from dropping it.
static int anchorImageResources()
{
    Q_INIT_RESOURCE(images);
    return 1;
}
[[maybe_unused]] static const int imageResourcesAnchored = anchorImageResources();

WindowPIDparams::WindowPIDparams(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowPIDparams)
{
    ui->setupUi(this);
}

WindowPIDparams::~WindowPIDparams()
{
    delete ui;
}

void WindowPIDparams::showWindow()
{
    show();
    raise();
    activateWindow();
}
