#include "app/terminationwatcher.h"
#include "core/appcontext.h"
#include "gui/mainwindow.h"
#include "gui/qtinteraction.h"

#include <QApplication>
#include <QSessionManager>
#include <QWebEngineProfile>

#include <csignal>
#include <cstdlib>

int main(int argc, char* argv[])
{
    // A write past a file-size limit (ulimit -f) then fails with EFBIG and is
    // reported like a full disk, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(PULLMARK_TITLE));

    pm::QtInteraction interaction;
    pm::AppContext context(interaction);
    context.setProgramFolder(QCoreApplication::applicationDirPath());
    pm::TerminationWatcher termination;
    pm::MainWindow window(context, QWebEngineProfile::defaultProfile());

    // The system ending the program closes it as the user would, so the
    // configuration is saved. During start-up (the legal notice or the path
    // check may be waiting for an answer) nothing has been accepted yet: end
    // at once with nothing saved, as declining the notice does.
    QObject::connect(&termination, &pm::TerminationWatcher::terminationRequested, &window, [&window](int) {
        if (window.started())
            window.closeForSystem();
        else
            std::_Exit(0);
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager&) {
        if (window.started())
            window.closeForSystem();
    });
    if (!window.start())
        return 0;  // legal notice declined: end now, nothing saved

    window.show();
    return app.exec();
}
