#include "app/commandline.h"
#include "app/desktop.h"
#include "app/headlessstart.h"
#include "app/instancechannel.h"
#include "app/instancerequests.h"
#include "app/profileleftovers.h"
#include "app/startup.h"
#include "app/terminationwatcher.h"
#include "core/appcontext.h"
#include "core/config/filelocations.h"
#include "gui/browsersession.h"
#include "gui/mainwindow.h"
#include "gui/qtinteraction.h"
#include "gui/workqueuewindow.h"

#include <QApplication>
#include <QDir>
#include <QJsonObject>
#include <QNetworkProxyFactory>
#include <QSessionManager>
#include <QStandardPaths>
#include <QWebEngineProfile>

#include <csignal>
#include <cstdlib>
#include <memory>

namespace {
// What a window answers through the instance channel.
QJsonObject answerWindowRequest(pm::MainWindow& window, pm::AppContext& context, const QJsonObject& request)
{
    const QString command = pm::requestCommand(request);
    if (command == QLatin1String("add"))
        return pm::answerAdd(context.queue, request);
    if (command == QLatin1String("download")) {
        window.showQueue();
        window.workQueueWindow()->startSession();
        return pm::holderAnswer(true, true);
    }
    if (command == QLatin1String("show")) {
        const std::optional<QUrl> page = pm::requestedPage(request);
        if (!page)
            return {};
        window.showNormal();
        window.raise();
        window.activateWindow();
        if (!page->isEmpty())
            window.openPage(*page);
        return pm::holderAnswer(true, true);
    }
    if (command == QLatin1String("hello"))
        return pm::holderAnswer(true, true);
    return {};
}
}  // namespace

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
    if (commandLine.mode() != pm::RunMode::Window)
        return pm::runWithoutWindow(commandLine, argv[0]);

    // Declared before the application object, so that it cleans up after
    // the browser has shut down.
    pm::ProfileLeftovers profileLeftovers;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;  // the arguments have been read: Qt and the browser take none of them
    QApplication app(qtArgc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("pullmark"));
    QApplication::setWindowIcon(pm::applicationIcon());
    pm::installTranslations(app);

    pm::QtInteraction interaction;
    pm::AppContext context(interaction);
    const pm::FileLocations locations = pm::setUpFiles(context, commandLine.configurationFile());

    // Watching for SIGTERM before anything is claimed: a signal during
    // start-up then never finds the default action, which ends the program
    // without cleaning up.
    pm::TerminationWatcher termination;

    // Another Pullmark with this configuration file: its window comes up
    // instead, or, when a command-line run holds the file, this one gives way.
    pm::InstanceChannel channel(context.settings.configurationFile);
    QJsonObject answer;
    switch (channel.claim(pm::showRequest(commandLine.firstPage()), &answer)) {
    case pm::InstanceChannel::Claim::Held:
    case pm::InstanceChannel::Claim::Failed:  // no lock to be had: the window works all the same
        break;
    case pm::InstanceChannel::Claim::Answered:
        if (answer.value(QStringLiteral("ok")).toBool())
            return 0;
        [[fallthrough]];
    case pm::InstanceChannel::Claim::NoAnswer:
        interaction.inform(QStringLiteral(PULLMARK_TITLE),
                           QCoreApplication::translate("pm::Main",
                                                       "Another run of Pullmark is using the configuration file %1. "
                                                       "Start Pullmark again when it has ended.")
                               .arg(context.settings.configurationFile),
                           pm::MessageIcon::Information);
        return 3;
    }
    pm::openArchive(context, locations);

    // The transfers and the browser go through the proxies the system names.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    // The browser keeps its profile (and with it a sign-in) on disk, made
    // once the legal notice is accepted; until then it browses off the
    // record, leaving nothing behind.
    const QString profileFolder = pm::browserProfileFolder(locations, context.settings.configurationFile);
    std::unique_ptr<QWebEngineProfile> profile;  // outlives the window and its pages

    pm::MainWindow window(context, QWebEngineProfile::defaultProfile());
    window.setFirstPage(commandLine.firstPage());
    window.setProfileMaker([&] {
        if (locations.portable)
            profileLeftovers.watch(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                   + QStringLiteral("/QtWebEngine/") + pm::browserProfileName());
        profile.reset(pm::makeBrowserProfile(profileFolder));
        return profile.get();
    });

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
    // Requests of other Pullmark programs, once the stored queue is loaded.
    channel.listen([&window, &context](const QJsonObject& request) {
        return answerWindowRequest(window, context, request);
    });
    return app.exec();
}
