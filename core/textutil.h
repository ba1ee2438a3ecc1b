#pragma once
// Small text routines shared across the program: parts of addresses and
// paths, clock and number texts, and the busy-dot animation.

#include <QDateTime>
#include <QString>

#include <optional>

namespace pm {

// Everything after the last "." (the whole text when there is none; "" when
// the text ends in "."). Query strings and fragments are kept.
QString fileExtension(const QString& text);

// Everything after the last "/" or "\" (URLs and Windows-style paths alike).
QString fileNameOf(const QString& text);

// A full file name split at its last native separator. Without a separator
// the folder is empty.
struct PathParts {
    QString folder;
    QString fileName;
};
PathParts splitPath(const QString& fullName);

// Whole seconds as "hh:mm:ss": two digits per field, hours widen past 99.
// Negative counts give negative fields, as the clock arithmetic yields them.
QString formatElapsed(qint64 seconds);

// The locale's short date, a blank and the time with seconds, without a
// time-zone name; the time is left out at exactly midnight.
QString generalDateText(const QDateTime& when);

// The local date and time of the current second. The clock's second is
// cheap to read; the local time of it costs a time-zone look-up, which a
// session of small files would pay several times per file. So each second
// is turned into a local time once.
class SecondClock {
public:
    QDateTime now();
    // The second now() gave last, since the epoch.
    qint64 second() const { return m_second; }

private:
    qint64 m_second = -1;
    QDateTime m_now;
};

// Digit grouping and exactly two decimals in the current locale: "1,234.50".
QString standardNumberText(double value);

// A number typed by the user: the current locale's notation first, then the
// C locale's. Blanks around it are allowed.
std::optional<double> parseNumber(const QString& text);

// One tick of a busy animation: `word`, then one more dot per tick up to
// `maxDots`, then the word alone again. A text that does not begin with the
// word (any case) becomes the word.
QString nextBusyText(const QString& current, const QString& word, int maxDots);

}  // namespace pm
