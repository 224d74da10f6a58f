#pragma once
// One-dimensional rocking-curve scan: steps one steering output over a voltage
// range while the other stands at its loop's offset, and draws the two BPM1
// currents facing the scanned direction and their sum against the voltage.
#include <QStringList>

#include "ScanWindow.h"

class MeasurementClock;
class OutputOwner;
class PlotRefresher;
class ScanSession;

namespace Ui {
class WindowRockingCurve;
}

class WindowRockingCurve : public ScanWindow
{
    Q_OBJECT

public:
    // A scan takes the outputs from `outputs`; every wait goes through `clock`.
    WindowRockingCurve(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent = nullptr);
    ~WindowRockingCurve() override;

    // The level the other steering output holds: the X loop's offset while Y
    // is scanned, the Y loop's while X is.
    // `usable`, when given, is false when the file holds that offset in a form
    // that cannot be used (not a number) or outside the outputs' range.
    double heldOutputLevel(bool scanY, bool* usable = nullptr) const;

public slots:
    void startMeasurement();
    void minMaxChanged();
    void clearGraph();

private:
    // The output map's X and Y channels and BPM1's channel map, as stored.
    struct ChannelMaps
    {
        int dacX = 0, dacY = 1;
        int top = 0, right = 0, bottom = 0, left = 0;
        QStringList unread;  // the keys among them that read as missing
    };

    void setupPlot();
    double storedOffset(bool scanY, QStringList* unread) const;
    // Why a scan may not start, empty when it may: channels it cannot use, a held
    // level or a ramp point that is no output voltage.
    QString channelRefusal(const ChannelMaps& maps) const;
    QString voltageRefusal(bool scanY) const;
    void scan(ScanSession& session, int dacX, int dacY, int top, int right, int bottom, int left);
    // Axes to the data, the plot and the progress bar redrawn.
    void draw(int progress);
    // Tpoint of the form, in whole microseconds.
    long long pointTimeUs() const;

    Ui::WindowRockingCurve* ui;
    PlotRefresher* m_refresher = nullptr;
};
