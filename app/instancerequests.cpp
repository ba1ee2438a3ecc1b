#include "app/instancerequests.h"

#include "core/download/downloadqueue.h"

#include <QCoreApplication>
#include <QJsonArray>

namespace pm {

namespace {
const QString kCommand = QStringLiteral("command");

bool isWebAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty()
           && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}
}  // namespace

QJsonObject addRequest(const QStringList& urls)
{
    return {{kCommand, QStringLiteral("add")}, {QStringLiteral("urls"), QJsonArray::fromStringList(urls)}};
}

QJsonObject downloadRequest()
{
    return {{kCommand, QStringLiteral("download")}};
}

QJsonObject showRequest(const QUrl& page)
{
    return {{kCommand, QStringLiteral("show")}, {QStringLiteral("url"), page.toString(QUrl::FullyEncoded)}};
}

QJsonObject helloRequest()
{
    return {{kCommand, QStringLiteral("hello")}};
}

QString requestCommand(const QJsonObject& request)
{
    return request.value(kCommand).toString();
}

QJsonObject answerAdd(DownloadQueue& queue, const QJsonObject& request)
{
    const QJsonValue list = request.value(QStringLiteral("urls"));
    if (!list.isArray())
        return {};
    QStringList urls;
    for (const QJsonValue& value : list.toArray()) {
        if (!value.isString() || !isWebAddress(value.toString()))
            return {};
        urls << value.toString();
    }
    const int added = queue.addNew(urls);
    return {{QStringLiteral("ok"), true}, {QStringLiteral("added"), added}, {QStringLiteral("queued"), queue.remaining()}};
}

std::optional<QUrl> requestedPage(const QJsonObject& request)
{
    const QJsonValue value = request.value(QStringLiteral("url"));
    if (value.isUndefined())
        return QUrl();
    if (!value.isString())
        return std::nullopt;
    if (value.toString().isEmpty())
        return QUrl();
    // What the command line would open: a web page or a local file.
    const QUrl page(value.toString(), QUrl::StrictMode);
    if (!isWebAddress(page.toString()) && !(page.isValid() && page.isLocalFile()))
        return std::nullopt;
    return page;
}

QJsonObject answerAsRun(DownloadQueue* queue, const QJsonObject& request)
{
    const QString command = requestCommand(request);
    if (command == QLatin1String("add") && queue)
        return answerAdd(*queue, request);
    const bool known = command == QLatin1String("add") || command == QLatin1String("download")
                       || command == QLatin1String("show") || command == QLatin1String("hello");
    return known ? holderAnswer(false, false) : QJsonObject();
}

QJsonObject holderAnswer(bool ok, bool window)
{
    return {{QStringLiteral("ok"), ok},
            {QStringLiteral("holder"), window ? QStringLiteral("window") : QStringLiteral("run")},
            {QStringLiteral("pid"), QCoreApplication::applicationPid()}};
}

}  // namespace pm
