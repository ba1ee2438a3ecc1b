#include "app/headlessstart.h"

#include "app/commandline.h"
#include "app/consoleinteraction.h"
#include "app/consolereport.h"
#include "app/desktop.h"
#include "app/headlessrun.h"
#include "app/instancechannel.h"
#include "app/instancerequests.h"
#include "app/startup.h"
#include "app/terminationwatcher.h"
#include "core/appcontext.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTimer>

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
    case RunMode::Window: break;
    }
    return helloRequest();
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
    int argc = 1;
    char* argv[] = {programName, nullptr};
    QCoreApplication app(argc, argv);
    installTranslations(app);

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
    HeadlessRun run(context, ui, report, options);
    if (const std::optional<int> status = run.prepare())
        return *status;
    // From here on a question nobody can answer ends the run.
    ui.setUnansweredHandler([&run] { run.stop(); });
    // Files another Pullmark adds meanwhile join this run's queue; a dry
    // run changes no queue and takes none.
    channel.listen([&context, dryRun = options.dryRun](const QJsonObject& request) {
        if (requestCommand(request) == QLatin1String("add"))
            return dryRun ? holderAnswer(false, false) : answerAdd(context.queue, request);
        return requestCommand(request).isEmpty() ? QJsonObject() : holderAnswer(false, false);
    });

    // The first SIGINT or SIGTERM stops the run cleanly; a second one ends
    // the program at once (the next run cleans up after it).
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &run, [&run](int) {
        if (run.stopping())
            std::_Exit(ExitFailures);
        run.stop();
    });
    QObject::connect(&run, &HeadlessRun::finished, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &run, [&run] { run.run(); });
    return app.exec();
}

}  // namespace pm
