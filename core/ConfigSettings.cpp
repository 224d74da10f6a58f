#include "ConfigSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cmath>

#include "ConfigFileCopies.h"
#include "ConfigReader.h"
#include "QsLog.h"

namespace {

const char* const PID_KEYS[10] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};

QString bpmGroup(int bpm)
{
    if (bpm == 0)
        return QStringLiteral("BPM1");
    if (bpm == 1)
        return QStringLiteral("BPM2");
    return QString();
}

QString limitsGroup(int bpm)
{
    if (bpm == 0)
        return QStringLiteral("ROCandROI");
    if (bpm == 1)
        return QStringLiteral("ROCandROI2");
    return QString();
}

QString key(const QString& group, const char* name)
{
    return group + QLatin1Char('/') + QLatin1String(name);
}

template <typename T> void assign(T* target, T value)
{
    if (target)
        *target = value;
}

// One write: the settings object, then a check that the file took it.
struct WriteSession
{
    explicit WriteSession(const QString& path)
        : settings(path, QSettings::IniFormat)
    {
    }
    bool finish()
    {
        settings.sync();
        if (settings.status() != QSettings::AccessError)
            return true;
        const QString path = QDir::toNativeSeparators(QFileInfo(settings.fileName()).absoluteFilePath());
        QLOG_WARN() << "Configuration file" << path << "could not be written; the change is lost";
        return false;
    }
    QSettings settings;
};

void putNumber(QSettings& settings, const QString& name, double value)
{
    settings.setValue(name, ConfigSettings::numberText(value));
}

}  // namespace

ConfigSettings::ConfigSettings(const QString& path)
    : m_path(path)
{
}

QString ConfigSettings::numberText(double value)
{
    // The fewest digits that read back as this number; plain decimals from 1e-4
    // on, as printf's %g writes them (0.0002, 100000000), exponents below.
    const double magnitude = std::fabs(value);
    if (std::isfinite(value) && (magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e15)))
        return QString::number(value, 'f', QLocale::FloatingPointShortest);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

double ConfigSettings::rocPercentOf(double rocHalfWidth, double roiHalfWidth)
{
    const double percent = rocHalfWidth / roiHalfWidth * 100.0;
    if (!std::isfinite(percent))
        return std::nan("");
    // Twelve digits are far more than any field shows and drop the last bit
    // that the division adds (1000.0000000000002 for 1000 % of some ROIs).
    return QString::number(percent, 'g', ROC_PERCENT_DIGITS).toDouble();
}

QString ConfigSettings::fileProblem() const
{
    if (!QFileInfo::exists(m_path))
        return QStringLiteral("is missing");
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read");
    if (ConfigFileCopies::isUnparsable(file.readAll()))
        return QStringLiteral("cannot be parsed");
    return QString();
}

bool ConfigSettings::holds(const QString& fullKey) const
{
    return QSettings(m_path, QSettings::IniFormat).contains(fullKey);
}

bool ConfigSettings::write(const std::function<void(QSettings&)>& fill)
{
    if (!ConfigFileCopies::beforeRewrite(m_path))
        return false;
    WriteSession session(m_path);
    fill(session.settings);
    if (!session.finish())
        return false;
    ConfigFileCopies::rewritten(m_path);
    return true;
}

// ---- BPMn ----

bool ConfigSettings::writeBpmNumber(int bpm, const char* name, double value)
{
    const QString group = bpmGroup(bpm);
    return !group.isEmpty() && write([&](QSettings& s) { putNumber(s, key(group, name), value); });
}

double ConfigSettings::readBpmNumber(int bpm, const char* name, QStringList* unread) const
{
    const QString group = bpmGroup(bpm);
    return group.isEmpty() ? 0.0 : ConfigReader(m_path, unread).number(key(group, name), 0.0);
}

bool ConfigSettings::setOrient(int value, int bpm)
{
    const QString group = bpmGroup(bpm);
    return !group.isEmpty() && write([&](QSettings& s) { s.setValue(key(group, "Orient"), value); });
}

int ConfigSettings::getOrient(int bpm, QStringList* unread) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return 0;
    return ConfigReader(m_path, unread).integer(key(group, "Orient"), 0);
}

bool ConfigSettings::setScaleX(int bpm, double value)
{
    return writeBpmNumber(bpm, "Scale_X", value);
}

bool ConfigSettings::setScaleY(int bpm, double value)
{
    return writeBpmNumber(bpm, "Scale_Y", value);
}

double ConfigSettings::getScaleX(int bpm, QStringList* unread) const
{
    return readBpmNumber(bpm, "Scale_X", unread);
}

double ConfigSettings::getScaleY(int bpm, QStringList* unread) const
{
    return readBpmNumber(bpm, "Scale_Y", unread);
}

