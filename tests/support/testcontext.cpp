#include "tests/support/testcontext.h"

#include "core/config/configfile.h"
#include "core/diagnostics/csvlog.h"

#include <QFile>
#include <QNetworkProxyFactory>
#include <QProcess>

#include <mutex>

#include <unistd.h>

namespace pm::test {

namespace {
// Sends every request of the program's own network code to a host other
// than 127.0.0.1 through a proxy nobody listens at: it fails at once and
// nothing, not even a name look-up, leaves the machine.
class LoopbackOnlyProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        if (query.peerHostName() == QLatin1String("127.0.0.1") || query.peerHostName() == QLatin1String("localhost"))
            return {QNetworkProxy::NoProxy};
        return {QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 1)};
    }
};
}  // namespace

TestContext::TestContext(const QString& parent)
    : dir(parent.isEmpty() ? QTemporaryDir() : QTemporaryDir(parent + QStringLiteral("/pullmark-test-XXXXXX")))
{
    static std::once_flag proxiesSet;
    std::call_once(proxiesSet, [] { QNetworkProxyFactory::setApplicationProxyFactory(new LoopbackOnlyProxies); });
    app.setProgramFolder(dir.path());
    settings.activityLogFile = path(QStringLiteral("test.log"));
}

QStringList TestContext::logMessages() const
{
    QStringList messages;
    for (const QString& line : crlfLines(readAll(settings.activityLogFile)))
        messages << line.section(QLatin1Char('\t'), 1);
    return messages;
}

QStringList TestContext::csvRows() const
{
    return crlfLines(readAll(csvFileNameFor(settings.activityLogFile)));
}

ReadOnlyFolder::ReadOnlyFolder(const QString& name) : folder(name)
{
    taken = ::geteuid() == 0 ? QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) == 0
                             : QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (::geteuid() == 0)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray readAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QStringList crlfLines(const QByteArray& bytes)
{
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList storedQueue(const QString& configurationFile)
{
    TestContext scratch;
    ConfigurationLists lists;
    loadConfiguration(configurationFile, scratch.settings, lists, scratch.app.errors, scratch.app.log);
    return lists.queue;
}

}  // namespace pm::test
