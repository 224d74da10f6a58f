#include "ConfigSettings.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QTemporaryFile>

#include <cmath>

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

// Percentage of one axis, when that axis gives a number.
bool axisPercent(double roi, double roc, double* percent)
{
    if (roi == 0.0)
        return false;
    const double p = roc / roi * 100.0;
    if (!std::isfinite(p))
        return false;
    *percent = p;
    return true;
}

// Content of each file this process last found parsable or has copied away,
// by path: the check runs again only when the file changed.
QMutex& backupMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<QString, QByteArray>& checkedContent()
{
    static QHash<QString, QByteArray> content;
    return content;
}

// QSettings parses a file once and serves every later object from its cache,
// without the error; a private copy of the bytes gives a status of its own.
bool isUnparsable(const QByteArray& content)
{
    QTemporaryFile probe(QDir::tempPath() + QStringLiteral("/vorn-config-check-XXXXXX.ini"));
    // Unchecked is treated as unparsable: one copy too many is cheap.
    if (!probe.open() || probe.write(content) != content.size() || !probe.flush())
        return true;
    QSettings settings(probe.fileName(), QSettings::IniFormat);
    // Sections are parsed on first use: listing every key parses them all.
    settings.allKeys();
    return settings.status() == QSettings::FormatError;
}

// Writes data to a file that did not exist before; never replaces an earlier copy.
QString writeNewCopy(const QString& path, const QByteArray& data)
{
    const QString base = path + QStringLiteral(".corrupt-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const QString name = attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
        QFile copy(name);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (copy.exists())
                continue;
            return QString();
        }
        if (copy.write(data) != data.size() || !copy.flush()) {
            copy.close();
            copy.remove();
            return QString();
        }
        copy.close();
        return name;
    }
    return QString();
}

// One write: the settings object, then a check that the file took it.
struct WriteSession
{
    explicit WriteSession(const QString& path)
        : settings(path, QSettings::IniFormat)
    {
    }
    ~WriteSession()
    {
        settings.sync();
        if (settings.status() != QSettings::AccessError)
            return;
        const QString path = QDir::toNativeSeparators(QFileInfo(settings.fileName()).absoluteFilePath());
        QLOG_WARN() << "Configuration file" << path << "could not be written; the change is lost";
    }
    QSettings settings;
};

}  // namespace

ConfigSettings::ConfigSettings(const QString& path)
    : m_path(path)
{
}

QString ConfigSettings::fileProblem() const
{
    if (!QFileInfo::exists(m_path))
        return QStringLiteral("is missing");
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read");
    if (isUnparsable(file.readAll()))
        return QStringLiteral("cannot be parsed");
    return QString();
}

bool ConfigSettings::mayWrite() const
{
    // A missing or unreadable file has nothing to lose; QSettings leaves an
    // unreadable one alone.
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QString absolute = QFileInfo(m_path).absoluteFilePath();
    const QByteArray content = file.readAll();
    file.close();
    const QByteArray digest = QCryptographicHash::hash(content, QCryptographicHash::Sha256);

    QMutexLocker lock(&backupMutex());
    if (checkedContent().value(absolute) == digest)
        return true;
    if (!isUnparsable(content)) {
        checkedContent().insert(absolute, digest);
        return true;
    }
    const QString copy = writeNewCopy(absolute, content);
    if (copy.isEmpty()) {
        QLOG_ERROR() << "Configuration file" << QDir::toNativeSeparators(absolute)
                     << "has lines that cannot be parsed and no copy of it could be made; the change is not written";
        return false;
    }
    checkedContent().insert(absolute, digest);
    QLOG_WARN() << "Configuration file" << QDir::toNativeSeparators(absolute)
                << "has lines that cannot be parsed; kept a copy in" << QDir::toNativeSeparators(copy);
    return true;
}

// ---- BPMn ----

void ConfigSettings::setOrient(int value, int bpm)
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "Orient"), value);
}

int ConfigSettings::getOrient(int bpm) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return 0;
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(key(group, "Orient"), 0).toInt();
}

void ConfigSettings::setScaleX(int bpm, double value)
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "Scale_X"), value);
}

void ConfigSettings::setScaleY(int bpm, double value)
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "Scale_Y"), value);
}

double ConfigSettings::getScaleX(int bpm) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return 0.0;
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(key(group, "Scale_X"), 0.0).toDouble();
}

double ConfigSettings::getScaleY(int bpm) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return 0.0;
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(key(group, "Scale_Y"), 0.0).toDouble();
}

void ConfigSettings::setOffsetX(int bpm, double value)
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "Offset_X"), value);
}

void ConfigSettings::setOffsetY(int bpm, double value)
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "Offset_Y"), value);
}

double ConfigSettings::getOffsetX(int bpm) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return 0.0;
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(key(group, "Offset_X"), 0.0).toDouble();
}

double ConfigSettings::getOffsetY(int bpm) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return 0.0;
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(key(group, "Offset_Y"), 0.0).toDouble();
}

void ConfigSettings::setQuadrants(int top, int right, int bottom, int left, int bpm)
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "Top"), top);
    settings.setValue(key(group, "Right"), right);
    settings.setValue(key(group, "Bottom"), bottom);
    settings.setValue(key(group, "Left"), left);
}

