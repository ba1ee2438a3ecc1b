#pragma once
// One program at a time for a configuration file: whichever Pullmark starts
// first with it holds it (a lock file), and the others talk to that one
// through a local socket instead of writing the same configuration file or
// browser profile. Both live in a folder only the user can enter (the
// user's runtime folder), named after the configuration file, and the
// socket is made for the user alone.
//
// A request is one line of JSON, an object with a "command"; the answer is
// one line of JSON. Whatever else arrives (not JSON, too long, an unknown
// command, values of the wrong type) is ignored: the connection is closed
// without an answer.

#include <QJsonObject>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace pm {

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // Reads a request and gives the answer; an empty object ignores it.
    using Handler = std::function<QJsonObject(const QJsonObject& request)>;

    explicit InstanceChannel(const QString& configurationFile, QObject* parent = nullptr);
    ~InstanceChannel() override;

    enum class Claim {
        Held,      // this program holds the configuration file now
        Answered,  // another program holds it and answered the request
        NoAnswer,  // another program holds it and did not answer in time
        Failed,    // the lock cannot be made (see errorText())
    };
    // Takes the configuration file for this program or, when another
    // program holds it, sends it `request` and reads its answer into
    // `answer`. A program that holds it but does not listen (yet) is tried
    // again until `patienceMs` have passed, and the file is taken if that
    // program ends meanwhile. Blocks; for start-up, before the event loop.
    Claim claim(const QJsonObject& request, QJsonObject* answer, int patienceMs = 10000);
    QString errorText() const { return m_error; }

    // After Held: answers requests through `handler` from the event loop.
    // Returns false when the socket cannot be made.
    bool listen(Handler handler);

    // The longest request read; a longer one is dropped.
    static constexpr qint64 kMostRequestBytes = 4 * 1024 * 1024;

    // Where the lock and the socket for `configurationFile` live.
    static QString socketName(const QString& configurationFile);

private:
    void accept();
    void read(QLocalSocket* socket);

    QString m_socketName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
    QString m_error;
};

}  // namespace pm
