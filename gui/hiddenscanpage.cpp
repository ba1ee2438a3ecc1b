#include "gui/hiddenscanpage.h"

#include <QCoreApplication>
#include <QWebEngineLoadingInfo>
#include <QWebEngineSettings>

namespace pm {

HiddenScanPage::HiddenScanPage(QWebEngineProfile* profile, bool loadImages, QObject* parent)
    : ScanPage(profile, parent)
{
    setAudioMuted(true);
    settings()->setAttribute(QWebEngineSettings::AutoLoadImages, loadImages);
}

void HiddenScanPage::javaScriptAlert(const QUrl&, const QString&) {}

bool HiddenScanPage::javaScriptConfirm(const QUrl&, const QString&)
{
    return false;
}

bool HiddenScanPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*)
{
    return false;
}

QStringList HiddenScanPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&)
{
    return {};
}

void HiddenScanPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                              const QString& source)
{
    // Only the reader's own messages; the page's would fill the program's output.
    if (message.startsWith(token()))
        ScanPage::javaScriptConsoleMessage(level, message, line, source);
}

QString loadFailureText(const QWebEngineLoadingInfo& info)
{
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return QCoreApplication::translate("pm::HiddenScanPage", "the server answered %1").arg(info.errorCode());
    return info.errorString().isEmpty()
        ? QCoreApplication::translate("pm::HiddenScanPage", "the page could not be loaded")
        : info.errorString();
}

}  // namespace pm
