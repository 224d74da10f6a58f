#pragma once
// The feedback status panel at the top of the "Control" dock: shows the status
// the device link polled, switches the feedback on or off, resets the
// controller, and re-reads the user level once a second.
#include <QIcon>
#include <QWidget>

#include "Globals.h"

class OutputOwner;
struct PidStatusReading;

namespace Ui {
class HeartBeat;
}

class HeartBeat : public QWidget
{
    Q_OBJECT

public:
    // `outputs`, when given, is the owner of the output unit: while a tool holds
    // it, the feedback is not switched on, and the panel names the holder.
    explicit HeartBeat(QWidget* parent = nullptr, OutputOwner* outputs = nullptr);
    ~HeartBeat() override;

    // What the panel adds below the status, one line each, empty when all is
    // as shown: a status or level that is not current, and outputs the feedback
    // does not drive. `holder` is the tool holding the outputs (empty: none),
    // `outputMux` the polled multiplexer (-1 not read).
    static QStringList notesFor(const PidStatusReading& status, const QString& holder, int outputMux,
                                bool levelCurrent, int level);

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
    // Disabled at level 0, enabled at 1 and 2, left as it is at any other value.
    void applyLevel(int level);
    // The button back to what the status says, without sending anything.
    void showButtonChecked();
    void showNotes();

    Ui::HeartBeat* ui = nullptr;
    OutputOwner* m_outputs = nullptr;
    // The value last sent to the feedback enable.
    bool m_feedbackEnabled = false;
    // The status the button's label was taken from: a click sends its opposite,
    // so the button always does what it says, whoever switched the loop last.
    PID_Status_Type m_shownStatus = PID_STATUS_OFF;
    // While the lock status cannot be read, USER_LEVEL keeps the level read before.
    bool m_levelFailing = false;
    // The last level the lock status gave (the start level until one is read).
    int m_lastReadLevel = 0;
    // Made once: the button shows one of these two.
    QIcon m_playIcon;
    QIcon m_stopIcon;
};
