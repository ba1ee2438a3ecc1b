#include "common/strings.h"

#include <QDir>

namespace pm {

QString GetFileExt(const QString& text)
{
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? text : text.mid(dot + 1);
}

QString GetFileName(const QString& text)
{
    const qsizetype slash = std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
    return text.mid(slash + 1);
}

void SplitPath(const QString& fullName, QString& folder, QString& fileName)
{
    const qsizetype sep = fullName.lastIndexOf(QDir::separator());
    folder = sep < 0 ? QString() : fullName.left(sep);
    fileName = fullName.mid(sep + 1);
}

namespace {
// A field is the number with a "0" put in front, of which the last two
// characters stay; hours may need more digits and keep them all.
QString twoDigits(qint64 value)
{
    const QString text = QLatin1Char('0') + QString::number(value);
    return text.right(2);
}
}  // namespace

QString FormatElapsed(qint64 seconds)
{
    qint64 m = seconds / 60;  // C++ division truncates toward zero
    const qint64 s = seconds - 60 * m;
    const qint64 h = m / 60;
    m -= 60 * h;
    const QString hours = (h > 99 || h < -9) ? QString::number(h) : twoDigits(h);
    return hours + QLatin1Char(':') + twoDigits(m) + QLatin1Char(':') + twoDigits(s);
}

}  // namespace pm
