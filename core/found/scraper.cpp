#include "core/found/scraper.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

static void initScraperResources()
{
    Q_INIT_RESOURCE(core);
}

namespace pm {

namespace {

QString resourceText(const QString& name)
{
    initScraperResources();
    QFile file(QStringLiteral(":/pullmark/") + name);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

QString flag(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

// A token or command as a script's string literal; both are made of
// letters, digits and ':' only.
QString quoted(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

const QString& readerBody()
{
    static const QString body = resourceText(QStringLiteral("scan.js"));
    return body;
}

QStringList stringsOf(const QJsonValue& value)
{
    const QJsonArray array = value.toArray();
    QStringList strings;
    strings.reserve(array.size());
    for (const QJsonValue& item : array)
        strings.append(item.toString());
    return strings;
}

}  // namespace

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
        doc.path = map.value(QStringLiteral("path")).toString();
        if (map.contains(QStringLiteral("error"))) {
            doc.kind = ScannedDocument::Unreadable;
            doc.error = map.value(QStringLiteral("error")).toString();
        } else if (map.contains(QStringLiteral("links"))) {
            doc.kind = ScannedDocument::Read;
            doc.id = map.value(QStringLiteral("id")).toString();
            doc.grown = map.value(QStringLiteral("grown")).toBool();
            doc.links = map.value(QStringLiteral("links")).toStringList();
            // The classic script calls them images, the reader media.
            doc.embedded = map.value(map.contains(QStringLiteral("media")) ? QStringLiteral("media")
                                                                            : QStringLiteral("images"))
                               .toStringList();
        } else if (map.value(QStringLiteral("same")).toBool()) {
            doc.kind = ScannedDocument::Read;
            doc.id = map.value(QStringLiteral("id")).toString();
            doc.unchanged = true;
        } else if (map.value(QStringLiteral("foreign")).toBool()) {
            doc.kind = ScannedDocument::Foreign;
        }
        scan.documents.append(std::move(doc));
    }
    return scan;
}

std::optional<FrameReport> parseFrameReport(const QString& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(QLatin1String("path")).isString() || !object.value(QLatin1String("links")).isArray())
        return std::nullopt;
    FrameReport report;
    report.path = object.value(QLatin1String("path")).toString();
    report.id = object.value(QLatin1String("id")).toString();
    report.topOrigin = object.value(QLatin1String("top")).toString();
    report.links = stringsOf(object.value(QLatin1String("links")));
    report.embedded = stringsOf(object.value(QLatin1String("media")));
    report.embeddedShown = object.contains(QLatin1String("shown")) ? stringsOf(object.value(QLatin1String("shown")))
                                                                   : report.embedded;
    return report;
}

QString classicScanScript(bool scanLinks, bool scanImages, int epoch)
{
    static const QString body = resourceText(QStringLiteral("scrape.js"));
    return body + QLatin1Char('(') + flag(scanLinks) + QStringLiteral(", ") + flag(scanImages) + QStringLiteral(", ")
        + QString::number(epoch) + QStringLiteral(");\n");
}

QString readerAttachScript(const QString& token)
{
    return readerBody() + QLatin1Char('(') + quoted(token) + QStringLiteral(", 'attach', null);\n");
}

QString readerReadScript(const QString& token, const ScanRules& rules, int epoch)
{
    return readerBody() + QLatin1Char('(') + quoted(token) + QStringLiteral(", 'read', {links: ") + flag(rules.links)
        + QStringLiteral(", media: ") + flag(rules.embedded) + QStringLiteral(", asShown: ")
        + flag(rules.imagesAsShown) + QStringLiteral(", epoch: ") + QString::number(epoch) + QStringLiteral("});\n");
}

FoundList buildFoundList(const PageScan& page, const ScanRules& rules,
                         const std::function<bool(int position, const QString& error)>& unreadable)
{
    FoundList list;
    FoundListBuilder found(rules);
    for (qsizetype i = 0; i < page.documents.size(); ++i) {
        const ScannedDocument& doc = page.documents[i];
        if (doc.kind == ScannedDocument::Unreadable || doc.kind == ScannedDocument::Foreign) {
            if (!rules.classic) {
                ++list.skippedFrames;
                continue;
            }
            if (!unreadable(int(i), doc.error)) {
                list.stopped = true;
                break;
            }
        }
        if (doc.kind != ScannedDocument::Read)
            continue;
        if (rules.links)
            found.offerAll(doc.links);
        if (rules.embedded)
            found.offerAll(doc.embedded);
    }
    list.urls = found.urls();
    return list;
}

}  // namespace pm
