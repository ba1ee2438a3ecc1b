#include "app/commandline.h"
#include "app/desktop.h"
#include "app/terminationwatcher.h"
#include "archive/sqlitearchive.h"
#include "core/appcontext.h"
#include "core/config/filelocations.h"
#include "gui/mainwindow.h"
#include "gui/qtinteraction.h"

#include <QApplication>
#include <QDir>
#include <QSessionManager>
#include <QWebEngineProfile>

#include <csignal>
#include <cstdlib>

int main(int argc, char* argv[])
{
    // A write past a file-size limit (ulimit -f) then fails with EFBIG and is
    // reported like a full disk, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QStringLiteral(PULLMARK_TITLE));
    QCoreApplication::setApplicationVersion(pm::versionText());

    // The command line first: help, the version and a mistake need no
    // display, and a mistake leaves everything as it was.
    const QStringList arguments = pm::commandLineArguments(argc, argv);
    pm::CommandLine commandLine;
    if (commandLine.parse(arguments, QDir::currentPath()) != pm::CommandLine::Outcome::Run) {
        // The help's usage line names the program as the user types it.
        char name[] = "pullmark";
        char* names[] = {name, nullptr};
        int one = 1;
        QCoreApplication core(one, names);
        pm::installTranslations(core);
        pm::CommandLine translated;  // its texts in the user's language
        return translated.finish(translated.parse(arguments, QDir::currentPath()));
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;  // the arguments have been read: Qt and the browser take none of them
    QApplication app(qtArgc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("pullmark"));
    QApplication::setWindowIcon(pm::applicationIcon());
    pm::installTranslations(app);

    pm::QtInteraction interaction;
    pm::AppContext context(interaction);
    const QString programFolder = QCoreApplication::applicationDirPath();
    const pm::FileLocations locations =
        pm::fileLocations(programFolder, pm::runsPortable(programFolder), pm::standardUserFolders());
    context.setFileLocations(programFolder, locations);
    if (!commandLine.configurationFile().isEmpty())
        context.setConfigurationFile(commandLine.configurationFile());
    pm::createUserFolders(locations, context.settings.configurationFile);
    context.setArchive(std::make_unique<pm::SqliteDownloadArchive>(
        pm::archiveFileName(locations, context.settings.configurationFile), context.errors));

    pm::TerminationWatcher termination;
    pm::MainWindow window(context, QWebEngineProfile::defaultProfile());
    window.setFirstPage(commandLine.firstPage());

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
