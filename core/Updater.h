#pragma once
// Reads the display stream once a second and refills the data of every live
// graph; it never draws anything itself.
#include <QObject>
#include <QSharedPointer>

#include <optional>

#include <qcustomplot.h>

#include "Globals.h"
#include "FftCalculator.h"
#include "VornRecords.h"

using GraphData = QSharedPointer<QCPGraphDataContainer>;

class Updater : public QObject
{
    Q_OBJECT

public:
    // Binding kinds of setGraphData
    enum GraphKind : unsigned {
        KindScatterBpm1 = 0,
        KindScatterBpm2 = 1,
        KindSpectrum = 2,
        KindCurrentsBpm1 = 3,
        KindCurrentsBpm2 = 4,
        KindPositionX = 7,
        KindPositionY = 8,
        KindIntensity = 9,
        KindOutputVoltage = 10,
    };

    static constexpr int RECORD_BUFFER_BYTES = 33554432;  // 131072 records
    static constexpr int SCATTER_POINTS = 1000;

    explicit Updater(QObject* parent = nullptr);
    ~Updater() override;

    void setGraphData(unsigned kind, int index, GraphData data);

    const ZentrimStatus& zentrimStatus(int device) const { return m_status[device]; }
    // Why the last read of the device's status block failed, empty when it
    // arrived: a block that failed holds the last good values, which are no reading.
    QString statusProblem(int device) const { return m_statusProblem[device]; }
    bool isPresent(int device) const { return m_present[device]; }
    bool paused() const { return m_paused; }
    void setPaused(bool paused);

    // How many of the newest n records a tick draws: after a change of the
    // display rate `ageUs` ago (none: no change seen) only those taken since,
    // at `sampFreq`, less one that may straddle the change. A rate not above 0
    // gives no count, so all n are kept.
    static int recordsAtCurrentRate(std::optional<long long> ageUs, int sampFreq, int n);

    int fftLength() const { return m_fftLength; }
    int fftSource() const { return m_fftSource; }
    bool fftRemoveDC() const { return m_removeMean; }
    int fftCumulative() const { return m_cumulative; }

signals:
    void replotGraphs();
    // The display was paused (true) or resumed (false).
    void pausedChanged(bool paused);
    void replotDACgraph();
    void PIDstatusChanged(PID_Status_Type status);

public slots:
    void updateGraphs();
    void updateZentrims();
    void setFFTlength(int length);
    void setFFTsource(int column);
    void ChangeFFTremoveDC(bool removeDC);
    void ChangeFFTgraph(int index);

private:
    void fillTimeGraphs(const DisplayRecord* records, int n, double period);
    void reportShortRead();

    ZentrimStatus m_status[2];
    QString m_statusProblem[2];
    bool m_paused = false;
    GraphData m_scatter[2];
    GraphData m_spectrum[2];
    GraphData m_currents[2][4];
    GraphData m_outputs[4];
    GraphData m_posX[2];
    GraphData m_posY[2];
    GraphData m_intensity[2];
    DisplayRecord* m_records = nullptr;
    int m_fftLength = 8192;
    bool m_removeMean = false;
    int m_cumulative = 0;
    int m_fftSource = 1;
    bool m_present[2] = {false, false};

    FftCalculator m_spectra;
    bool m_fatalShown = false;
};
