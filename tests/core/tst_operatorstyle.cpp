// The program's look as the program sets it up (style and style sheet), on every
// window the menus open: each combo box is as wide as its longest item and its
// list shows whole items; the style's own icons are light on the dark buttons in
// every state; dialog buttons carry no dark marks.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QtTest>

#include <optional>

#include "DialogLogin.h"
#include "Globals.h"
#include "MainWindow.h"
#include "OperatorStyle.h"
#include "support/Contrast.h"
#include "support/GlDriverPin.h"
#include "support/ProgramFixture.h"

namespace {

// The menu entries that open every other window of the program.
const char* const WINDOW_ACTIONS[] = {
    "action_Display_Settings", "actionPico_Amp",         "action_Beamline_Settings", "action_PID_Parameters",
    "action_ROC_ROI",          "actionSFP_info",         "action_Login",             "action_Rocking_Curve",
    "actionRocking_Curve_3D",  "actionStep_Response",    "actionFrequency_Analysis", "actionManual_Output_Control",
    "action_Save_Data",        "action_Log",             "action_About",
};

// Where the combo box writes its current item when it is `width` pixels wide:
// left of its drop-down button.
QRect editField(const QComboBox* combo, int width)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.rect = QRect(0, 0, width, combo->height());
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.currentText = combo->currentText();
    option.subControls = QStyle::SC_All;
    const QStyle* style = combo->style();
    QRect field = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const QRect arrow = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, combo);
    if (arrow.isValid() && field.right() >= arrow.left())
        field.setRight(arrow.left() - 1);
    return field;
}

QString nameOf(const QComboBox* combo)
{
    return combo->objectName().isEmpty() ? QStringLiteral("(unnamed)") : combo->objectName();
}

// Items (and the placeholder) that a box `width` pixels wide cuts: the label is
// written one pixel in from the left of its field, and its last stroke must
// end inside the field.
QStringList cutItems(const QComboBox* combo, int width)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    if (!combo->placeholderText().isEmpty())
        texts << combo->placeholderText();
    const int room = editField(combo, width).width();
    QStringList cut;
    for (const QString& text : texts) {
        const QRect ink = combo->fontMetrics().boundingRect(text);
        const int needed = 1 + ink.x() + ink.width();
        if (needed > room)
            cut << QStringLiteral("%1: \"%2\" needs %3 px of %4").arg(nameOf(combo), text).arg(needed).arg(room);
    }
    return cut;
}

// Items that the open list is narrower than their own size hint asks for.
QStringList cutListItems(QComboBox* combo)
{
    QStringList cut;
    if (combo->count() == 0)
        return cut;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        return {nameOf(combo) + QStringLiteral(": the list did not open")};
    for (int row = 0; row < combo->count(); ++row) {
        const QModelIndex index = view->model()->index(row, combo->modelColumn(), view->rootIndex());
        const int needed = view->sizeHintForIndex(index).width();
        if (needed > view->viewport()->width())
            cut << QStringLiteral("%1 list: \"%2\" needs %3 px of %4")
                       .arg(nameOf(combo), combo->itemText(row))
                       .arg(needed)
                       .arg(view->viewport()->width());
    }
    combo->hidePopup();
    return cut;
}

// The combo boxes of this window, not of the windows it owns.
QList<QComboBox*> combosOf(QWidget* window)
{
    QList<QComboBox*> combos = window->findChildren<QComboBox*>();
    combos.removeIf([window](const QComboBox* combo) { return combo->window() != window; });
    return combos;
}

// Every page of a window in turn: each tab of each tab widget, each dock of a tab group.
QList<std::function<void()>> pagesOf(QWidget* window)
{
    QList<std::function<void()>> pages{[] {}};
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            pages << [tabs, i] { tabs->setCurrentIndex(i); };
    for (QDockWidget* dock : window->findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly))
        pages << [dock] { dock->raise(); };
    return pages;
}

}  // namespace

class TestOperatorStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_program.emplace(ProgramFixture::Options()
                              .withUpdater()
                              .refreshed()
                              .atUserLevel(USER_LEVEL_USER)
                              .withSwVersion(QStringLiteral("1.0.10"))
                              .withPosScale(1000.0));
        // In the program's order: the style, the window and its persistent
        // dialogs, the style sheet, then the windows the menus create.
        QApplication::setStyle(new OperatorStyle);
        m_window.emplace();
        m_window->resize(1600, 1000);
        m_window->show();
        qApp->setStyleSheet(OperatorStyle::styleSheet());
        DIALOG_LOGIN = new DialogLogin(&*m_window);
        DIALOG_LOGIN->initConnections();
        QVERIFY(QTest::qWaitForWindowExposed(&*m_window));
        for (const char* name : WINDOW_ACTIONS) {
            auto* action = m_window->findChild<QAction*>(QLatin1String(name));
            QVERIFY2(action, name);
            action->trigger();
        }
        QApplication::processEvents();
    }

    void cleanupTestCase()
    {
        pinLoadedGlDrivers();
        m_window.reset();
        m_program.reset();
    }

    void everyComboBoxFitsItsItems_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("main window") << "VORN Rivuz User Interface v2.0.1";
        QTest::newRow("log window") << "Log window";
        QTest::newRow("display settings") << "Display Settings";
        QTest::newRow("picoammeters") << "PicoAmperMeter";
        QTest::newRow("beamline configuration") << "Beamline Configuration";
        QTest::newRow("PID picture") << "PID Parameters";
        QTest::newRow("ROC/ROI limits") << "ROC/ROI Settings";
        QTest::newRow("SFP table") << "SFP Info";
        QTest::newRow("login") << "Log in";
        QTest::newRow("rocking curve") << "Rocking Curve";
        QTest::newRow("raster scan") << "3D Rocking Curve";
        QTest::newRow("step response") << "Step Response";
        QTest::newRow("frequency analysis") << "Frequency Analysis Tool";
        QTest::newRow("manual outputs") << "Manual Output Control";
        QTest::newRow("save data") << "Save data";
        QTest::newRow("about") << "About";
    }

    void everyComboBoxFitsItsItems()
    {
        QFETCH(QString, title);
        QWidget* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == title)
                window = w;
        QVERIFY2(window, qPrintable(title + " is not open"));

        QStringList cut;
        QSet<QComboBox*> seen;
        for (const std::function<void()>& showPage : pagesOf(window)) {
            showPage();
            QApplication::processEvents();
            for (QComboBox* combo : combosOf(window)) {
                if (!combo->isVisible() || seen.contains(combo))
                    continue;
                seen.insert(combo);
                cut << cutItems(combo, combo->width()) << cutListItems(combo);
            }
        }
        // Boxes no page shows (a monitor's other orientation) get at least their size hint.
        for (QComboBox* combo : combosOf(window))
            if (!seen.contains(combo))
                cut << cutItems(combo, combo->sizeHint().width());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }

    void drawnIconsAreLightInEveryState_data()
    {
        QTest::addColumn<int>("pixmap");
        QTest::newRow("media play") << int(QStyle::SP_MediaPlay);
        QTest::newRow("media stop") << int(QStyle::SP_MediaStop);
        QTest::newRow("back") << int(QStyle::SP_ArrowBack);
        QTest::newRow("forward") << int(QStyle::SP_ArrowForward);
        QTest::newRow("to parent") << int(QStyle::SP_FileDialogToParent);
        QTest::newRow("new folder") << int(QStyle::SP_FileDialogNewFolder);
        QTest::newRow("list view") << int(QStyle::SP_FileDialogListView);
        QTest::newRow("detailed view") << int(QStyle::SP_FileDialogDetailedView);
        QTest::newRow("dock float") << int(QStyle::SP_TitleBarNormalButton);
        QTest::newRow("dock close") << int(QStyle::SP_TitleBarCloseButton);
    }

    void drawnIconsAreLightInEveryState()
    {
        QFETCH(int, pixmap);
        const QIcon icon = QApplication::style()->standardIcon(QStyle::StandardPixmap(pixmap));
        // Button, hovered and pressed or checked; a disabled button is flat, checked or not.
        const QList<QColor> enabledBehind{QColor("#3c3c3c"), QColor("#4a4a4a"), QColor("#2f5685")};
        const QList<QColor> disabledBehind{QColor("#2b2b2b"), QColor("#243a55")};
        for (int size : {16, 24}) {
            for (QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Disabled}) {
                const QImage image = icon.pixmap(size, size, mode).toImage();
                const QList<QColor>& behind = mode == QIcon::Disabled ? disabledBehind : enabledBehind;
                for (const QColor& background : behind) {
                    const double contrast = weakestOutlineContrast(image, background);
                    QVERIFY2(contrast >= MARK_CONTRAST,
                             qPrintable(QStringLiteral("%1 px, mode %2, on %3: outline %4 : 1")
                                            .arg(size)
                                            .arg(int(mode))
                                            .arg(background.name())
                                            .arg(contrast, 0, 'f', 2)));
                }
            }
        }
    }

    void dialogButtonsCarryNoIcons()
    {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply |
                             QDialogButtonBox::Close | QDialogButtonBox::Save);
        for (QAbstractButton* button : box.buttons())
            QVERIFY2(button->icon().isNull(), qPrintable(button->text()));
    }

private:
    std::optional<ProgramFixture> m_program;
    std::optional<MainWindow> m_window;
};

QTEST_MAIN(TestOperatorStyle)
#include "tst_operatorstyle.moc"
