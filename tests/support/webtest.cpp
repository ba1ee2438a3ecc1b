#include "tests/support/webtest.h"

#include <QUrl>

namespace pm::test {

void LoopbackOnlyInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data") || scheme == QLatin1String("about"))
        return;
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && url.host() == QLatin1String("127.0.0.1"))
        return;
    info.block(true);
    QMutexLocker lock(&m_mutex);
    m_blocked.append(url.toString());
}

QStringList LoopbackOnlyInterceptor::blocked() const
{
    QMutexLocker lock(&m_mutex);
    return m_blocked;
}

TestProfile::TestProfile() : m_profile(new QWebEngineProfile)
{
    m_profile->setUrlRequestInterceptor(&m_interceptor);
}

TestProfile::~TestProfile()
{
    delete m_profile;
}

}  // namespace pm::test
