#include "app/headlessstart.h"

#include "app/commandline.h"
#include "app/consoleinteraction.h"
#include "app/consolereport.h"
#include "app/desktop.h"
#include "app/headlessrun.h"
#include "app/instancechannel.h"
#include "app/instancerequests.h"
#include "app/pageharvest.h"
#include "app/startup.h"
#include "app/terminationwatcher.h"
#include "core/appcontext.h"
#include "gui/browsersession.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QNetworkProxyFactory>
#include <QTimer>
#include <QWebEngineProfile>

#include <cstdlib>
#include <memory>

namespace pm {

namespace {
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(pm::HeadlessStart)
};

// What the program that holds the configuration file answered to `request`.
int handedOver(const QJsonObject& request, const QJsonObject& answer, const QString& configurationFile,
               ConsoleReport& report)
{
    const QString command = requestCommand(request);
    const bool done = answer.value(QStringLiteral("ok")).toBool() && command != QLatin1String("hello");
    if (command == QLatin1String("add") && done) {
        report.message(Texts::tr("the running Pullmark queued the new addresses: %1 added, %2 in its queue now.")
                           .arg(answer.value(QStringLiteral("added")).toInt())
                           .arg(answer.value(QStringLiteral("queued")).toInt()));
        return ExitDone;
    }
    const bool window = answer.value(QStringLiteral("holder")).toString() == QLatin1String("window");
    if (command == QLatin1String("download") && done && window) {
        report.message(Texts::tr("Pullmark's window is open with %1: it downloads its queue now.").arg(configurationFile));
        return ExitDone;
    }
    const qint64 pid = answer.value(QStringLiteral("pid")).toInteger();
    if (window)
        report.message(Texts::tr("Pullmark's window (process %1) is open with the configuration file %2, so this run "
                                 "cannot use it too. Close the window, or give this run another configuration "
                                 "file (--config).")
                           .arg(pid)
                           .arg(configurationFile));
    else
        report.message(Texts::tr("another run of Pullmark (process %1) uses the configuration file %2; try again "
                                 "when it has ended.")
                           .arg(pid)
                           .arg(configurationFile));
    return ExitUnusable;
}

QJsonObject requestFor(RunMode mode, const HeadlessOptions& options)
{
    switch (mode) {
    case RunMode::Add: return addRequest(options.urls);
    case RunMode::Download: return options.overridesSettings() ? helloRequest() : downloadRequest();
    case RunMode::Harvest:
    case RunMode::Window: break;
    }
    return helloRequest();
}

// Qt's and the browser's notes (no graphics off screen, no runtime folder,
// a page's console) are no part of what a run tells: only their errors
// reach standard error.
QtMessageHandler g_qtMessages = nullptr;

void keepQtErrorsOnly(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        g_qtMessages(type, context, message);
}

// The application: a browser needs a window system, and without a display
// it draws off screen (unless the user names a platform).
std::unique_ptr<QCoreApplication> makeApplication(bool browser, char* programName)
{
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* argv[] = {programName, nullptr, nullptr, nullptr};
    static int argc = 1;
    if (!browser)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        argv[1] = platform;
        argv[2] = offscreen;
        argc = 3;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return std::make_unique<QGuiApplication>(argc, argv);
}

// The pages' found lists, read one after another, then the run.
std::unique_ptr<PageHarvest> startHarvest(AppContext& context, HeadlessRun& run, ConsoleReport& report,
                                          const HeadlessOptions& options)
{
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    auto harvest = std::make_unique<PageHarvest>(profile, context.settings, context.errors);
    harvest->setFollowLinks(options.follow);
    // The pages are read as the window's browser reads them: signed in with
    // the cookies kept from it, and what they set reaches the downloads.
    auto* session = new BrowserSessionLink(profile, context.session, harvest.get());
    session->shareTransferCookies();
    QObject::connect(harvest.get(), &PageHarvest::pageStarted, &report, [&report](const QString& url, int n, int count) {
        report.message(Texts::tr("reading page %1 of %2: %3").arg(n).arg(count).arg(url));
    });
    QObject::connect(harvest.get(), &PageHarvest::pageRead, &report, [&report](const QString& url, int found) {
        report.message(Texts::tr("%1 lists %2 files to harvest.").arg(url, QString::number(found)));
    });
    QObject::connect(harvest.get(), &PageHarvest::pageStopped, &report, [&report](const QString& url) {
        report.message(Texts::tr("%1 did not end loading in time; it is read as it is.").arg(url));
    });
    QObject::connect(harvest.get(), &PageHarvest::followingLinks, &report, [&report](const QString& url, int count) {
        report.message(Texts::tr("reading the %1 pages %2 links to").arg(count).arg(url));
    });
    QObject::connect(harvest.get(), &PageHarvest::pageFailed, &run, &HeadlessRun::pageFailed);
    QObject::connect(harvest.get(), &PageHarvest::linkedPageFailed, &run, &HeadlessRun::linkedPageFailed);
    QObject::connect(harvest.get(), &PageHarvest::finished, &run, [&run](const QList<FoundOnPage>& found) {
        if (!run.stopping())
            run.run(found);
    });
    harvest->start(options.urls);
    return harvest;
}

// --add with no other Pullmark running: straight into the stored queue.
int addToStoredQueue(AppContext& context, const QStringList& urls, ConsoleReport& report)
{
    if (!context.loadStoredConfiguration()) {
        report.message(Texts::tr("the configuration file %1 cannot be used: reading it stopped at an error.")
                           .arg(context.settings.configurationFile));
        return ExitUnusable;
    }
    const int added = context.queue.addNew(urls);
    if (!context.saveConfiguration(context.settings.configurationFile)) {
        report.message(Texts::tr("cannot write the configuration file %1.").arg(context.settings.configurationFile));
        return ExitUnusable;
    }
    report.message(Texts::tr("queued the new addresses: %1 added, %2 in the queue now.").arg(added).arg(context.queue.count()));
    return ExitDone;
}
}  // namespace

