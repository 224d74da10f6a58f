// The program's look as the program sets it up (style and style sheet), on every
// window the menus open: each combo box is as wide as its longest item and its
// list shows whole items; the style's own icons are light on the dark buttons in
// every state; dialog buttons carry no dark marks.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOption>
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

// The widgets of this window, not of the windows it owns.
template <typename T> QList<T*> widgetsOf(QWidget* window)
{
    QList<T*> widgets = window->findChildren<T*>();
    widgets.removeIf([window](const T* widget) { return widget->window() != window; });
    return widgets;
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

// Brings every page of the window to the front in turn and hands each widget of
// type T over once, when it is first shown; returns those that no page showed.
template <typename T> QList<T*> visitShown(QWidget* window, const std::function<void(T*)>& visit)
{
    QSet<T*> seen;
    for (const std::function<void()>& showPage : pagesOf(window)) {
        showPage();
        QApplication::processEvents();
        for (T* widget : widgetsOf<T>(window)) {
            if (!widget->isVisible() || seen.contains(widget))
                continue;
            seen.insert(widget);
            visit(widget);
        }
    }
    QList<T*> unseen = widgetsOf<T>(window);
    unseen.removeIf([&seen](T* widget) { return seen.contains(widget); });
    return unseen;
}

// Where a widget writes its text, clear of its frame, indicator and buttons;
// empty when it shows no text of its own.
QRect textArea(QWidget* widget)
{
    const QStyle* style = widget->style();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().trimmed().isEmpty() ? QRect() : label->contentsRect();
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return box->text().isEmpty() ? QRect() : style->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    }
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        return radio->text().isEmpty() ? QRect()
                                       : style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text().isEmpty() ? QRect() : button->rect().adjusted(3, 3, -3, -3);
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) {
        QStyleOptionSpinBox option;
        option.initFrom(spin);
        option.frame = spin->hasFrame();
        option.buttonSymbols = spin->buttonSymbols();
        option.subControls = QStyle::SC_All;
        return spin->text().isEmpty()
                   ? QRect()
                   : style->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, spin);
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText().isEmpty() ? QRect() : editField(combo, combo->width()).adjusted(0, 2, 0, -2);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        // Those of spin boxes and combo boxes are looked at with their box.
        const QWidget* owner = edit->parentWidget();
        if (edit->text().isEmpty() || qobject_cast<const QAbstractSpinBox*>(owner) || qobject_cast<const QComboBox*>(owner))
            return QRect();
        return edit->rect().adjusted(3, 3, -3, -3);
    }
    return QRect();
}

QString describe(const QWidget* widget)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(widget->metaObject()->className()), widget->objectName());
}

// Text that does not stand out from its own background by 4.5 : 1, as the widget draws it.
QStringList faintText(QWidget* widget)
{
    const QRect area = textArea(widget).intersected(widget->rect());
    if (area.width() < 2 || area.height() < 2)
        return {};
    const QImage image = widget->grab().toImage();
    const QColor background = dominantColour(image, area);
    const double contrast = strongestContrast(image, area, background);
    if (contrast >= TEXT_CONTRAST)
        return {};
    return {QStringLiteral("%1%2: %3 : 1 on %4")
                .arg(describe(widget), widget->isEnabled() ? QString() : QStringLiteral(" (disabled)"))
                .arg(contrast, 0, 'f', 2)
                .arg(background.name())};
}

QWidget* openWindow(const QString& title)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title)
            return w;
    return nullptr;
}

// The program's style, noting every icon it hands out.
class RecordingStyle : public OperatorStyle
{
public:
    QIcon standardIcon(StandardPixmap pixmap, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override
    {
        const QIcon icon = OperatorStyle::standardIcon(pixmap, option, widget);
        handedOut[pixmap].insert(icon.cacheKey());
        ++requests[pixmap];
        return icon;
    }

    mutable QHash<int, QSet<qint64>> handedOut;
    mutable QHash<int, int> requests;
};

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
        QWidget* window = openWindow(title);
        QVERIFY2(window, qPrintable(title + " is not open"));

        QStringList cut;
        const QList<QComboBox*> unseen = visitShown<QComboBox>(window, [&cut](QComboBox* combo) {
            cut << cutItems(combo, combo->width()) << cutListItems(combo);
        });
        // Boxes no page shows (a monitor's other orientation) get at least their size hint.
        for (QComboBox* combo : unseen)
            cut << cutItems(combo, combo->sizeHint().width());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }

    void everyTextStandsOut_data() { everyComboBoxFitsItsItems_data(); }

    void everyTextStandsOut()
    {
        QFETCH(QString, title);
        QWidget* window = openWindow(title);
        QVERIFY2(window, qPrintable(title + " is not open"));

        QStringList faint;
        int looked = 0;
        visitShown<QWidget>(window, [&](QWidget* widget) {
            if (textArea(widget).isEmpty())
                return;
            ++looked;
            faint << faintText(widget);
        });
        QVERIFY2(looked > 0, "no text found");
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QStringLiteral("; "))));
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
        const QList<QColor> disabledBehind{QColor("#2b2b2b"), QColor("#22364f")};
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

    void drawnIconsAreBuiltOnce_data() { drawnIconsAreLightInEveryState_data(); }

    // A new icon at every request would be drawn anew at every paint.
    void drawnIconsAreBuiltOnce()
    {
        QFETCH(int, pixmap);
        const auto standard = QStyle::StandardPixmap(pixmap);
        OperatorStyle style;
        QWidget widget;
        QStyleOption option;
        option.initFrom(&widget);
        const QIcon first = style.standardIcon(standard);
        QVERIFY(!first.isNull());
        QCOMPARE(style.standardIcon(standard, &option, &widget).cacheKey(), first.cacheKey());
        // Through the style sheet, as the program's widgets ask.
        QCOMPARE(QApplication::style()->standardIcon(standard).cacheKey(),
                 QApplication::style()->standardIcon(standard).cacheKey());
    }

    void dockTitlesReuseTheirIcons()
    {
        RecordingStyle style;
        QMainWindow window;
        auto* dock = new QDockWidget(QStringLiteral("Graph XY"), &window);
        dock->setWidget(new QLabel(QStringLiteral("content")));
        window.addDockWidget(Qt::LeftDockWidgetArea, dock);
        dock->setStyle(&style);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        for (int paint = 0; paint < 50; ++paint)
            dock->repaint();

        // The title bar asked for its marks at every paint, and got the same ones.
        QVERIFY(style.requests.value(QStyle::SP_TitleBarCloseButton) >= 50);
        for (auto it = style.handedOut.constBegin(); it != style.handedOut.constEnd(); ++it)
            QVERIFY2(it.value().size() == 1, qPrintable(QStringLiteral("pixmap %1: %2 different icons over %3 requests")
                                                           .arg(it.key())
                                                           .arg(it.value().size())
                                                           .arg(style.requests.value(it.key()))));
        dock->setStyle(nullptr);
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
