#include "OperatorStyle.h"

#include <QApplication>
#include <QFile>

namespace {

// Each icon has a dimmed twin, so a disabled button shows a disabled mark
// instead of one the base style would grey towards its light palette.
QIcon drawnIcon(const char* name)
{
    const QString base = QStringLiteral(":/qss/icons/") + QLatin1String(name);
    QIcon icon;
    icon.addFile(base + QStringLiteral(".svg"), QSize(), QIcon::Normal);
    icon.addFile(base + QStringLiteral(".svg"), QSize(), QIcon::Active);
    icon.addFile(base + QStringLiteral(".svg"), QSize(), QIcon::Selected);
    icon.addFile(base + QStringLiteral("-disabled.svg"), QSize(), QIcon::Disabled);
    return icon;
}

const char* drawnIconName(QStyle::StandardPixmap pixmap)
{
    switch (pixmap) {
    case QStyle::SP_MediaPlay:
        return "play";
    case QStyle::SP_MediaStop:
        return "stop";
    case QStyle::SP_ArrowBack:
    case QStyle::SP_FileDialogBack:
        return "back";
    case QStyle::SP_ArrowForward:
        return "forward";
    case QStyle::SP_FileDialogToParent:
        return "parent";
    case QStyle::SP_FileDialogNewFolder:
        return "new-folder";
    case QStyle::SP_FileDialogListView:
        return "list-view";
    case QStyle::SP_FileDialogDetailedView:
        return "detail-view";
    case QStyle::SP_TitleBarNormalButton:
        return "dock-float";
    case QStyle::SP_TitleBarCloseButton:
    case QStyle::SP_DockWidgetCloseButton:
        return "dock-close";
    default:
        return nullptr;
    }
}

}  // namespace

OperatorStyle::OperatorStyle()
    : QProxyStyle(QStringLiteral("Fusion"))
{
    // The style sheet, its indicators and the icons share one bundle in a static library.
    Q_INIT_RESOURCE(main);
}

QIcon OperatorStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                  const QWidget* widget) const
{
    if (const char* name = drawnIconName(standardIcon)) {
        const QString key = QLatin1String(name);
        auto it = m_drawnIcons.constFind(key);
        if (it == m_drawnIcons.constEnd())
            it = m_drawnIcons.insert(key, drawnIcon(name));
        return *it;
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

int OperatorStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const
{
    // The platform's OK, Cancel and Close marks are dark on the dark buttons; the words say it all.
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QString OperatorStyle::styleSheet()
{
    Q_INIT_RESOURCE(main);
    QFile file(QStringLiteral(":/qss/style.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll());
}

void OperatorStyle::applyTo(QApplication& app)
{
    QApplication::setStyle(new OperatorStyle);
    app.setStyleSheet(styleSheet());
}
