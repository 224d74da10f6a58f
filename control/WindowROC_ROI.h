#pragma once
// The ROC/ROI limits of both BPMs: region of interest, region of confidence,
// I0 window and beam-off threshold, with the controller's ROC and beam-off
// checks. OK and Apply send them to the controller, store them and redraw the
// scatters' rectangles; editing is open to admin only.
#include <QDialog>
#include <QPointer>
#include <QStringList>

namespace Ui {
class WindowROC_ROI;
}
class ConfigWriteReport;
class QAbstractButton;
class WidgetGraphXY;
class WidgetRoc;

class WindowROC_ROI : public QDialog
{
    Q_OBJECT

public:
    explicit WindowROC_ROI(QWidget* parent = nullptr);
    ~WindowROC_ROI() override;

    // Guarded references; a null argument keeps the previous one. The scatters
    // are index 0 (BPM 1) and 1 (BPM 2).
    void setUpdater(QObject* updater);
    void setBeamlineConf(QObject* beamlineConf);
    void setGraphXY(QObject* graph, int index);

    // Gates the fields, reloads the limits from the configuration, shows the dialog.
    void showAndRefresh();
    void loadROCsettings();

    // Sends one BPM's limits (0 BPM 1, anything else BPM 2); the file takes and
    // the scatter draws each only once the controller took it. False when the
    // form cannot be sent (nothing goes out then) or a limit was refused.
    bool sendROCsettings(int bpm);
    // Sends the six ROC and beam-off checks, and stores them once taken.
    bool sendROCenables();

public slots:
    void nrZentrimChanged(int nrZentrims);
    void checkUserLevel();

private slots:
    void sendROCconf(QAbstractButton* button);

protected:
    // A refused OK keeps the dialog open, with what was typed.
    void accept() override;

private:
    WidgetRoc* formOf(int bpm) const;
    void loadForm(int bpm);
    // BPM 2's form is open to edits only while its limits can be sent.
    void showWhatIsSent();
    // Why this BPM's form cannot be sent; empty when it can.
    QStringList problemsOf(int bpm) const;
    bool refuseProblems(const QList<int>& bpms);
    void sendLimits(int bpm, ConfigWriteReport& writes, QStringList& refused);
    void sendEnables(ConfigWriteReport& writes, QStringList& refused);

    Ui::WindowROC_ROI* ui;
    QPointer<QObject> m_updater;
    QPointer<QObject> m_beamlineConf;
    QPointer<WidgetGraphXY> m_graphXY[2];
    // The device link's mask: BPM 2's limits are sent only while it is above 1.
    int m_nrZentrims = 1;
    bool m_keepOpen = false;
};
