#include "tests/support/testutil.h"

namespace pm::test {

QByteArray readAll(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
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

QStringList FreshSettings::logMessages() const
{
    QStringList messages;
    for (const QString& line : crlfLines(readAll(path(QStringLiteral("test.log")))))
        messages << line.section(QLatin1Char('\t'), 1);
    return messages;
}

}  // namespace pm::test
