#include "app/commandline.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace pm {

void printText(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

CommandLine::CommandLine()
    : m_help({QStringLiteral("h"), QStringLiteral("help")}, tr("Show this help and exit.")),
      m_version({QStringLiteral("v"), QStringLiteral("version")}, tr("Show the version and exit.")),
      m_config({QStringLiteral("c"), QStringLiteral("config")},
               tr("Load and save the configuration file FILE instead of the default one."), tr("FILE")),
      m_harvest(QStringLiteral("harvest"),
                tr("Without a window: load each page URL, queue the files it lists under the configured rules, "
                   "and download them.")),
      m_download(QStringLiteral("download"), tr("Without a window: download the stored queue.")),
      m_add(QStringLiteral("add"),
            tr("Add the files URL to the stored queue; a running Pullmark with the same configuration takes them "
               "into its queue.")),
      m_out(QStringLiteral("out"), tr("Save into DIR for this run (created when missing)."), tr("DIR")),
      m_ext(QStringLiteral("ext"), tr("Harvest the extensions LIST for this run (e.g. \"jpg png\" or jpg,png)."),
            tr("LIST")),
      m_images(QStringLiteral("images"), tr("Harvest the pages' images too, for this run.")),
      m_follow(QStringLiteral("follow"),
               tr("Harvest the pages each page links to as well, as \"Harvest Linked Pages\" does: their files "
                  "are queued after the page's own.")),
      m_parallel(QStringLiteral("parallel"), tr("Make up to N downloads at once for this run (1 to 8)."), tr("N")),
      m_dryRun(QStringLiteral("dry-run"),
               tr("List each entry with what a download would do with it; download and change nothing.")),
      m_yes(QStringLiteral("yes"), tr("Answer Yes to every question (the legal notice, creating a missing folder, "
                                      "whether to stop after an error in the \"Prompt\" error mode)."))
{
    m_parser.setApplicationDescription(
        tr("Pullmark harvests media files from web pages: browse, pick the links and images you want, "
           "and download them in a queue.\n"
           "\n"
           "Without a window, for scripts and scheduled jobs:\n"
           "  pullmark --harvest URL... [--follow] [--out DIR] [--ext LIST] [--images] [--parallel N] [--dry-run] "
           "[--yes]\n"
           "  pullmark --download [--out DIR] [--parallel N] [--dry-run] [--yes]\n"
           "  pullmark --add URL...\n"
           "Each entry gives one line on standard output: what happened, the file or the reason, the size in "
           "bytes and the address; a summary line ends the list. Progress goes to standard error.\n"
           "Exit status: 0 every entry saved or deliberately skipped, 1 an entry or a page failed or the run was "
           "stopped, 2 a mistake on the command line, 3 the configuration file or the output folder cannot be used "
           "(or another Pullmark uses them)."));
    for (const QCommandLineOption* option :
         {&m_help, &m_version, &m_config, &m_harvest, &m_download, &m_add, &m_follow, &m_out, &m_ext, &m_images,
          &m_parallel, &m_dryRun, &m_yes})
        m_parser.addOption(*option);
    m_parser.addPositionalArgument(QStringLiteral("URL"),
                                   tr("A web address or a local HTML file to open instead of the start page; with "
                                      "--harvest, the pages to harvest; with --add, the files to queue."),
                                   QStringLiteral("[URL...]"));
}

CommandLine::Outcome CommandLine::fail(const QString& message)
{
    m_error = message;
    return Outcome::Error;
}

CommandLine::Outcome CommandLine::parse(const QStringList& arguments, const QString& workingFolder)
{
    if (!m_parser.parse(arguments))
        return fail(m_parser.errorText());
    if (m_parser.isSet(m_help))
        return Outcome::Help;
    if (m_parser.isSet(m_version))
        return Outcome::Version;

    const QDir working(workingFolder);
    if (m_parser.isSet(m_config)) {
        const QString name = m_parser.value(m_config);
        if (name.isEmpty())
            return fail(tr("--config needs the name of a configuration file."));
        const QFileInfo file(working.absoluteFilePath(name));
        if (file.isDir())
            return fail(tr("%1 is a folder, not a configuration file.").arg(name));
        if (!file.absoluteDir().exists())
            return fail(tr("The folder of %1 does not exist.").arg(name));
        m_configurationFile = QDir::toNativeSeparators(QDir::cleanPath(file.absoluteFilePath()));
    }
    if (const Outcome mode = readMode(); mode != Outcome::Run)
        return mode;
    if (const Outcome options = readRunOptions(working); options != Outcome::Run)
        return options;
    return readAddresses(working);
}

CommandLine::Outcome CommandLine::readMode()
{
    QStringList modes;
    for (const auto& [option, mode] : {std::pair{&m_harvest, RunMode::Harvest}, std::pair{&m_download, RunMode::Download},
                                       std::pair{&m_add, RunMode::Add}}) {
        if (m_parser.isSet(*option)) {
            modes << QStringLiteral("--") + option->names().constFirst();
            m_mode = mode;
        }
    }
    if (modes.size() > 1)
        return fail(tr("%1 cannot be used together.").arg(modes.join(QStringLiteral(", "))));
    return Outcome::Run;
}

CommandLine::Outcome CommandLine::readRunOptions(const QDir& working)
{
    // Which options each way of running takes.
    struct Allowed {
        const QCommandLineOption* option;
        QList<RunMode> modes;
    };
    const Allowed allowed[] = {
        {&m_out, {RunMode::Harvest, RunMode::Download}},      {&m_ext, {RunMode::Harvest}},
        {&m_images, {RunMode::Harvest}},                      {&m_follow, {RunMode::Harvest}},
        {&m_parallel, {RunMode::Harvest, RunMode::Download}},
        {&m_dryRun, {RunMode::Harvest, RunMode::Download}},   {&m_yes, {RunMode::Harvest, RunMode::Download, RunMode::Add}},
    };
    for (const Allowed& rule : allowed) {
        if (!m_parser.isSet(*rule.option) || rule.modes.contains(m_mode))
            continue;
        QStringList modes;
        for (RunMode mode : rule.modes)
            modes << (mode == RunMode::Harvest ? QStringLiteral("--harvest")
                      : mode == RunMode::Download ? QStringLiteral("--download")
                                                  : QStringLiteral("--add"));
        return fail(tr("--%1 goes with %2 only.").arg(rule.option->names().constFirst(), modes.join(tr(" or "))));
    }

    HeadlessOptions& run = m_headless;
    if (m_parser.isSet(m_out)) {
        const QString folder = m_parser.value(m_out);
        if (folder.trimmed().isEmpty())
            return fail(tr("--out needs the name of a folder."));
        run.outputFolder = QDir::toNativeSeparators(QDir::cleanPath(working.absoluteFilePath(folder)));
    }
    if (m_parser.isSet(m_ext)) {
        // Blanks or commas between the extensions; a leading dot is no part
        // of one.
        QStringList extensions = m_parser.value(m_ext).split(QRegularExpression(QStringLiteral("[\\s,]+")),
                                                             Qt::SkipEmptyParts);
        for (QString& extension : extensions) {
            while (extension.startsWith(QLatin1Char('.')))
                extension.remove(0, 1);
        }
        extensions.removeAll(QString());
        if (extensions.isEmpty())
            return fail(tr("--ext needs at least one extension, e.g. --ext \"jpg png\"."));
        run.extensions = extensions.join(QLatin1Char(' '));
    }
    if (m_parser.isSet(m_parallel)) {
        bool number = false;
        run.parallel = m_parser.value(m_parallel).toInt(&number);
        if (!number || run.parallel < 1 || run.parallel > kMostParallel)
            return fail(tr("--parallel takes a number from 1 to %1, not \"%2\".")
                            .arg(kMostParallel)
                            .arg(m_parser.value(m_parallel)));
    }
    run.images = m_parser.isSet(m_images);
    run.follow = m_parser.isSet(m_follow);
    run.dryRun = m_parser.isSet(m_dryRun);
    run.yes = m_parser.isSet(m_yes);
    return Outcome::Run;
}

CommandLine::Outcome CommandLine::readAddresses(const QDir& working)
{
    const QStringList addresses = m_parser.positionalArguments();
    switch (m_mode) {
    case RunMode::Download:
        if (!addresses.isEmpty())
            return fail(tr("--download takes no address; it downloads the stored queue (--add queues files)."));
        return Outcome::Run;
    case RunMode::Add:
        if (addresses.isEmpty())
            return fail(tr("--add needs the addresses of the files to queue."));
        for (const QString& text : addresses) {
            // Files are fetched over http and https only.
            const QUrl url = QUrl::fromUserInput(text.trimmed());
            const QString scheme = url.scheme();
            if (text.trimmed().isEmpty() || !url.isValid() || url.host().isEmpty()
                || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
                return fail(tr("\"%1\" is no web address (http or https) of a file.").arg(text));
            m_headless.urls << url.toString(QUrl::FullyEncoded);
        }
        return Outcome::Run;
    case RunMode::Harvest:
        if (addresses.isEmpty())
            return fail(tr("--harvest needs the addresses of the pages to harvest."));
        break;
    case RunMode::Window:
        if (addresses.size() > 1)
            return fail(tr("Only one address can be opened at start-up; %1 were given.").arg(addresses.size()));
        break;
    }

    // Pages: a file in the working folder is that file; anything else is a
    // web address as the address box takes it.
    for (const QString& text : addresses) {
        const QUrl url = QUrl::fromUserInput(text, working.absolutePath());
        const QString scheme = url.scheme();
        const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
        if (!url.isValid() || text.trimmed().isEmpty() || (web && url.host().isEmpty()))
            return fail(tr("\"%1\" is neither a web address nor a file.").arg(text));
        if (!web && !url.isLocalFile())
            return fail(tr("\"%1\": Pullmark opens web pages (http, https) and local files only.").arg(text));
        if (url.isLocalFile()) {
            const QFileInfo file(url.toLocalFile());
            if (!file.exists())
                return fail(tr("%1 does not exist.").arg(file.filePath()));
            if (!file.isFile())
                return fail(tr("%1 is not a file.").arg(file.filePath()));
        }
        if (m_mode == RunMode::Window)
            m_firstPage = url;
        else
            m_headless.urls << url.toString(QUrl::FullyEncoded);
    }
    return Outcome::Run;
}

int CommandLine::finish(Outcome outcome) const
{
    switch (outcome) {
    case Outcome::Help:
        printText(stdout, m_parser.helpText());
        return 0;
    case Outcome::Version:
        printText(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
                              + QLatin1Char('\n'));
        return 0;
    case Outcome::Error:
        printText(stderr, QStringLiteral("pullmark: ") + m_error + QLatin1Char('\n')
                              + tr("Try \"pullmark --help\" for more information.") + QLatin1Char('\n'));
        return 2;
    case Outcome::Run:
        break;
    }
    return 0;
}

QStringList commandLineArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace pm