int runWithoutWindow(const CommandLine& commandLine, char* programName)
{
    const RunMode mode = commandLine.mode();
    const HeadlessOptions& options = commandLine.headless();
    g_qtMessages = qInstallMessageHandler(keepQtErrorsOnly);
    const std::unique_ptr<QCoreApplication> app = makeApplication(mode == RunMode::Harvest, programName);
    installTranslations(*app);

    ConsoleInteraction ui(options.yes);
    AppContext context(ui);
    const FileLocations locations = setUpFiles(context, commandLine.configurationFile());
    const QString configurationFile = context.settings.configurationFile;
    ConsoleReport report(ConsoleReport::stderrIsTerminal());

    // One program at a time with a configuration file: the one that holds it
    // takes the request, or this run gives way.
    InstanceChannel channel(configurationFile);
    const QJsonObject request = requestFor(mode, options);
    QJsonObject answer;
    switch (channel.claim(request, &answer)) {
    case InstanceChannel::Claim::Held:
        break;
    case InstanceChannel::Claim::Answered:
        return handedOver(request, answer, configurationFile, report);
    case InstanceChannel::Claim::NoAnswer:
        report.message(Texts::tr("another Pullmark uses the configuration file %1 and does not answer; try again "
                                 "when it has ended.")
                           .arg(configurationFile));
        return ExitUnusable;
    case InstanceChannel::Claim::Failed:
        report.message(Texts::tr("cannot make sure no other Pullmark uses %1: %2.").arg(configurationFile, channel.errorText()));
        return ExitUnusable;
    }
    if (mode == RunMode::Add)
        return addToStoredQueue(context, options.urls, report);

    openArchive(context, locations);
    // The downloads carry the sign-ins kept from the window's browser, through
    // the proxies the system names.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    context.session.cookies().setFileName(
        downloadCookieFile(browserProfileFolder(locations, context.settings.configurationFile)));
    HeadlessRun run(context, ui, report, options);
    if (const std::optional<int> status = run.prepare())
        return *status;
    // From here on a question nobody can answer ends the run.
    ui.setUnansweredHandler([&run] { run.stop(); });
    // Files another Pullmark adds meanwhile join this run's queue; a dry
    // run changes no queue and takes none.
    DownloadQueue* queue = options.dryRun ? nullptr : &context.queue;
    if (!channel.listen([queue](const QJsonObject& request) { return answerAsRun(queue, request); }))
        report.message(Texts::tr("other Pullmark programs cannot reach this run: %1.").arg(channel.errorText()));

    QObject::connect(&run, &HeadlessRun::finished, app.get(), &QCoreApplication::exit);
    std::unique_ptr<PageHarvest> harvest;
    if (mode == RunMode::Harvest)
        harvest = startHarvest(context, run, report, options);
    else
        QTimer::singleShot(0, &run, [&run] { run.run(); });

    // The first SIGINT or SIGTERM stops the run cleanly; a second one ends
    // the program at once (the next run cleans up after it).
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &run, [&run, &harvest](int) {
        if (run.stopping())
            std::_Exit(ExitFailures);
        if (harvest)
            harvest->stop();
        run.stop();
    });
    return app->exec();
}

}  // namespace pm
