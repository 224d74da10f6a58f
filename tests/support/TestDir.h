#pragma once
// A scratch directory under the build tree's test-tmp (VORN_TEST_TMP) when the
// test runs under CTest, else under the system temp directory.
#include <QDir>
#include <QTemporaryDir>

inline QString testDirTemplate(const QString& testName)
{
    QString base = qEnvironmentVariable("VORN_TEST_TMP");
    if (base.isEmpty())
        base = QDir::tempPath();
    QDir().mkpath(base);
    return base + QLatin1Char('/') + testName + QStringLiteral("-XXXXXX");
}
