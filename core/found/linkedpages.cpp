#include "core/found/linkedpages.h"

#include "core/config/settings.h"

#include <QHostAddress>
#include <QSet>
#include <QUrl>

#include <libpsl.h>

namespace pm {

namespace {

// The registrable domain of a host name ("example.co.uk" for
// "www.example.co.uk"); empty for an IP address, a name that is itself a
// public suffix, or one the list cannot place.
QString registrableDomain(const QString& host)
{
    if (host.isEmpty() || !QHostAddress(host).isNull())
        return {};
    // The list compiled into the library: the same answer on every machine.
    const psl_ctx_t* list = psl_builtin();
    if (!list)
        return {};
    const QByteArray name = host.toLower().toUtf8();
    const char* domain = psl_registrable_domain(list, name.constData());
    return domain ? QString::fromUtf8(domain) : QString();
}

bool isWebAddress(const QUrl& url)
{
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        && !url.host().isEmpty();
}

}  // namespace

bool sameSite(const QUrl& a, const QUrl& b)
{
    const QString hostA = a.host().toLower();
    const QString hostB = b.host().toLower();
    if (hostA.isEmpty() || hostB.isEmpty())
        return false;
    if (hostA == hostB)
        return true;
    const QString domain = registrableDomain(hostA);
    return !domain.isEmpty() && domain == registrableDomain(hostB);
}

LinkedPageRules LinkedPageRules::from(const Settings& settings)
{
    return {ScanRules::from(settings), settings.followOtherSites, settings.linkedPagesLimit};
}

QStringList linkedPagesToFollow(const QString& pageUrl, const QStringList& links, const LinkedPageRules& rules)
{
    const QUrl page = QUrl(pageUrl).adjusted(QUrl::RemoveFragment);
    const AddressMatcher isFile(rules.scan);
    QStringList pages;
    QSet<QUrl> seen{page};
    for (const QString& link : links) {
        if (pages.size() >= rules.limit)
            break;
        const QUrl url = QUrl(link).adjusted(QUrl::RemoveFragment);
        if (!isWebAddress(url) || seen.contains(url) || isFile.matches(link))
            continue;
        if (!rules.otherSites && !sameSite(url, page))
            continue;
        seen.insert(url);
        pages.append(url.toString(QUrl::FullyEncoded));
    }
    return pages;
}

}  // namespace pm
