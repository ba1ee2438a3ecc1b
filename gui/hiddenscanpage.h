#pragma once
// A page the program reads out of sight, for the files it holds: it asks
// nothing (alerts, questions, file choosers), plays nothing aloud, keeps the
// page's own console messages to itself, and, unless told to, fetches no
// images: what is read of an image is its address, not its picture, and a
// page without its pictures ends its load as soon as its document and
// frames are in.

#include "gui/scanpage.h"

class QWebEngineLoadingInfo;

namespace pm {

class HiddenScanPage : public ScanPage {
    Q_OBJECT
public:
    // `profile` must outlive the page. `loadImages` for reading what images
    // show (their chosen version) rather than what their markup names.
    HiddenScanPage(QWebEngineProfile* profile, bool loadImages, QObject* parent = nullptr);

protected:
    void javaScriptAlert(const QUrl& origin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                          QString* result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;
};

// Why a failed load failed, for the activity log: the server's status, or
// the browser's own words.
QString loadFailureText(const QWebEngineLoadingInfo& info);

}  // namespace pm
