#include "core/scraper.h"

#include "core/textutil.h"

#include <QFile>
#include <QVariantMap>

static void initScraperResources()
{
    Q_INIT_RESOURCE(core);
}

namespace pm {

bool extensionMatches(const QString& address, const QString& extensionList)
{
    if (extensionList.isEmpty())
        return false;
    return extensionList.contains(fileExtension(address), Qt::CaseInsensitive);
}

bool FoundListBuilder::offer(const QString& address)
{
    if (!extensionMatches(address, m_extensionList))
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

PageScan parsePageScan(const QVariant& result)
{
    PageScan scan;
    if (result.typeId() != QMetaType::QVariantMap)
        return scan;
    const QVariantMap page = result.toMap();
    scan.hasDocument = true;
    scan.href = page.value(QStringLiteral("href")).toString();
    scan.url = page.value(QStringLiteral("url")).toString();
    scan.error = page.value(QStringLiteral("error")).toString();
    if (scan.error.isEmpty() && !page.value(QStringLiteral("html")).toBool())
        scan.error = QStringLiteral("The document on display is not an HTML document");
    if (!scan.error.isEmpty())
        return scan;

    const QVariantList documents = page.value(QStringLiteral("documents")).toList();
    scan.documents.reserve(documents.size());
    for (const QVariant& item : documents) {
        const QVariantMap map = item.toMap();
        ScannedDocument doc;
        if (map.contains(QStringLiteral("error"))) {
            doc.kind = ScannedDocument::Unreadable;
            doc.error = map.value(QStringLiteral("error")).toString();
        } else if (map.contains(QStringLiteral("links"))) {
            doc.kind = ScannedDocument::Read;
            doc.links = map.value(QStringLiteral("links")).toStringList();
            doc.images = map.value(QStringLiteral("images")).toStringList();
        }
        scan.documents.append(std::move(doc));
    }
    return scan;
}

QString scrapeScript(bool scanLinks, bool scanImages)
{
    static const QString body = [] {
        initScraperResources();
        QFile file(QStringLiteral(":/pullmark/scrape.js"));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }();
    auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    return body + QLatin1Char('(') + flag(scanLinks) + QStringLiteral(", ") + flag(scanImages) + QStringLiteral(");\n");
}

}  // namespace pm
