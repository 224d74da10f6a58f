#pragma once
// The configuration file: beamline, limit and PID settings kept between runs.
// Every accessor opens the file anew and drops it on return; nothing is cached.
//
// Reading (ConfigReader): every reader gets the number the file holds whenever
// it is a finite number, whatever a window can show of it. A key that is absent
// gives its default. A stored value that is not a number (empty, text, NaN,
// infinite; a fraction where a whole number belongs), and every key of a file
// that cannot be read, is logged at Warn level with the key, gives the default
// too, and its key name goes to `unread` when the caller passes that list: the
// caller shows it as missing, never the default as a value.
//
// Writing: every setter returns false when the file did not take the change.
// Numbers are written in their shortest round-trip form. A file that the
// rewrite would cost lines (comments, lines that cannot be parsed) is copied
// beside itself first (ConfigFileCopies).
#include <QString>
#include <QStringList>

#include <functional>

class ConfigReader;
class QSettings;

class ConfigSettings
{
public:
    static constexpr const char* DEFAULT_PATH = "/opt/Tarquel/VORN/config.ini";
    static constexpr int IIR_COEFFICIENTS = 10;
    // Significant digits of a percentage read back from two half-widths.
    static constexpr int ROC_PERCENT_DIGITS = 12;

    explicit ConfigSettings(const QString& path = QString::fromLatin1(DEFAULT_PATH));

    QString path() const { return m_path; }

    // Why the file gives only defaults ("is missing", "cannot be read",
    // "cannot be parsed"), or empty when it can be used.
    QString fileProblem() const;

    // Whether the file has this key ("PID_X/Freq"), usable or not: a window
    // tells a stored value from an absent key's default by it.
    bool holds(const QString& fullKey) const;

    // BPMn groups; bpm 0 is "BPM1", 1 is "BPM2". Another bpm writes nothing
    // and reads the defaults.
    bool setOrient(int value, int bpm);
    int getOrient(int bpm, QStringList* unread = nullptr) const;
    bool setScaleX(int bpm, double value);
    bool setScaleY(int bpm, double value);
    double getScaleX(int bpm, QStringList* unread = nullptr) const;
    double getScaleY(int bpm, QStringList* unread = nullptr) const;
    bool setOffsetX(int bpm, double value);
    bool setOffsetY(int bpm, double value);
    double getOffsetX(int bpm, QStringList* unread = nullptr) const;
    double getOffsetY(int bpm, QStringList* unread = nullptr) const;
    bool setQuadrants(int top, int right, int bottom, int left, int bpm);
    void getQuadrants(int* top, int* right, int* bottom, int* left, int bpm, QStringList* unread = nullptr) const;

    // ROCandROI (bpm 0) and ROCandROI2 (bpm 1). The percentage comes from RocX
    // over RoiX, or else RocY over RoiY (rocPercentOf); a half-width stored
    // where neither gives a percentage lists "RocX".
    bool saveROCandROI(int bpm, double roiX, double roiY, double roiI0min, double roiI0max, double rocPercent);
    void loadROCandROI(double* roiX, double* roiY, double* roiI0min, double* roiI0max, double* rocPercent, int bpm,
                       QStringList* unread = nullptr) const;
    bool saveROCenables(bool rocX1, bool rocY1, bool beamOff1, bool rocX2, bool rocY2, bool beamOff2);
    bool setBeamOffTh(int bpm, double value);
    void getBeamOffTh(double* value, int bpm, QStringList* unread = nullptr) const;

    // PID_X, PID_Y, PID_I0
    bool savePIDX(double freq, double kp, double ki, double kd, double emin, double imax, double omin, double omax,
                  double ogain, double offset);
    bool savePIDY(double freq, double kp, double ki, double kd, double emin, double imax, double omin, double omax,
                  double ogain, double offset);
    bool savePIDI0(double freq, double kp, double ki, double kd, double emin, double imax, double omin, double omax,
                   double ogain, double offset);
    void loadPIDX(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax, double* omin,
                  double* omax, double* ogain, double* offset, QStringList* unread = nullptr) const;
    void loadPIDY(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax, double* omin,
                  double* omax, double* ogain, double* offset, QStringList* unread = nullptr) const;
    void loadPIDI0(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax, double* omin,
                   double* omax, double* ogain, double* offset, QStringList* unread = nullptr) const;
    void getPIDenable(int* x, int* y, int* i0, QStringList* unread = nullptr) const;

    // Beamline
    bool setDACmap(int posX, int posY, int i0);
    void getDACmap(int* posX, int* posY, int* i0, QStringList* unread = nullptr) const;
    bool setBPMmap(int posX, int posY, int i0);
    void getBPMmap(int* posX, int* posY, int* i0, QStringList* unread = nullptr) const;

    // IIR_X, IIR_Y, IIR_I0: arrays "a" and "b" of ten coefficients each
    bool saveIIR(const double aX[IIR_COEFFICIENTS], const double bX[IIR_COEFFICIENTS],
                 const double aY[IIR_COEFFICIENTS], const double bY[IIR_COEFFICIENTS],
                 const double aI0[IIR_COEFFICIENTS], const double bI0[IIR_COEFFICIENTS]);
    void loadIIR(double aX[IIR_COEFFICIENTS], double bX[IIR_COEFFICIENTS], double aY[IIR_COEFFICIENTS],
                 double bY[IIR_COEFFICIENTS], double aI0[IIR_COEFFICIENTS], double bI0[IIR_COEFFICIENTS]) const;
    bool removeIIR();
    bool hasIIR() const;

    // The shortest text that reads back as exactly this number ("0.0002").
    static QString numberText(double value);
    // The percentage of the ROI that an ROC half-width is, to ROC_PERCENT_DIGITS
    // significant digits, so that what saveROCandROI stored reads back as it
    // was given; NaN where the two give none (an ROI of 0).
    static double rocPercentOf(double rocHalfWidth, double roiHalfWidth);

private:

    // The shapes that many keys share.
    bool writeBpmNumber(int bpm, const char* name, double value);
    double readBpmNumber(int bpm, const char* name, QStringList* unread) const;
    // One value per loop (X, Y, I0) under three keys.
    bool writeLoops(const char* const (&keys)[3], int x, int y, int i0);
    void readLoops(const char* const (&keys)[3], const int (&defaults)[3], int* x, int* y, int* i0,
                   QStringList* unread) const;

    static void writeIIRgroup(QSettings& settings, const QString& group, const double a[IIR_COEFFICIENTS],
                              const double b[IIR_COEFFICIENTS]);
    static void readIIRgroup(ConfigReader& reader, const QString& group, double a[IIR_COEFFICIENTS],
                             double b[IIR_COEFFICIENTS]);

    // One write session: `fill` sets the keys; false when the file did not take
    // them, or when it would lose lines of which no copy could be kept.
    bool write(const std::function<void(QSettings&)>& fill);

    QString m_path;
};
