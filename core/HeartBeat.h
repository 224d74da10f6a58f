#pragma once
// The feedback status panel at the top of the "Control" dock: shows the status
// the device link polled, switches the feedback on or off, resets the
// controller, and re-reads the user level once a second.
#include <QIcon>
#include <QWidget>

#include "Globals.h"

namespace Ui {
class HeartBeat;
}

class HeartBeat : public QWidget
{
    Q_OBJECT

public:
    explicit HeartBeat(QWidget* parent = nullptr);
    ~HeartBeat() override;

signals:
    void userLevelChanged(int level);

public slots:
    void checkUserLevel();
    void updateHeartbeat(PID_Status_Type PID_Status);

private slots:
    void fdbkStatusChanged();
    void refreshFields();
    void resetPIDControllerPressed();

private:
    void updateFeedbackButton();

    Ui::HeartBeat* ui = nullptr;
    // The value last sent to the feedback enable.
    bool m_feedbackEnabled = false;
    // The status the button's label was taken from: a click sends its opposite,
    // so the button always does what it says, whoever switched the loop last.
    PID_Status_Type m_shownStatus = PID_STATUS_OFF;
    // Made once: the button shows one of these two.
    QIcon m_playIcon;
    QIcon m_stopIcon;
};
