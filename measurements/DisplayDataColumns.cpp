#include "DisplayDataColumns.h"

#include "Globals.h"

namespace DisplayDataColumns {

namespace {
const QString SEPARATOR = QStringLiteral(", ");
const QString LINE_END = QStringLiteral("\r\n");

QString number(double v) { return QString::number(v, 'g', 6); }
}  // namespace

QString name(Column column)
{
    switch (column) {
    case Zentrim1Ch1: case Zentrim1Ch2: case Zentrim1Ch3: case Zentrim1Ch4:
        return QStringLiteral("Zentrim Ch") + QString::number(column - Zentrim1Ch1 + 1);
    case Zentrim2Ch1: case Zentrim2Ch2: case Zentrim2Ch3: case Zentrim2Ch4:
        return QStringLiteral("Zentrim2 Ch") + QString::number(column - Zentrim2Ch1 + 1);
    case Bpm1PosX: return QStringLiteral("BPM1 Pos X");
    case Bpm1PosY: return QStringLiteral("BPM1 Pos Y");
    case Bpm1I0: return QStringLiteral("BPM1 I0");
    case Bpm2PosX: return QStringLiteral("BPM2 Pos X");
    case Bpm2PosY: return QStringLiteral("BPM2 Pos Y");
    case Bpm2I0: return QStringLiteral("BPM2 I0");
    case OrvaneCh1: case OrvaneCh2: case OrvaneCh3: case OrvaneCh4:
        return QStringLiteral("Orvane Ch") + QString::number(column - OrvaneCh1 + 1);
    case COUNT:
        break;
    }
    return QString();
}

double value(const DisplayRecord& record, Column column)
{
    const double* word = record.word;
    switch (column) {
    case Zentrim1Ch1: case Zentrim1Ch2: case Zentrim1Ch3: case Zentrim1Ch4:
        return word[DisplayRecord::BPM1_CURRENT0 + (column - Zentrim1Ch1)];
    case Zentrim2Ch1: case Zentrim2Ch2: case Zentrim2Ch3: case Zentrim2Ch4:
        return word[DisplayRecord::BPM2_CURRENT0 + (column - Zentrim2Ch1)];
    case Bpm1PosX: return word[DisplayRecord::BPM1_X] * POS_SCALE_X[0];
    case Bpm1PosY: return word[DisplayRecord::BPM1_Y] * POS_SCALE_Y[0];
    case Bpm1I0: return word[DisplayRecord::BPM1_I0];
    case Bpm2PosX: return word[DisplayRecord::BPM2_X] * POS_SCALE_X[1];
    case Bpm2PosY: return word[DisplayRecord::BPM2_Y] * POS_SCALE_Y[1];
    case Bpm2I0: return word[DisplayRecord::BPM2_I0];
    case OrvaneCh1: case OrvaneCh2: case OrvaneCh3: case OrvaneCh4:
        return word[DisplayRecord::OUTPUT0 + (column - OrvaneCh1)];
    case COUNT:
        break;
    }
    return 0.0;
}

QString columnHeader(const Flags& flags)
{
    QString line = QStringLiteral("Nr, Rel. time, ");
    for (int c = 0; c < COUNT; ++c)
        if (flags[size_t(c)])
            line += name(Column(c)) + SEPARATOR;
    return line + LINE_END;
}

QString dataRow(const DisplayRecord& record, unsigned i, const Flags& flags, int sampleHz)
{
    const float relativeTime = float(i) / float(sampleHz);
    QString line = QString::number(i) + SEPARATOR + number(relativeTime) + SEPARATOR;
    for (int c = 0; c < COUNT; ++c)
        if (flags[size_t(c)])
            line += number(value(record, Column(c))) + SEPARATOR;
    return line + LINE_END;
}

}  // namespace DisplayDataColumns
