#include "app/instancechannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

namespace pm {

namespace {
// How long a connection may take to send its request.
constexpr int kRequestTimeoutMs = 10 * 1000;
// How long a client waits for the answer.
constexpr int kAnswerTimeoutMs = 30 * 1000;

// A folder only this user can enter: the user's runtime folder when the
// session has one, else a private folder in the temporary folder. Another
// user's folder of that name, or one others can enter, is not used.
QString privateFolder()
{
    auto isPrivate = [](const QString& folder) {
        struct stat info = {};
        return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode)
               && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
    };
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivate(runtime))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/pullmark-%1").arg(::geteuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivate(own) ? own : QString();
}

// The configuration file as the file system resolves its folder, so that
// two spellings of one file meet.
QString fileKey(const QString& configurationFile)
{
    const QFileInfo file(configurationFile);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? file.absolutePath() : folder) + QLatin1Char('/') + file.fileName();
}
}  // namespace

QString InstanceChannel::socketName(const QString& configurationFile)
{
    const QString folder = privateFolder();
    if (folder.isEmpty())
        return {};
    const QByteArray digest =
        QCryptographicHash::hash(fileKey(configurationFile).toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    return folder + QStringLiteral("/pullmark-%1-%2.socket").arg(::geteuid()).arg(QString::fromLatin1(digest));
}

InstanceChannel::InstanceChannel(const QString& configurationFile, QObject* parent)
    : QObject(parent), m_socketName(socketName(configurationFile))
{
    if (!m_socketName.isEmpty()) {
        m_lock = std::make_unique<QLockFile>(m_socketName + QStringLiteral(".lock"));
        // Held for as long as the program runs; a lock whose program has
        // ended is taken over, however young.
        m_lock->setStaleLockTime(0);
    }
}

InstanceChannel::~InstanceChannel()
{
    if (m_server) {
        m_server->close();
        QLocalServer::removeServer(m_socketName);
    }
}

InstanceChannel::Claim InstanceChannel::claim(const QJsonObject& request, QJsonObject* answer, int patienceMs)
{
    if (!m_lock) {
        m_error = tr("no private folder for the lock in %1").arg(QDir::tempPath());
        return Claim::Failed;
    }
    const QDeadlineTimer deadline(patienceMs);
    while (true) {
        if (m_lock->tryLock(0))
            return Claim::Held;
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = tr("cannot make the lock file %1").arg(m_lock->fileName());
            return Claim::Failed;
        }
        QLocalSocket socket;
        socket.connectToServer(m_socketName);
        if (socket.waitForConnected(100)) {
            socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
            QByteArray line;
            const QDeadlineTimer answerDeadline(kAnswerTimeoutMs);
            while (!line.contains('\n') && socket.state() == QLocalSocket::ConnectedState && !answerDeadline.hasExpired()
                   && socket.waitForReadyRead(int(std::max<qint64>(1, answerDeadline.remainingTime()))))
                line += socket.readAll();
            line += socket.readAll();
            const QJsonDocument document = QJsonDocument::fromJson(line.left(line.indexOf('\n')));
            if (!document.isObject())
                return Claim::NoAnswer;
            *answer = document.object();
            return Claim::Answered;
        }
        if (deadline.hasExpired())
            return Claim::NoAnswer;
        QThread::msleep(100);  // its owner is starting up, or ending
    }
}

bool InstanceChannel::listen(Handler handler)
{
    m_handler = std::move(handler);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a program that was killed; the lock says it is ours.
    QLocalServer::removeServer(m_socketName);
    if (!m_server->listen(m_socketName)) {
        m_error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::accept);
    return true;
}

void InstanceChannel::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        // A connection that never sends its request is not kept.
        QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->disconnectFromServer(); });
        read(socket);
    }
}

void InstanceChannel::read(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMostRequestBytes)
            socket->disconnectFromServer();
        return;
    }
    const QByteArray line = socket->readLine(kMostRequestBytes + 1);
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);  // one request a connection
    const QJsonDocument document = QJsonDocument::fromJson(line);
    QJsonObject answer;
    if (document.isObject() && document.object().value(QStringLiteral("command")).isString())
        answer = m_handler(document.object());
    if (!answer.isEmpty())
        socket->write(QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
    socket->disconnectFromServer();  // after what was written has gone
}

}  // namespace pm
