#include "core/textutil.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>

namespace pm {

QString fileExtension(const QString& text)
{
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? text : text.mid(dot + 1);
}

QString fileNameOf(const QString& text)
{
    const qsizetype slash = std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
    return text.mid(slash + 1);
}

PathParts splitPath(const QString& fullName)
{
    const qsizetype sep = fullName.lastIndexOf(QDir::separator());
    return {sep < 0 ? QString() : fullName.left(sep), fullName.mid(sep + 1)};
}

namespace {
// A field is the number with a "0" put in front, of which the last two
// characters stay; hours may need more digits and keep them all.
QString twoDigits(qint64 value)
{
    return (QLatin1Char('0') + QString::number(value)).right(2);
}

// The locale's long time format without its time-zone part ("t", "tt", ...).
QString timeFormatWithoutZone(const QLocale& locale)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

// The last text made, for the run of log lines written within one second.
struct DateTextCache {
    QString localeName;
    QDateTime when;
    QString text;
};
}  // namespace

QString formatElapsed(qint64 seconds)
{
    qint64 m = seconds / 60;  // C++ division truncates toward zero
    const qint64 s = seconds - 60 * m;
    const qint64 h = m / 60;
    m -= 60 * h;
    const QString hours = (h > 99 || h < -9) ? QString::number(h) : twoDigits(h);
    return hours + QLatin1Char(':') + twoDigits(m) + QLatin1Char(':') + twoDigits(s);
}

QString generalDateText(const QDateTime& when)
{
    // Formatting a date is costly and every log line needs one, mostly of
    // the same second as the line before.
    static thread_local DateTextCache cache;
    const QLocale locale;
    QDateTime second = when;
    second.setTime(QTime(when.time().hour(), when.time().minute(), when.time().second()));
    if (cache.when == second && cache.localeName == locale.name())
        return cache.text;
    QString text = locale.toString(when.date(), QLocale::ShortFormat);
    if (second.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(second.time(), timeFormatWithoutZone(locale));
    cache = {locale.name(), second, text};
    return text;
}

QString standardNumberText(double value)
{
    return QLocale().toString(value, 'f', 2);
}

std::optional<double> parseNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString nextBusyText(const QString& current, const QString& word, int maxDots)
{
    if (!current.startsWith(word, Qt::CaseInsensitive))
        return word;
    if (current.endsWith(QString(maxDots, QLatin1Char('.'))))
        return word;
    return current + QLatin1Char('.');
}

QDateTime SecondClock::now()
{
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_second) {
        m_second = second;
        m_now = QDateTime::fromSecsSinceEpoch(second);
    }
    return m_now;
}

}  // namespace pm