bool ConfigSettings::setOffsetX(int bpm, double value)
{
    return writeBpmNumber(bpm, "Offset_X", value);
}

bool ConfigSettings::setOffsetY(int bpm, double value)
{
    return writeBpmNumber(bpm, "Offset_Y", value);
}

double ConfigSettings::getOffsetX(int bpm, QStringList* unread) const
{
    return readBpmNumber(bpm, "Offset_X", unread);
}

double ConfigSettings::getOffsetY(int bpm, QStringList* unread) const
{
    return readBpmNumber(bpm, "Offset_Y", unread);
}

bool ConfigSettings::setQuadrants(int top, int right, int bottom, int left, int bpm)
{
    const QString group = bpmGroup(bpm);
    return !group.isEmpty() && write([&](QSettings& s) {
        s.setValue(key(group, "Top"), top);
        s.setValue(key(group, "Right"), right);
        s.setValue(key(group, "Bottom"), bottom);
        s.setValue(key(group, "Left"), left);
    });
}

void ConfigSettings::getQuadrants(int* top, int* right, int* bottom, int* left, int bpm, QStringList* unread) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty()) {
        assign(top, 0);
        assign(right, 0);
        assign(bottom, 0);
        assign(left, 0);
        return;
    }
    ConfigReader reader(m_path, unread);
    assign(top, reader.integer(key(group, "Top"), 0));
    assign(right, reader.integer(key(group, "Right"), 0));
    assign(bottom, reader.integer(key(group, "Bottom"), 0));
    assign(left, reader.integer(key(group, "Left"), 0));
}

// ---- ROCandROI[2] ----

bool ConfigSettings::saveROCandROI(int bpm, double roiX, double roiY, double roiI0min, double roiI0max,
                                   double rocPercent)
{
    const QString group = limitsGroup(bpm);
    return !group.isEmpty() && write([&](QSettings& s) {
        putNumber(s, key(group, "RoiX"), roiX);
        putNumber(s, key(group, "RoiY"), roiY);
        putNumber(s, key(group, "RoiI0min"), roiI0min);
        putNumber(s, key(group, "RoiI0max"), roiI0max);
        putNumber(s, key(group, "RocX"), roiX * rocPercent / 100.0);
        putNumber(s, key(group, "RocY"), roiY * rocPercent / 100.0);
    });
}

void ConfigSettings::loadROCandROI(double* roiX, double* roiY, double* roiI0min, double* roiI0max,
                                   double* rocPercent, int bpm, QStringList* unread) const
{
    const QString group = limitsGroup(bpm);
    if (group.isEmpty()) {
        assign(roiX, 0.0);
        assign(roiY, 0.0);
        assign(roiI0min, 0.0);
        assign(roiI0max, 0.0);
        assign(rocPercent, 0.0);
        return;
    }
    ConfigReader reader(m_path, unread);
    double x = 0.0, y = 0.0;
    const ConfigReader::Found xFound = reader.read(key(group, "RoiX"), &x);
    const ConfigReader::Found yFound = reader.read(key(group, "RoiY"), &y);
    assign(roiX, x);
    assign(roiY, y);
    assign(roiI0min, reader.number(key(group, "RoiI0min"), 0.0));
    assign(roiI0max, reader.number(key(group, "RoiI0max"), 0.0));

    // Both ROC half-widths were written with one percentage: without a usable X
    // axis the Y axis gives it back. Neither stored: missing (0). A half-width
    // of 0 on an ROI of 0 fits any percentage. Anything else that gives no
    // percentage (a half-width on an ROI of 0 or of none) reads as unread "RocX".
    struct Axis
    {
        const char* roc;
        ConfigReader::Found roiFound;
        double roi;
    };
    bool unusable = false;
    double percent = 0.0;
    for (const Axis& axis : {Axis{"RocX", xFound, x}, Axis{"RocY", yFound, y}}) {
        double roc = 0.0;
        const ConfigReader::Found found = reader.read(key(group, axis.roc), &roc, false);
        if (found == ConfigReader::Found::Absent)
            continue;
        if (found == ConfigReader::Found::Unusable || axis.roiFound != ConfigReader::Found::Usable
            || axis.roi == 0.0) {
            unusable = unusable || found == ConfigReader::Found::Unusable || roc != 0.0;
            continue;
        }
        const double p = rocPercentOf(roc, axis.roi);
        if (std::isfinite(p)) {
            percent = p;
            unusable = false;
            break;
        }
        unusable = true;
    }
    if (unusable) {
        QLOG_WARN() << QStringLiteral("Configuration keys %1/RocX and RocY give no ROC percentage of the ROI; "
                                      "it reads as missing")
                           .arg(group);
        reader.list(QStringLiteral("RocX"));
    }
    assign(rocPercent, percent);
}

