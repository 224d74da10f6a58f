#include "SfpFormat.h"

#include <QChar>
#include <QStringList>

QString sfpIdText(uint16_t id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

QString sfpVersionText(uint32_t version)
{
    QStringList parts;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint8_t code = uint8_t(version >> shift);
        const QChar character = QChar::fromLatin1(char(code));
        parts << (character.isPrint() && !character.isSpace() ? QString(character) : QString::number(code));
    }
    return parts.join(QLatin1Char('.'));
}
