#include "app/mainwindow.h"
#include "app/terminationwatcher.h"
#include "settings/settings.h"

#include <QApplication>
#include <QWebEngineProfile>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(PULLMARK_TITLE));

    pm::TerminationWatcher termination;
    pm::frmMain window(QWebEngineProfile::defaultProfile(), QCoreApplication::applicationDirPath());
    if (!window.Form_Load())
        return 0;  // legal notice declined: end now, nothing saved

    // The system ending the program closes it as the user would, so the
    // configuration is saved.
    QObject::connect(&termination, &pm::TerminationWatcher::terminationRequested, &window,
                     [&window](int) { window.closeForSystem(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.saveConfiguration(pm::settings().strG_IniFileName); });

    window.show();
    return app.exec();
}
