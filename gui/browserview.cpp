#include "gui/browserview.h"

#include "core/programpages.h"

#include <QRandomGenerator>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <functional>

static void initGuiResources()
{
    Q_INIT_RESOURCE(gui);
}

namespace pm {

namespace {

// Says when a document of the page has been parsed. A script in the
// program's own world runs at DOMContentLoaded in the page and in every
// frame, other origins' too, and writes a console message made for this page
// alone: the page's scripts can neither see it nor write it.
class BrowserPage : public QWebEnginePage {
public:
    BrowserPage(QWebEngineProfile* profile, QObject* parent, std::function<void()> onDocumentParsed)
        : QWebEnginePage(profile, parent),
          m_parsedMessage(QStringLiteral("pullmark:parsed:%1").arg(QRandomGenerator::system()->generate64(), 16, 16,
                                                                   QLatin1Char('0'))),
          m_onDocumentParsed(std::move(onDocumentParsed))
    {
        QWebEngineScript script;
        script.setName(QStringLiteral("pullmark-parsed"));
        script.setInjectionPoint(QWebEngineScript::DocumentReady);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setRunsOnSubFrames(true);
        script.setSourceCode(QStringLiteral("console.debug('%1');").arg(m_parsedMessage));
        scripts().insert(script);
    }

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override
    {
        if (message == m_parsedMessage)
            m_onDocumentParsed();
        else
            QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
    }

private:
    const QString m_parsedMessage;
    const std::function<void()> m_onDocumentParsed;
};

}  // namespace

BrowserView::BrowserView(QWebEngineProfile* profile, QWidget* parent) : QWebEngineView(parent)
{
    initGuiResources();
    setPage(new BrowserPage(profile, this, [this] { emit documentParsed(); }));
    connect(page(), &QWebEnginePage::loadStarted, this, [this] { ++m_loadGeneration; });
    connect(page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            m_loadUrl = info.url();
    });
    connect(page(), &QWebEnginePage::loadFinished, this, [this](bool) { emit loadEnded(); });
    connect(page(), &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        m_loadUrl = url;
        emit addressCommitted();
    });
}

BrowserView::~BrowserView()
{
    // The page must go before the profile it was made with.
    delete page();
}

QUrl BrowserView::startPageUrl()
{
    return QUrl(QString::fromLatin1(kStartPageAddress));
}

void BrowserView::navigate(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    load(url.isValid() ? url : QUrl(QStringLiteral("about:blank")));
}

bool BrowserView::isBusy() const
{
    return page()->isLoading();
}

}  // namespace pm
