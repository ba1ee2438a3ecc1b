#pragma once
// A web page the found list can be read from: the page on display or a
// page the program loads out of sight. The default scan's reader runs, in
// the program's own script world, in the page and in every frame as soon as
// its document has been parsed, and tells the program through console
// messages that carry a secret of this page's: the page's scripts can
// neither see, forge nor hold back what it says.

#include <QUrl>
#include <QWebEnginePage>

class QWebEngineProfile;

namespace pm {

class ScanPage : public QWebEnginePage {
    Q_OBJECT
public:
    // `profile` must outlive the page.
    explicit ScanPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // The secret the reader's messages begin with; the read script needs it.
    const QString& token() const { return m_token; }

    // How many loads have started; a result read from the page belongs to the
    // load with this number.
    int loadGeneration() const { return m_loadGeneration; }
    // The address the current load is for: the one asked for until the page's
    // address changes, then the page's own. A document whose address differs
    // is not this load's (the earlier page stays on display until the new
    // one replaces it).
    QUrl loadUrl() const { return m_loadUrl; }

signals:
    // A document of the page the top document can read, the page's own or a
    // frame's, has been parsed: its links and images exist, though images
    // and frames may still load.
    void documentParsed();
    // Such a document changed in a way that can change the found list.
    void documentChanged();
    // A frame of another origin reported what it holds (JSON; see
    // parseFrameReport), once parsed and after each change.
    void frameReported(const QString& report);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;

private:
    const QString m_token;
    const QString m_parsed;
    const QString m_changed;
    const QString m_frame;
    int m_loadGeneration = 0;
    QUrl m_loadUrl;
};

}  // namespace pm
