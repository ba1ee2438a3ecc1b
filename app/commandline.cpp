#include "app/commandline.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace pm {

namespace {
void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
}  // namespace

CommandLine::CommandLine()
    : m_help({QStringLiteral("h"), QStringLiteral("help")}, tr("Show this help and exit.")),
      m_version({QStringLiteral("v"), QStringLiteral("version")}, tr("Show the version and exit.")),
      m_config({QStringLiteral("c"), QStringLiteral("config")},
               tr("Load and save the configuration file FILE instead of the default one."), tr("FILE"))
{
    m_parser.setApplicationDescription(
        tr("Pullmark harvests media files from web pages: browse, pick the links and images you want, "
           "and download them in a queue."));
    m_parser.addOption(m_help);
    m_parser.addOption(m_version);
    m_parser.addOption(m_config);
    m_parser.addPositionalArgument(QStringLiteral("URL"),
                                   tr("A web address or a local HTML file to open instead of the start page."),
                                   QStringLiteral("[URL]"));
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

    const QStringList addresses = m_parser.positionalArguments();
    if (addresses.size() > 1)
        return fail(tr("Only one address can be opened at start-up; %1 were given.").arg(addresses.size()));
    if (addresses.size() == 1) {
        const QString& text = addresses.first();
        // A file in the working folder is that file; anything else is a web
        // address as the address box takes it.
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
        m_firstPage = url;
    }
    return Outcome::Run;
}

int CommandLine::finish(Outcome outcome) const
{
    switch (outcome) {
    case Outcome::Help:
        print(stdout, m_parser.helpText());
        return 0;
    case Outcome::Version:
        print(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
                          + QLatin1Char('\n'));
        return 0;
    case Outcome::Error:
        print(stderr, QStringLiteral("pullmark: ") + m_error + QLatin1Char('\n')
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
