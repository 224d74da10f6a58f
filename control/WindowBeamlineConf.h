#pragma once
// The beamline configuration: one box per beam position monitor, saved to the
// configuration file, the controller and the position scale factors, and the
// picoammeters' bias high voltage with its readout.
#include <QDialog>
#include <QStringList>

namespace Ui {
class WindowBeamlineConf;
}
class BPM;
class ConfigWriteReport;
class QAbstractButton;
class QTimer;

class WindowBeamlineConf : public QDialog
{
    Q_OBJECT

public:
    static constexpr int READOUT_MS = 770;

    explicit WindowBeamlineConf(QWidget* parent = nullptr);
    ~WindowBeamlineConf() override;

    // Both boxes reloaded from the configuration file, unsaved edits dropped.
    void showAndRefresh();
    void loadAllBPMsettings();
    // Any non-zero bpm is BPM 2.
    void loadBPMsettings(int bpm);
    // Each value goes to the controller, and to the file once the controller
    // took it. A box that cannot be saved (see BeamlineConfRules::saveProblems)
    // sends and stores nothing; false then, or when anything was refused.
    bool saveBPMsettings(int bpm);
    // BPM 1, and BPM 2 while its box is on screen; both are checked first. BPM 1's
    // box, hidden while its picoammeter is absent, is saved only when it can be
    // without a question, and otherwise left as the file holds it.
    bool saveAllBPMsettings();
    // bpm 0 or 1; other values do nothing.
    void updateBPMhvStatus(int status, int bpm, float voltage, float current);

signals:
    void BPMscaleChanged();

public slots:
    // Asks the library itself; the mask is ignored.
    void nr_zentrims_changed(int nr_zentrims);
    void checkUserLevel();
    void sendSettings(QAbstractButton* button);
    void refreshFields();

protected:
    // A Save that was refused keeps the dialog open, with what was typed.
    void accept() override;

private:
    BPM* box(int bpm) const;
    // Why the boxes of these BPMs cannot be saved; empty when they can.
    QString problemsOf(const QList<int>& bpms) const;
    // Nothing to refuse, to ask or to tell: the box would store what it shows.
    bool savableAsItIs(int bpm) const;
    bool saveBoxes(const QList<int>& bpms);
    void sendAndStore(int bpm, ConfigWriteReport& writes, QStringList& refused);

    Ui::WindowBeamlineConf* ui;
    QTimer* m_timer;
    bool m_keepOpen = false;
};
