#include "BodeExport.h"

#include <QTextStream>

namespace BodeExport {

QString fileName(const QString& chosenPath, const QString& sweepName)
{
    QString base = chosenPath;
    if (base.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        base.chop(4);
    return base + QLatin1Char('_') + sweepName + QStringLiteral(".csv");
}

QString header(bool useBpmScaling)
{
    return useBpmScaling ? QStringLiteral("frequency [Hz], amplitude [um/um], phase [deg]\n")
                         : QStringLiteral("frequency [Hz], amplitude [um], phase [deg]\n");
}

FileWriteResult write(const QString& path, bool useBpmScaling, const QCPGraphDataContainer& magnitude,
                      const QCPGraphDataContainer& phase)
{
    QByteArray text;
    QTextStream out(&text);
    out << header(useBpmScaling);
    auto m = magnitude.constBegin();
    auto p = phase.constBegin();
    for (; m != magnitude.constEnd() && p != phase.constEnd(); ++m, ++p)
        out << m->key << ',' << m->value << ',' << p->value << '\n';
    out.flush();
    // Complete or not at all: an existing file stays as it was when the write fails.
    return replaceFile(path, text);
}

}  // namespace BodeExport
