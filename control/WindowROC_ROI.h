#pragma once
// The ROC/ROI limits of both BPMs: region of interest, region of confidence,
// I0 window and beam-off threshold, with the controller's ROC and beam-off
// checks. OK and Apply send them to the controller, store them and redraw the
// scatters' rectangles; editing is open to admin only.
#include <QDialog>
#include <QPointer>

namespace Ui {
class WindowROC_ROI;
}
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

    // Sends, stores and draws one BPM's limits (0 BPM 1, anything else BPM 2).
    void sendROCsettings(int bpm);
    // Sends and stores the six ROC and beam-off checks.
    void sendROCenables();

public slots:
    void nrZentrimChanged(int nrZentrims);
    void checkUserLevel();

private slots:
    void sendROCconf(QAbstractButton* button);

private:
    WidgetRoc* formOf(int bpm) const;
    void loadForm(int bpm);

    Ui::WindowROC_ROI* ui;
    QPointer<QObject> m_updater;
    QPointer<QObject> m_beamlineConf;
    QPointer<WidgetGraphXY> m_graphXY[2];
    // The device link's mask: BPM 2's limits are sent only while it is above 1.
    int m_nrZentrims = 1;
};
