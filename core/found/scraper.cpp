#include "core/found/scraper.h"

#include "core/textutil.h"

#include <QFile>
#include <QVariantMap>

#include <utility>

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
            doc.id = map.value(QStringLiteral("id")).toInt();
            doc.links = map.value(QStringLiteral("links")).toStringList();
            doc.images = map.value(QStringLiteral("images")).toStringList();
        } else if (map.value(QStringLiteral("same")).toBool()) {
            doc.kind = ScannedDocument::Read;
            doc.id = map.value(QStringLiteral("id")).toInt();
            doc.unchanged = true;
        }
        scan.documents.append(std::move(doc));
    }
    return scan;
}

QString scrapeScript(bool scanLinks, bool scanImages, int epoch)
{
    static const QString body = [] {
        initScraperResources();
        QFile file(QStringLiteral(":/pullmark/scrape.js"));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }();
    auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    return body + QLatin1Char('(') + flag(scanLinks) + QStringLiteral(", ") + flag(scanImages) + QStringLiteral(", ")
        + QString::number(epoch) + QStringLiteral(");\n");
}

void LoadScans::begin(int generation)
{
    m_generation = generation;
    forgetReads();
    m_answers.clear();
    m_nonHtmlReported = false;
    m_listShown = false;
}

void LoadScans::forgetReads()
{
    m_reads.clear();
    m_list.reset();
    ++m_epoch;  // never given before, so the page reads every document anew
}

int LoadScans::prepareRead(bool scanLinks, bool scanImages)
{
    if (scanLinks != m_scanLinks || scanImages != m_scanImages) {
        m_scanLinks = scanLinks;
        m_scanImages = scanImages;
        forgetReads();
    }
    return m_epoch;
}

bool LoadScans::resolve(PageScan& page)
{
    QHash<int, ScannedDocument> reads;  // only the documents still on the page
    for (ScannedDocument& doc : page.documents) {
        if (doc.kind != ScannedDocument::Read)
            continue;
        if (doc.unchanged) {
            const auto held = m_reads.constFind(doc.id);
            if (held == m_reads.constEnd()) {
                forgetReads();
                return false;
            }
            doc.links = held->links;
            doc.images = held->images;
        }
        reads.insert(doc.id, doc);
    }
    m_reads = std::move(reads);
    return true;
}

QList<int> LoadScans::documentsOf(const PageScan& page)
{
    QList<int> documents;
    documents.reserve(page.documents.size());
    for (const ScannedDocument& doc : page.documents)
        documents.append(doc.kind == ScannedDocument::Read ? doc.id : -int(doc.kind));
    return documents;
}

QString LoadScans::rulesOf(const QString& extensionList, bool scanLinks, bool scanImages)
{
    return QLatin1String(scanLinks ? "L" : "-") + QLatin1String(scanImages ? "I" : "-") + extensionList;
}

const FoundList* LoadScans::unchangedList(const PageScan& page, const QString& extensionList, bool scanLinks,
                                          bool scanImages) const
{
    if (!m_list)
        return nullptr;
    for (const ScannedDocument& doc : page.documents) {
        if (doc.kind == ScannedDocument::Read && !doc.unchanged)
            return nullptr;
    }
    if (documentsOf(page) != m_listDocuments || rulesOf(extensionList, scanLinks, scanImages) != m_listRules)
        return nullptr;
    return m_list.get();
}

void LoadScans::keepList(const PageScan& page, const QString& extensionList, bool scanLinks, bool scanImages,
                         const FoundList& list)
{
    m_list = std::make_unique<FoundList>(list);
    m_listDocuments = documentsOf(page);
    m_listRules = rulesOf(extensionList, scanLinks, scanImages);
}

std::optional<bool> LoadScans::answerFor(int position) const
{
    const auto answer = m_answers.constFind(position);
    if (answer == m_answers.constEnd())
        return std::nullopt;
    return *answer;
}

bool LoadScans::firstNonHtmlReport()
{
    return !std::exchange(m_nonHtmlReported, true);
}

FoundList buildFoundList(const PageScan& page, const QString& extensionList, bool scanLinks, bool scanImages,
                         const std::function<bool(int position, const QString& error)>& unreadable)
{
    FoundList list;
    FoundListBuilder found(extensionList);
    for (qsizetype i = 0; i < page.documents.size(); ++i) {
        const ScannedDocument& doc = page.documents[i];
        if (doc.kind == ScannedDocument::Unreadable && !unreadable(int(i), doc.error)) {
            list.stopped = true;
            break;
        }
        if (doc.kind != ScannedDocument::Read)
            continue;
        if (scanLinks)
            found.offerAll(doc.links);
        if (scanImages)
            found.offerAll(doc.images);
    }
    list.urls = found.urls();
    return list;
}

}  // namespace pm
