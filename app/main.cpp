#include "app/mainwindow.h"
#include "app/terminationwatcher.h"

#include <QApplication>
#include <QWebEngineProfile>

#include <cstdlib>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(PULLMARK_TITLE));

    pm::TerminationWatcher termination;
    pm::frmMain window(QWebEngineProfile::defaultProfile(), QCoreApplication::applicationDirPath());

    // The system ending the program closes it as the user would, so the
    // configuration is saved. During start-up (the legal notice or the path
    // check may be waiting for an answer) nothing has been accepted yet:
    // end at once with nothing saved, as declining the notice does.
    QObject::connect(&termination, &pm::TerminationWatcher::terminationRequested, &window, [&window](int) {
        if (window.loaded())
            window.closeForSystem();
        else
            std::_Exit(0);
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager&) {
        if (window.loaded())
            window.closeForSystem();
    });

    if (!window.Form_Load())
        return 0;  // legal notice declined: end now, nothing saved

    window.show();
    return app.exec();
}
