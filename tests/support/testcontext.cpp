#include "tests/support/testcontext.h"

#include "core/csvlog.h"

#include <QFile>
#include <QRegularExpression>

namespace pm::test {

TestContext::TestContext(const QString& parent)
    : dir(parent.isEmpty() ? QTemporaryDir() : QTemporaryDir(parent + QStringLiteral("/pullmark-test-XXXXXX")))
{
    app.setProgramFolder(dir.path());
    settings.activityLogFile = path(QStringLiteral("test.log"));
}

QStringList TestContext::logMessages() const
{
    QStringList messages;
    for (const QString& line : crlfLines(readAll(settings.activityLogFile)))
        messages << line.section(QLatin1Char('\t'), 1);
    return messages;
}

QStringList TestContext::errorLines() const
{
    return logMessages().filter(QRegularExpression(QStringLiteral("^Error #")));
}

QStringList TestContext::csvRows() const
{
    return crlfLines(readAll(csvFileNameFor(settings.activityLogFile)));
}

QByteArray readAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QStringList crlfLines(const QByteArray& bytes)
{
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList folderFiles(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace pm::test
