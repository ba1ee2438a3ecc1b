#include "core/found/scanrules.h"

#include "core/config/settings.h"
#include "core/textutil.h"

#include <QRegularExpression>

namespace pm {

ScanRules ScanRules::from(const Settings& settings)
{
    return {settings.classicScan, settings.scanLinks, settings.scanImages, settings.imagesAsShown,
            settings.extensions};
}

bool extensionMatches(const QString& address, const QString& extensionList)
{
    if (extensionList.isEmpty())
        return false;
    return extensionList.contains(fileExtension(address), Qt::CaseInsensitive);
}

bool isFetchable(QStringView address)
{
    return address.startsWith(u"http://", Qt::CaseInsensitive) || address.startsWith(u"https://", Qt::CaseInsensitive);
}

namespace {
// Where the address's authority begins, after "scheme://"; -1 when the
// address has no authority (mailto:, data:, a relative address).
qsizetype authorityStart(QStringView address)
{
    qsizetype i = 0;
    while (i < address.size()
           && (address[i].isLetterOrNumber() || address[i] == u'+' || address[i] == u'-' || address[i] == u'.'))
        ++i;
    if (i == 0 || !address.sliced(i).startsWith(u"://"))
        return -1;
    return i + 3;
}
}  // namespace

QString pathExtension(QStringView address)
{
    const qsizetype start = authorityStart(address);
    if (start < 0)
        return {};
    qsizetype end = start;
    while (end < address.size() && address[end] != u'?' && address[end] != u'#')
        ++end;
    const QStringView beforeQuery = address.first(end);
    const qsizetype slash = beforeQuery.lastIndexOf(u'/');
    if (slash < start)  // no path at all
        return {};
    const QStringView segment = beforeQuery.sliced(slash + 1);
    const qsizetype dot = segment.lastIndexOf(u'.');
    if (!segment.contains(u'%'))
        return dot < 0 ? QString() : segment.sliced(dot + 1).toString();
    // "photo%2Ejpg" is photo.jpg, and "%6Apg" is jpg.
    const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(segment.toUtf8()));
    const qsizetype decodedDot = decoded.lastIndexOf(u'.');
    return decodedDot < 0 ? QString() : decoded.sliced(decodedDot + 1);
}

QStringList extensionWords(const QString& extensionList)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    QStringList words = extensionList.split(separators, Qt::SkipEmptyParts);
    for (QString& word : words) {
        if (word.startsWith(u'.'))
            word.remove(0, 1);
    }
    words.removeAll(QString());
    return words;
}

AddressMatcher::AddressMatcher(const ScanRules& rules) : m_classic(rules.classic), m_list(rules.extensions)
{
    if (!m_classic) {
        for (const QString& word : extensionWords(rules.extensions))
            m_words.insert(word.toCaseFolded());
    }
}

bool AddressMatcher::matches(const QString& address) const
{
    if (m_classic)
        return extensionMatches(address, m_list);
    if (!isFetchable(address))
        return false;
    const QString extension = pathExtension(address);
    return !extension.isEmpty() && m_words.contains(extension.toCaseFolded());
}

bool FoundListBuilder::offer(const QString& address)
{
    if (!m_matcher.matches(address))
        return false;
    QString key = address.toCaseFolded();
    if (m_keys.contains(key))
        return false;
    m_keys.insert(std::move(key));
    m_urls.append(address);
    return true;
}

void FoundListBuilder::offerAll(const QStringList& addresses)
{
    for (const QString& address : addresses)
        offer(address);
}

}  // namespace pm
