#include "core/config/configformat.h"

#include "core/diagnostics/errors.h"

#include <QLocale>
#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace pm {

QList<ConfigField> splitConfigLine(QStringView line)
{
    QList<ConfigField> fields;
    const qsizetype n = line.size();
    if (line.trimmed().isEmpty())
        return fields;
    qsizetype i = 0;
    while (true) {
        while (i < n && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
            ++i;
        ConfigField field;
        if (i < n && line[i] == QLatin1Char('"')) {
            // The closing quote is the first one followed, blanks aside, by
            // a comma or the line's end: a quote inside a text, which the
            // file cannot escape, stays part of it.
            qsizetype close = line.indexOf(QLatin1Char('"'), i + 1);
            qsizetype after = n;
            while (close >= 0) {
                after = close + 1;
                while (after < n && (line[after] == QLatin1Char(' ') || line[after] == QLatin1Char('\t')))
                    ++after;
                if (after == n || line[after] == QLatin1Char(','))
                    break;
                close = line.indexOf(QLatin1Char('"'), close + 1);
            }
            field.quoted = true;
            field.cut = close < 0;
            field.text = line.mid(i + 1, (close < 0 ? n : close) - i - 1).toString();
            i = close < 0 ? n : after;
        } else {
            const qsizetype comma = line.indexOf(QLatin1Char(','), i);
            const qsizetype end = comma < 0 ? n : comma;
            field.text = line.mid(i, end - i).trimmed().toString();
            i = end;
        }
        fields.append(std::move(field));
        if (i >= n)
            break;
        ++i;  // past the comma
    }
    return fields;
}

bool flagFromField(const ConfigField& field)
{
    const QString text = field.text.trimmed();
    if (!field.quoted) {
        if (text.compare(QLatin1String("#TRUE#"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("#FALSE#"), Qt::CaseInsensitive) == 0)
            return false;
    }
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = QLocale::c().toDouble(text, &ok);
    if (ok && std::isfinite(number))
        return number != 0;
    throw RuntimeError::of(ErrTypeMismatch, field.text);
}

namespace {
const QRegularExpression& numberPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?)"));
    return pattern;
}

// Locale-independent: "." is always the decimal separator. Out-of-range
// values come back as infinity.
double parseNumber(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    bool negative = false;
    if (!bytes.isEmpty() && (bytes[0] == '+' || bytes[0] == '-')) {
        negative = bytes[0] == '-';
        bytes.remove(0, 1);
    }
    double value = 0;
    const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();
    return negative ? -value : value;
}
}  // namespace

float numberFromField(const ConfigField& field)
{
    const QString text = field.text.trimmed();
    const QRegularExpressionMatch match = numberPattern().match(text);
    if (!match.hasMatch() || match.capturedLength(0) != text.size())
        throw RuntimeError::of(ErrTypeMismatch, field.text);
    const double number = parseNumber(match.captured(1));
    if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max())
        throw RuntimeError::of(ErrOverflow, field.text);
    return float(number);
}

QString flagText(bool value)
{
    return value ? QStringLiteral("#TRUE#") : QStringLiteral("#FALSE#");
}

QString numberText(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QStringLiteral("0");
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

double leadingNumber(QStringView text)
{
    const QRegularExpressionMatch match = numberPattern().match(text.toString());
    if (!match.hasMatch())
        return 0;
    return parseNumber(match.captured(1));
}

}  // namespace pm
