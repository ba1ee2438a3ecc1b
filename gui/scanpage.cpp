#include "gui/scanpage.h"

#include "core/found/scraper.h"

#include <QRandomGenerator>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace pm {

namespace {
QString newToken()
{
    QRandomGenerator* random = QRandomGenerator::system();
    return QStringLiteral("pullmark%1%2")
        .arg(random->generate64(), 16, 16, QLatin1Char('0'))
        .arg(random->generate64(), 16, 16, QLatin1Char('0'));
}
}  // namespace

ScanPage::ScanPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent),
      m_token(newToken()),
      m_parsed(m_token + QStringLiteral(":parsed")),
      m_changed(m_token + QStringLiteral(":changed")),
      m_frame(m_token + QStringLiteral(":frame:"))
{
    QWebEngineScript reader;
    reader.setName(QStringLiteral("pullmark-reader"));
    reader.setInjectionPoint(QWebEngineScript::DocumentReady);
    reader.setWorldId(QWebEngineScript::ApplicationWorld);
    reader.setRunsOnSubFrames(true);
    reader.setSourceCode(readerAttachScript(m_token));
    scripts().insert(reader);

    connect(this, &QWebEnginePage::loadStarted, this, [this] { ++m_loadGeneration; });
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            m_loadUrl = info.url();
    });
    connect(this, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) { m_loadUrl = url; });
}

void ScanPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                        const QString& source)
{
    if (!message.startsWith(m_token)) {
        QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
        return;
    }
    if (message == m_parsed)
        emit documentParsed();
    else if (message == m_changed)
        emit documentChanged();
    else if (message.startsWith(m_frame))
        emit frameReported(message.mid(m_frame.size()));
}

}  // namespace pm
