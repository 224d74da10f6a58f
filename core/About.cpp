#include "About.h"

#include <QLineEdit>
#include <QStyle>

#include "Globals.h"
#include "MainWindowRules.h"
#include "ui_about.h"

// Like the main bundle, the logo sits in a static library and needs a reference to stay linked.
static int anchorAboutResources()
{
    Q_INIT_RESOURCE(about);
    return 1;
}
[[maybe_unused]] static const int aboutResourcesAnchored = anchorAboutResources();

namespace {

// A placeholder for the site to fill in: who runs this installation and where to reach them.
// The links are lightened: the default link blue is hard to read on the dark style.
const char* const CONTACT_LINE =
    "Beamline controls group<br>"
    "<a style=\"color:#8cb8e8\" href=\"mailto:controls@example.org\">controls@example.org</a> &middot; "
    "<a style=\"color:#8cb8e8\" href=\"https://example.org/vorn-rivuz\">example.org/vorn-rivuz</a>";

}  // namespace

about::about(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::about)
{
    ui->setupUi(this);
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));

    const QString buildNumber = MainWindowRules::readBuildNumber();
    ui->label_2->setText(QString("Tarquel Instruments VORN Rivuz User Interface<br>v")
                         + MainWindowRules::VERSION + "." + buildNumber);
    ui->label_2->setTextFormat(Qt::RichText);

    ui->label_3->setText(CONTACT_LINE);
    ui->label_3->setTextFormat(Qt::RichText);
    ui->label_3->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                                         | Qt::LinksAccessibleByKeyboard);
    ui->label_3->setOpenExternalLinks(true);

    ui->curVerTSLineEdit->setText(HW_TIMESTAMP);
    ui->curVerSWLineEdit->setText(SW_VERSION);
    ui->curPIDverLineEdit->setText(PID_VERSION);
    // An empty version is one the start-up read could not get: shown as missing, not as a value.
    bool missing = false;
    for (QLineEdit* field : {ui->curVerTSLineEdit, ui->curVerSWLineEdit, ui->curPIDverLineEdit}) {
        field->setPlaceholderText(tr("no reading"));
        missing = missing || field->text().isEmpty();
    }
    ui->versionNote->setText(missing ? tr("The controller's versions could not be read at start "
                                          "(getSystemVersion failed): Display Settings and the BPM offsets, "
                                          "which depend on the software version, are not offered.")
                                     : QString());
    ui->versionNote->setVisible(missing);
}

about::~about()
{
    delete ui;
}
