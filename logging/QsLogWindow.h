#pragma once
#include "QsLogMessage.h"
#include "QsLogWindowModel.h"

#include <QDialog>
#include <QIcon>
#include <QTimer>

#include <memory>
#include <vector>

namespace Ui {
class LogWindow;
}

namespace QsLogging {

class WindowLogFilterProxyModel;

// Lists the log messages with a level filter, pause, auto scroll, copy, save
// and clear. Messages arrive through addLogMessage from the functor destination.
class Window : public QDialog
{
    Q_OBJECT

public:
    explicit Window(QWidget* parent = nullptr);
    ~Window() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void addLogMessage(const QsLogging::LogMessage& m);
    void OnPauseClicked();
    void OnSaveClicked();
    void OnClearClicked();
    void OnCopyClicked();
    void OnLevelChanged(int value);
    void OnAutoScrollChanged(bool checked);
    void ModelRowsInserted(const QModelIndex& parent, int start, int last);

private:
    // The formatted lines of the selected rows or, without a selection, of
    // every visible row, each ended by "\n", in display order.
    QString getSelectedText() const;
    void copySelection() const;
    // Scrolls to the newest row once the current event-loop turn is over; any
    // number of requests in one turn make one scroll, and a hidden window none.
    void requestScrollToBottom();
    void scrollToBottomNow();
    // Puts the rows received while shown into the model, in one insertion.
    void addPendingRows();
    // Column widths that fit every time and level text: fixed, because fitting
    // them to the rows would look at the rows again at every insertion.
    void fitFixedColumns();

    LogWindowModel m_model;
    std::unique_ptr<Ui::LogWindow> m_ui;
    WindowLogFilterProxyModel* m_proxyModel = nullptr;
    bool m_isPaused = false;
    bool m_hasAutoScroll = true;
    bool m_scrollPending = false;
    QTimer* m_refreshTimer = nullptr;
    std::vector<LogMessage> m_pending;
    QIcon m_pauseIcon;
    QIcon m_playIcon;
};

}  // namespace QsLogging
