#pragma once
// One beam position monitor's box in the beamline configuration: orientation,
// channel map, scaling and offsets, and the high voltage of the picoammeter
// that reads it.
#include <QGroupBox>

#include <array>

#include "BeamlineConfRules.h"

namespace Ui {
class BPM;
}
class QComboBox;
class QGraphicsView;
class UnloadedFields;

class BPM : public QGroupBox
{
    Q_OBJECT

public:
    explicit BPM(QWidget* parent = nullptr);
    ~BPM() override;

    // 0 for BPM 1, 1 for BPM 2; also the picoammeter device number.
    void setIndex(quint8 index) { m_index = index; }
    quint8 index() const { return m_index; }

    bool isOrientation90() const;
    // 1 selects "90°", 0 "45°"; any other value leaves the choice as it is.
    void setOrientation(int value);
    // No orientation chosen: one the file did not give must be chosen before a save.
    void clearOrientation();
    bool orientationChosen() const;

    // The four combo boxes of the picture in force; -1 for one without a selection.
    void getChannelMap(int* top, int* right, int* bottom, int* left) const;
    // A channel outside 0..3 leaves its combo box without a selection.
    void setChannelMap(int top, int right, int bottom, int left);
    BeamlineConfRules::ChannelMap channelMap() const;

    void getScaling(double* x, double* y) const;
    // Also loads the offsets of this box's BPM from the configuration file; an
    // offset the file does not give usably shows as unloaded.
    void setScaling(double x, double y);
    // After a load of the scale keys: those among `unread` show as unloaded.
    void markScalesUnread(const QStringList& unread);
    // After a load: a note for each stored value the box cannot show as the
    // file holds it (an orientation other than 0 and 1, a channel outside
    // Ch 1..Ch 4, a scale outside its field) and for each choice not read, with
    // the key and what the file holds. The offsets are noted by setScaling.
    void noteStored(int orient, const BeamlineConfRules::ChannelMap& stored, double scaleX, double scaleY,
                    const QStringList& unread);
    // The notes of the load that still stand, one line each.
    QStringList storedNotes() const;
    // At the last load an offset field took something else than the file holds
    // (shown or not).
    bool offsetsDiffer() const;
    // The fields that were neither loaded nor typed; the offsets only while shown.
    QStringList unloadedNames() const;
    bool offsetsUnloaded() const;
    bool offsetsShown() const;
    BeamlineConfRules::BoxEntries entries() const;
    void getOffsets(double* x, double* y) const;
    void setOffsets(double x, double y);

    void setHVwidgetHidden(bool hidden);
    // Shows the offset rows only for controllers that take offsets.
    void checkFirmwareVersion();
    void updateHVstatus(int status, float voltage, float current);
    // The status block could not be read: empty readouts and a note, never the last values.
    void showHVnoReading(const QString& why);

public slots:
    void changeBPMorient(const QString& str);
    // Flips the high-voltage flag and sends it; the flag is never read back,
    // and flips back when the picoammeter refuses.
    void HVenable();
    // Sends the bias voltage; one beyond the supply's range is refused here.
    void HVsetV();
    void checkConfiguration();

private:
    // Top, right, bottom, left.
    std::array<QComboBox*, 4> combosInForce() const;
    // "BPM1" or "BPM2", the box's group in the configuration file.
    QString group() const;

    Ui::BPM* ui;
    UnloadedFields* m_unloaded;
    quint8 m_index = 0;
    bool m_hvEnabled = false;
    bool m_offsetsDiffer = false;
};
