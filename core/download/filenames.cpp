#include "core/download/filenames.h"

#include <QFile>
#include <QList>
#include <QMimeDatabase>
#include <QStringDecoder>
#include <QUrl>

namespace pm {

namespace {
qsizetype fileBytes(const QString& name)
{
    return QFile::encodeName(name).size();
}

// The longest start of `text` that fits in `bytes` bytes, never ending
// inside a character.
QString cutToBytes(const QString& text, qsizetype bytes)
{
    QString cut;
    qsizetype used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        used += fileBytes(character);
        if (used > bytes)
            break;
        cut += character;
        i += length;
    }
    return cut;
}

// RFC 5987's ext-value: charset "'" language "'" percent-encoded bytes.
// Only the two charsets the RFC requires are read; "" for any other.
QString extendedValue(const QByteArray& value)
{
    const QList<QByteArray> parts = value.split('\'');
    if (parts.size() != 3)
        return {};
    const QByteArray charset = parts.at(0).trimmed().toLower();
    const QByteArray bytes = QByteArray::fromPercentEncoding(parts.at(2));
    if (charset == "utf-8") {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(bytes);
        return decoder.hasError() ? QString() : text;
    }
    if (charset == "iso-8859-1")
        return QString::fromLatin1(bytes);
    return {};
}

// The parameters of a header value "type; name=value; name="quoted"", names
// in lower case, quoted strings unescaped. The first of a repeated name wins.
QList<std::pair<QByteArray, QByteArray>> headerParameters(const QByteArray& header)
{
    QList<std::pair<QByteArray, QByteArray>> parameters;
    qsizetype i = header.indexOf(';');
    while (i >= 0 && i < header.size()) {
        ++i;  // past ';'
        const qsizetype equals = header.indexOf('=', i);
        const qsizetype nextSemicolon = header.indexOf(';', i);
        if (equals < 0 || (nextSemicolon >= 0 && nextSemicolon < equals)) {
            i = nextSemicolon;  // a parameter without a value
            continue;
        }
        const QByteArray name = header.mid(i, equals - i).trimmed().toLower();
        i = equals + 1;
        while (i < header.size() && (header.at(i) == ' ' || header.at(i) == '\t'))
            ++i;
        QByteArray value;
        if (i < header.size() && header.at(i) == '"') {
            for (++i; i < header.size() && header.at(i) != '"'; ++i) {
                if (header.at(i) == '\\' && i + 1 < header.size())
                    ++i;
                value += header.at(i);
            }
            i = header.indexOf(';', i);
        } else {
            const qsizetype end = header.indexOf(';', i);
            value = header.mid(i, end < 0 ? -1 : end - i).trimmed();
            i = end;
        }
        parameters.append({name, value});
    }
    return parameters;
}

QString decodedHeaderText(const QByteArray& bytes)
{
    // Servers send UTF-8 in the plain form too; anything else is read as
    // ISO-8859-1, the header's own charset.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

// "index" and the extension the answer's type has, when it has one.
QString indexName(const QString& contentType)
{
    const QString type = contentType.section(QLatin1Char(';'), 0, 0).trimmed();
    const QString suffix = type.isEmpty() ? QString() : QMimeDatabase().mimeTypeForName(type).preferredSuffix();
    return suffix.isEmpty() ? QStringLiteral("index") : QStringLiteral("index.") + suffix;
}
}  // namespace

QString safeFileName(const QString& name)
{
    const qsizetype separator = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    QString safe;
    for (const QChar c : name.mid(separator + 1)) {
        if (c.category() != QChar::Other_Control)
            safe += c;
    }
    qsizetype dots = 0;
    while (dots < safe.size() && safe.at(dots) == QLatin1Char('.'))
        ++dots;
    safe.remove(0, dots);
    if (fileBytes(safe) <= kLongestFileName)
        return safe;
    // Too long: the start is cut, the extension kept when it is short.
    const qsizetype dot = safe.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? safe.mid(dot) : QString();
    if (extension.isEmpty() || fileBytes(extension) > kLongestFileName / 2)
        return cutToBytes(safe, kLongestFileName);
    return cutToBytes(safe.left(dot), kLongestFileName - fileBytes(extension)) + extension;
}

std::optional<QString> addressFileName(const QString& url)
{
    // Split before decoding: an encoded "/" belongs to the segment.
    const QByteArray path = QUrl(url).path(QUrl::FullyEncoded).toUtf8();
    const QString segment = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf('/') + 1));
    if (segment == QLatin1String(".") || segment == QLatin1String(".."))
        return std::nullopt;
    return safeFileName(segment);
}

QString dispositionFileName(const QByteArray& header)
{
    QString plain;
    bool havePlain = false;
    for (const auto& [name, value] : headerParameters(header)) {
        if (name == "filename*") {
            if (const QString extended = extendedValue(value); !extended.isEmpty())
                return extended;
        } else if (name == "filename" && !havePlain) {
            plain = decodedHeaderText(value);
            havePlain = true;
        }
    }
    return plain;
}

std::optional<QString> savedFileName(const QString& url, const ServerAnswer& answer)
{
    const std::optional<QString> fromAddress = addressFileName(url);
    if (!fromAddress)
        return std::nullopt;
    QString name = safeFileName(dispositionFileName(answer.contentDisposition));
    if (name.isEmpty())
        name = *fromAddress;
    return name.isEmpty() ? indexName(answer.contentType) : name;
}

QString shownFileName(const QString& url)
{
    return savedFileName(url).value_or(QUrl(url).fileName());
}

}  // namespace pm