void ConfigSettings::getQuadrants(int* top, int* right, int* bottom, int* left, int bpm) const
{
    const QString group = bpmGroup(bpm);
    if (group.isEmpty()) {
        assign(top, 0);
        assign(right, 0);
        assign(bottom, 0);
        assign(left, 0);
        return;
    }
    QSettings settings(m_path, QSettings::IniFormat);
    assign(top, settings.value(key(group, "Top"), 0).toInt());
    assign(right, settings.value(key(group, "Right"), 0).toInt());
    assign(bottom, settings.value(key(group, "Bottom"), 0).toInt());
    assign(left, settings.value(key(group, "Left"), 0).toInt());
}

// ---- ROCandROI[2] ----

void ConfigSettings::saveROCandROI(int bpm, double roiX, double roiY, double roiI0min, double roiI0max,
                                   double rocPercent)
{
    const QString group = limitsGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "RoiX"), roiX);
    settings.setValue(key(group, "RoiY"), roiY);
    settings.setValue(key(group, "RoiI0min"), roiI0min);
    settings.setValue(key(group, "RoiI0max"), roiI0max);
    settings.setValue(key(group, "RocX"), roiX * rocPercent / 100.0);
    settings.setValue(key(group, "RocY"), roiY * rocPercent / 100.0);
}

void ConfigSettings::loadROCandROI(double* roiX, double* roiY, double* roiI0min, double* roiI0max,
                                   double* rocPercent, int bpm) const
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
    QSettings settings(m_path, QSettings::IniFormat);
    const double x = settings.value(key(group, "RoiX"), 0.0).toDouble();
    const double y = settings.value(key(group, "RoiY"), 0.0).toDouble();
    assign(roiX, x);
    assign(roiY, y);
    assign(roiI0min, settings.value(key(group, "RoiI0min"), 0.0).toDouble());
    assign(roiI0max, settings.value(key(group, "RoiI0max"), 0.0).toDouble());

    // Both ROC half-widths were written with one percentage: without a usable
    // X axis the Y axis gives it back, and without either it is 0.
    double percent = 0.0;
    if (!axisPercent(x, settings.value(key(group, "RocX"), 0.0).toDouble(), &percent))
        if (!axisPercent(y, settings.value(key(group, "RocY"), 0.0).toDouble(), &percent))
            percent = 0.0;
    assign(rocPercent, percent);
}

void ConfigSettings::saveROCenables(bool rocX1, bool rocY1, bool beamOff1, bool rocX2, bool rocY2, bool beamOff2)
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    const QString first = limitsGroup(0);
    const QString second = limitsGroup(1);
    settings.setValue(key(first, "RocXenable"), rocX1);
    settings.setValue(key(first, "RocYenable"), rocY1);
    settings.setValue(key(first, "BeamOffEnable"), beamOff1);
    settings.setValue(key(second, "RocXenable"), rocX2);
    settings.setValue(key(second, "RocYenable"), rocY2);
    settings.setValue(key(second, "BeamOffEnable"), beamOff2);
}

void ConfigSettings::setBeamOffTh(int bpm, double value)
{
    const QString group = limitsGroup(bpm);
    if (group.isEmpty())
        return;
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(key(group, "BeamOffTh"), value);
}

void ConfigSettings::getBeamOffTh(double* value, int bpm) const
{
    const QString group = limitsGroup(bpm);
    if (group.isEmpty()) {
        assign(value, 0.0);
        return;
    }
    QSettings settings(m_path, QSettings::IniFormat);
    assign(value, settings.value(key(group, "BeamOffTh"), 0.0).toDouble());
}

// ---- PID_X, PID_Y, PID_I0 ----

namespace {

void writePid(QSettings& settings, const QString& group, const double (&values)[10])
{
    for (int i = 0; i < 10; ++i)
        settings.setValue(key(group, PID_KEYS[i]), values[i]);
}

void readPid(QSettings& settings, const QString& group, double* const (&targets)[10])
{
    for (int i = 0; i < 10; ++i) {
        // A hand-edited "nan" or "inf" would reach the controller as a gain or
        // a limit; it reads as a missing key.
        const double value = settings.value(key(group, PID_KEYS[i]), 0.0).toDouble();
        assign(targets[i], std::isfinite(value) ? value : 0.0);
    }
}

}  // namespace