bool ConfigSettings::saveROCenables(bool rocX1, bool rocY1, bool beamOff1, bool rocX2, bool rocY2, bool beamOff2)
{
    const QString first = limitsGroup(0);
    const QString second = limitsGroup(1);
    return write([&](QSettings& s) {
        s.setValue(key(first, "RocXenable"), rocX1);
        s.setValue(key(first, "RocYenable"), rocY1);
        s.setValue(key(first, "BeamOffEnable"), beamOff1);
        s.setValue(key(second, "RocXenable"), rocX2);
        s.setValue(key(second, "RocYenable"), rocY2);
        s.setValue(key(second, "BeamOffEnable"), beamOff2);
    });
}

bool ConfigSettings::setBeamOffTh(int bpm, double value)
{
    const QString group = limitsGroup(bpm);
    return !group.isEmpty() && write([&](QSettings& s) { putNumber(s, key(group, "BeamOffTh"), value); });
}

void ConfigSettings::getBeamOffTh(double* value, int bpm, QStringList* unread) const
{
    const QString group = limitsGroup(bpm);
    assign(value, group.isEmpty() ? 0.0 : ConfigReader(m_path, unread).number(key(group, "BeamOffTh"), 0.0));
}

// ---- PID_X, PID_Y, PID_I0 ----

namespace {

void writePid(QSettings& settings, const QString& group, const double (&values)[10])
{
    for (int i = 0; i < 10; ++i)
        putNumber(settings, key(group, PID_KEYS[i]), values[i]);
}

}  // namespace

