#pragma once
// The configuration file: beamline, limit and PID settings kept between runs.
// Every accessor opens the file anew and drops it on return; nothing is cached.
#include <QString>

class QSettings;

class ConfigSettings
{
public:
    static constexpr const char* DEFAULT_PATH = "/opt/Tarquel/VORN/config.ini";
    static constexpr int IIR_COEFFICIENTS = 10;

    explicit ConfigSettings(const QString& path = QString::fromLatin1(DEFAULT_PATH));

    QString path() const { return m_path; }

    // Why the file gives only defaults ("is missing", "cannot be read",
    // "cannot be parsed"), or empty when it can be used.
    QString fileProblem() const;

    // BPMn groups; bpm 0 is "BPM1", 1 is "BPM2". Another bpm writes nothing
    // and reads the defaults.
    void setOrient(int value, int bpm);
    int getOrient(int bpm) const;
    void setScaleX(int bpm, double value);
    void setScaleY(int bpm, double value);
    double getScaleX(int bpm) const;
    double getScaleY(int bpm) const;
    void setOffsetX(int bpm, double value);
    void setOffsetY(int bpm, double value);
    double getOffsetX(int bpm) const;
    double getOffsetY(int bpm) const;
    void setQuadrants(int top, int right, int bottom, int left, int bpm);
    void getQuadrants(int* top, int* right, int* bottom, int* left, int bpm) const;

    // ROCandROI (bpm 0) and ROCandROI2 (bpm 1)
    void saveROCandROI(int bpm, double roiX, double roiY, double roiI0min, double roiI0max, double rocPercent);
    void loadROCandROI(double* roiX, double* roiY, double* roiI0min, double* roiI0max, double* rocPercent,
                       int bpm) const;
    void saveROCenables(bool rocX1, bool rocY1, bool beamOff1, bool rocX2, bool rocY2, bool beamOff2);
    void setBeamOffTh(int bpm, double value);
    void getBeamOffTh(double* value, int bpm) const;

    // PID_X, PID_Y, PID_I0; a stored value that is not a finite number reads as missing (0)
    void savePIDX(double freq, double kp, double ki, double kd, double emin, double imax, double omin, double omax,
                  double ogain, double offset);
    void savePIDY(double freq, double kp, double ki, double kd, double emin, double imax, double omin, double omax,
                  double ogain, double offset);
    void savePIDI0(double freq, double kp, double ki, double kd, double emin, double imax, double omin, double omax,
                   double ogain, double offset);
    void loadPIDX(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax, double* omin,
                  double* omax, double* ogain, double* offset) const;
    void loadPIDY(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax, double* omin,
                  double* omax, double* ogain, double* offset) const;
    void loadPIDI0(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax, double* omin,
                   double* omax, double* ogain, double* offset) const;
    void getPIDenable(int* x, int* y, int* i0) const;

    // Beamline
    void setDACmap(int posX, int posY, int i0);
    void getDACmap(int* posX, int* posY, int* i0) const;
    void setBPMmap(int posX, int posY, int i0);
    void getBPMmap(int* posX, int* posY, int* i0) const;

    // IIR_X, IIR_Y, IIR_I0: arrays "a" and "b" of ten coefficients each
    void saveIIR(const double aX[IIR_COEFFICIENTS], const double bX[IIR_COEFFICIENTS],
                 const double aY[IIR_COEFFICIENTS], const double bY[IIR_COEFFICIENTS],
                 const double aI0[IIR_COEFFICIENTS], const double bI0[IIR_COEFFICIENTS]);
    void loadIIR(double aX[IIR_COEFFICIENTS], double bX[IIR_COEFFICIENTS], double aY[IIR_COEFFICIENTS],
                 double bY[IIR_COEFFICIENTS], double aI0[IIR_COEFFICIENTS], double bI0[IIR_COEFFICIENTS]) const;
    void removeIIR();
    bool hasIIR() const;

private:
    static void writeIIRgroup(QSettings& settings, const QString& group, const double a[IIR_COEFFICIENTS],
                              const double b[IIR_COEFFICIENTS]);
    static void readIIRgroup(QSettings& settings, const QString& group, double a[IIR_COEFFICIENTS],
                             double b[IIR_COEFFICIENTS]);

    // Before a write: a file QSettings cannot parse would lose its unparsed
    // lines, so a copy is kept first; false when no copy could be made.
    bool mayWrite() const;

    QString m_path;
};
