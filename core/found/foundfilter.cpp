#include "core/found/foundfilter.h"

#include "core/found/foundlistmodel.h"
#include "core/textutil.h"

#include <QSet>

namespace pm {

FileKind fileKindOf(const QString& url, const QString& contentType)
{
    const QString type = contentType.section(QLatin1Char('/'), 0, 0).trimmed().toLower();
    if (type == QLatin1String("image"))
        return FileKind::Image;
    if (type == QLatin1String("video"))
        return FileKind::Video;
    if (type == QLatin1String("audio"))
        return FileKind::Audio;
    static const QSet<QString> images = {"jpg", "jpeg", "gif", "png", "bmp", "webp", "svg", "tif", "tiff", "ico", "avif"};
    static const QSet<QString> videos = {"wmv", "mpg", "mpeg", "mp4", "m4v", "avi", "mov", "mkv", "webm", "flv", "asf", "3gp", "ogv"};
    static const QSet<QString> audio = {"mp3", "wav", "ogg", "oga", "flac", "aac", "m4a", "wma", "opus", "mid", "midi"};
    const QString extension = fileExtension(fileNameOf(url)).section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0).toLower();
    if (images.contains(extension))
        return FileKind::Image;
    if (videos.contains(extension))
        return FileKind::Video;
    if (audio.contains(extension))
        return FileKind::Audio;
    return FileKind::Other;
}

QString FoundFilter::setText(const QString& text)
{
    if (text.startsWith(QLatin1String("re:"))) {
        const QRegularExpression regex(text.mid(3), QRegularExpression::CaseInsensitiveOption);
        if (!regex.isValid())
            return regex.errorString();
        m_regex = regex;
        m_useRegex = true;
        m_text.clear();
        return {};
    }
    m_useRegex = false;
    m_text = text;
    return {};
}

bool FoundFilter::accepts(const QString& url, const FoundDetails& details) const
{
    if (m_newOnly && !details.isNew)
        return false;
    if (m_kind != FileKind::Any && fileKindOf(url, details.contentType) != m_kind)
        return false;
    if (m_useRegex)
        return m_regex.match(url).hasMatch();
    return m_text.isEmpty() || url.contains(m_text, Qt::CaseInsensitive);
}

}  // namespace pm