bool ConfigSettings::savePIDX(double freq, double kp, double ki, double kd, double emin, double imax, double omin,
                              double omax, double ogain, double offset)
{
    return write([&](QSettings& s) {
        writePid(s, QStringLiteral("PID_X"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
    });
}

bool ConfigSettings::savePIDY(double freq, double kp, double ki, double kd, double emin, double imax, double omin,
                              double omax, double ogain, double offset)
{
    return write([&](QSettings& s) {
        writePid(s, QStringLiteral("PID_Y"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
    });
}

bool ConfigSettings::savePIDI0(double freq, double kp, double ki, double kd, double emin, double imax, double omin,
                               double omax, double ogain, double offset)
{
    return write([&](QSettings& s) {
        writePid(s, QStringLiteral("PID_I0"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
    });
}

namespace {
// A gain or a limit that cannot be used reaches no editor and no controller.
template <typename R> void readPid(R&& reader, const QString& group, double* const (&targets)[10])
{
    for (int i = 0; i < 10; ++i)
        assign(targets[i], reader.number(key(group, PID_KEYS[i]), 0.0));
}
}  // namespace

void ConfigSettings::loadPIDX(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax,
                              double* omin, double* omax, double* ogain, double* offset, QStringList* unread) const
{
    readPid(ConfigReader(m_path, unread), QStringLiteral("PID_X"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::loadPIDY(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax,
                              double* omin, double* omax, double* ogain, double* offset, QStringList* unread) const
{
    readPid(ConfigReader(m_path, unread), QStringLiteral("PID_Y"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::loadPIDI0(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax,
                               double* omin, double* omax, double* ogain, double* offset, QStringList* unread) const
{
    readPid(ConfigReader(m_path, unread), QStringLiteral("PID_I0"),
            {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::getPIDenable(int* x, int* y, int* i0, QStringList* unread) const
{
    ConfigReader reader(m_path, unread);
    assign(x, reader.integer(QStringLiteral("PID_X/enable"), 0));
    assign(y, reader.integer(QStringLiteral("PID_Y/enable"), 0));
    assign(i0, reader.integer(QStringLiteral("PID_I0/enable"), 0));
}

// ---- Beamline ----

namespace {
// The Beamline group's two maps: per loop X, Y, I0 an output channel and a BPM.
const char* const DAC_KEYS[3] = {"Beamline/DAC_posX", "Beamline/DAC_posY", "Beamline/DAC_I0"};
constexpr int DAC_DEFAULTS[3] = {0, 1, 2};
const char* const BPM_KEYS[3] = {"Beamline/BPM_posX", "Beamline/BPM_posY", "Beamline/BPM_I0"};
constexpr int BPM_DEFAULTS[3] = {0, 0, 0};
}  // namespace

bool ConfigSettings::writeLoops(const char* const (&keys)[3], int x, int y, int i0)
{
    return write([&](QSettings& s) {
        const int values[3] = {x, y, i0};
        for (int loop = 0; loop < 3; ++loop)
            s.setValue(QLatin1String(keys[loop]), values[loop]);
    });
}

void ConfigSettings::readLoops(const char* const (&keys)[3], const int (&defaults)[3], int* x, int* y, int* i0,
                               QStringList* unread) const
{
    ConfigReader reader(m_path, unread);
    int* const targets[3] = {x, y, i0};
    for (int loop = 0; loop < 3; ++loop)
        assign(targets[loop], reader.integer(QLatin1String(keys[loop]), defaults[loop]));
}

bool ConfigSettings::setDACmap(int posX, int posY, int i0)
{
    return writeLoops(DAC_KEYS, posX, posY, i0);
}

void ConfigSettings::getDACmap(int* posX, int* posY, int* i0, QStringList* unread) const
{
    readLoops(DAC_KEYS, DAC_DEFAULTS, posX, posY, i0, unread);
}

bool ConfigSettings::setBPMmap(int posX, int posY, int i0)
{
    return writeLoops(BPM_KEYS, posX, posY, i0);
}

void ConfigSettings::getBPMmap(int* posX, int* posY, int* i0, QStringList* unread) const
{
    readLoops(BPM_KEYS, BPM_DEFAULTS, posX, posY, i0, unread);
}

// ---- IIR_X, IIR_Y, IIR_I0 ----

void ConfigSettings::writeIIRgroup(QSettings& settings, const QString& group, const double a[IIR_COEFFICIENTS],
                                   const double b[IIR_COEFFICIENTS])
{
    // Entered as read arrays: their entries are written without a size key.
    settings.beginGroup(group);
    settings.beginReadArray(QStringLiteral("a"));
    for (int i = 0; i < IIR_COEFFICIENTS; ++i) {
        settings.setArrayIndex(i);
        putNumber(settings, QStringLiteral("val"), a[i]);
    }
    settings.endArray();
    settings.beginReadArray(QStringLiteral("b"));
    for (int i = 0; i < IIR_COEFFICIENTS; ++i) {
        settings.setArrayIndex(i);
        putNumber(settings, QStringLiteral("val"), b[i]);
    }
    settings.endArray();
    settings.endGroup();
}

void ConfigSettings::readIIRgroup(ConfigReader& reader, const QString& group, double a[IIR_COEFFICIENTS],
                                  double b[IIR_COEFFICIENTS])
{
    // Ten entries whatever the file holds: there is no size key to trust.
    QSettings& settings = reader.settings();
    settings.beginGroup(group);
    settings.beginReadArray(QStringLiteral("a"));
    for (int i = 0; i < IIR_COEFFICIENTS; ++i) {
        settings.setArrayIndex(i);
        a[i] = reader.number(QStringLiteral("val"), 0.0);
    }
    settings.endArray();
    settings.beginReadArray(QStringLiteral("b"));
    for (int i = 0; i < IIR_COEFFICIENTS; ++i) {
        settings.setArrayIndex(i);
        b[i] = reader.number(QStringLiteral("val"), 0.0);
    }
    settings.endArray();
    settings.endGroup();
}

bool ConfigSettings::saveIIR(const double aX[IIR_COEFFICIENTS], const double bX[IIR_COEFFICIENTS],
                             const double aY[IIR_COEFFICIENTS], const double bY[IIR_COEFFICIENTS],
                             const double aI0[IIR_COEFFICIENTS], const double bI0[IIR_COEFFICIENTS])
{
    return write([&](QSettings& s) {
        writeIIRgroup(s, QStringLiteral("IIR_X"), aX, bX);
        writeIIRgroup(s, QStringLiteral("IIR_Y"), aY, bY);
        writeIIRgroup(s, QStringLiteral("IIR_I0"), aI0, bI0);
    });
}

void ConfigSettings::loadIIR(double aX[IIR_COEFFICIENTS], double bX[IIR_COEFFICIENTS], double aY[IIR_COEFFICIENTS],
                             double bY[IIR_COEFFICIENTS], double aI0[IIR_COEFFICIENTS],
                             double bI0[IIR_COEFFICIENTS]) const
{
    ConfigReader reader(m_path, nullptr);
    readIIRgroup(reader, QStringLiteral("IIR_X"), aX, bX);
    readIIRgroup(reader, QStringLiteral("IIR_Y"), aY, bY);
    readIIRgroup(reader, QStringLiteral("IIR_I0"), aI0, bI0);
}

bool ConfigSettings::removeIIR()
{
    return write([](QSettings& s) {
        s.remove(QStringLiteral("IIR_X"));
        s.remove(QStringLiteral("IIR_Y"));
        s.remove(QStringLiteral("IIR_I0"));
    });
}

bool ConfigSettings::hasIIR() const
{
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.childGroups().contains(QStringLiteral("IIR_X"), Qt::CaseSensitive);
}
