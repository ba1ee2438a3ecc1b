#include "tests/support/webtest.h"

#include "gui/browserview.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>

namespace pm::test {

void LoopbackOnlyInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(url.toString());
    }
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data") || scheme == QLatin1String("about"))
        return;
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && url.host() == QLatin1String("127.0.0.1"))
        return;
    info.block(true);
}

QStringList LoopbackOnlyInterceptor::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

TestWindow::TestWindow(QWebEngineProfile* profile) : window(app, profile)
{
    settings.scanLinks = true;
    settings.scanImages = true;
    settings.extensions = QString::fromLatin1(kDefaultExtensions);
    settings.setErrorMode(ErrorMode::CarryOn);
    // Found lists of tests name made-up hosts: no probe may try to reach
    // them. Tests of the probe turn it on.
    settings.probeFoundFiles = false;
    window.setModalRunner([this](QDialog& dialog) {
        dialogsShown << dialog.objectName();
        if (onDialog)
            onDialog(dialog);
    });
}

bool TestWindow::nextScan(bool* applied, int timeoutMs)
{
    QSignalSpy scanned(&window, &MainWindow::scanFinished);
    if (!scanned.wait(timeoutMs))
        return false;
    if (applied)
        *applied = scanned.first().first().toBool();
    return true;
}

bool TestWindow::go(const QString& address)
{
    QSignalSpy scanned(&window, &MainWindow::scanFinished);
    child<QComboBox>("cmbURL")->setEditText(address);
    child<QPushButton>("cmdGo")->click();
    while (scanned.wait(15000)) {
        if (scanned.last().first().toBool() && window.browser()->url().toString() == address)
            return true;
    }
    return false;
}

}  // namespace pm::test