void ConfigSettings::savePIDX(double freq, double kp, double ki, double kd, double emin, double imax, double omin,
                              double omax, double ogain, double offset)
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    writePid(settings, QStringLiteral("PID_X"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::savePIDY(double freq, double kp, double ki, double kd, double emin, double imax, double omin,
                              double omax, double ogain, double offset)
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    writePid(settings, QStringLiteral("PID_Y"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::savePIDI0(double freq, double kp, double ki, double kd, double emin, double imax, double omin,
                               double omax, double ogain, double offset)
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    writePid(settings, QStringLiteral("PID_I0"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::loadPIDX(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax,
                              double* omin, double* omax, double* ogain, double* offset) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    readPid(settings, QStringLiteral("PID_X"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::loadPIDY(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax,
                              double* omin, double* omax, double* ogain, double* offset) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    readPid(settings, QStringLiteral("PID_Y"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::loadPIDI0(double* freq, double* kp, double* ki, double* kd, double* emin, double* imax,
                               double* omin, double* omax, double* ogain, double* offset) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    readPid(settings, QStringLiteral("PID_I0"), {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset});
}

void ConfigSettings::getPIDenable(int* x, int* y, int* i0) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    assign(x, settings.value(QStringLiteral("PID_X/enable"), 0).toInt());
    assign(y, settings.value(QStringLiteral("PID_Y/enable"), 0).toInt());
    assign(i0, settings.value(QStringLiteral("PID_I0/enable"), 0).toInt());
}

// ---- Beamline ----

void ConfigSettings::setDACmap(int posX, int posY, int i0)
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(QStringLiteral("Beamline/DAC_posX"), posX);
    settings.setValue(QStringLiteral("Beamline/DAC_posY"), posY);
    settings.setValue(QStringLiteral("Beamline/DAC_I0"), i0);
}

void ConfigSettings::getDACmap(int* posX, int* posY, int* i0) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    assign(posX, settings.value(QStringLiteral("Beamline/DAC_posX"), 0).toInt());
    assign(posY, settings.value(QStringLiteral("Beamline/DAC_posY"), 1).toInt());
    assign(i0, settings.value(QStringLiteral("Beamline/DAC_I0"), 2).toInt());
}

void ConfigSettings::setBPMmap(int posX, int posY, int i0)
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.setValue(QStringLiteral("Beamline/BPM_posX"), posX);
    settings.setValue(QStringLiteral("Beamline/BPM_posY"), posY);
    settings.setValue(QStringLiteral("Beamline/BPM_I0"), i0);
}

void ConfigSettings::getBPMmap(int* posX, int* posY, int* i0) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    assign(posX, settings.value(QStringLiteral("Beamline/BPM_posX"), 0).toInt());
    assign(posY, settings.value(QStringLiteral("Beamline/BPM_posY"), 0).toInt());
    assign(i0, settings.value(QStringLiteral("Beamline/BPM_I0"), 0).toInt());
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
        settings.setValue(QStringLiteral("val"), a[i]);
    }
    settings.endArray();
    settings.beginReadArray(QStringLiteral("b"));
    for (int i = 0; i < IIR_COEFFICIENTS; ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("val"), b[i]);
    }
    settings.endArray();
    settings.endGroup();
}

void ConfigSettings::readIIRgroup(QSettings& settings, const QString& group, double a[IIR_COEFFICIENTS],
                                  double b[IIR_COEFFICIENTS])
{
    // Ten entries whatever the file holds: there is no size key to trust.
    settings.beginGroup(group);
    settings.beginReadArray(QStringLiteral("a"));
    for (int i = 0; i < IIR_COEFFICIENTS; ++i) {
        settings.setArrayIndex(i);
        a[i] = settings.value(QStringLiteral("val"), 0.0).toDouble();
    }
    settings.endArray();
    settings.beginReadArray(QStringLiteral("b"));
    for (int i = 0; i < IIR_COEFFICIENTS; ++i) {
        settings.setArrayIndex(i);
        b[i] = settings.value(QStringLiteral("val"), 0.0).toDouble();
    }
    settings.endArray();
    settings.endGroup();
}

void ConfigSettings::saveIIR(const double aX[IIR_COEFFICIENTS], const double bX[IIR_COEFFICIENTS],
                             const double aY[IIR_COEFFICIENTS], const double bY[IIR_COEFFICIENTS],
                             const double aI0[IIR_COEFFICIENTS], const double bI0[IIR_COEFFICIENTS])
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    writeIIRgroup(settings, QStringLiteral("IIR_X"), aX, bX);
    writeIIRgroup(settings, QStringLiteral("IIR_Y"), aY, bY);
    writeIIRgroup(settings, QStringLiteral("IIR_I0"), aI0, bI0);
}

void ConfigSettings::loadIIR(double aX[IIR_COEFFICIENTS], double bX[IIR_COEFFICIENTS], double aY[IIR_COEFFICIENTS],
                             double bY[IIR_COEFFICIENTS], double aI0[IIR_COEFFICIENTS],
                             double bI0[IIR_COEFFICIENTS]) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    readIIRgroup(settings, QStringLiteral("IIR_X"), aX, bX);
    readIIRgroup(settings, QStringLiteral("IIR_Y"), aY, bY);
    readIIRgroup(settings, QStringLiteral("IIR_I0"), aI0, bI0);
}

void ConfigSettings::removeIIR()
{
    if (!mayWrite())
        return;
    WriteSession session(m_path);
    QSettings& settings = session.settings;
    settings.remove(QStringLiteral("IIR_X"));
    settings.remove(QStringLiteral("IIR_Y"));
    settings.remove(QStringLiteral("IIR_I0"));
}

bool ConfigSettings::hasIIR() const
{
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.childGroups().contains(QStringLiteral("IIR_X"), Qt::CaseSensitive);
}
