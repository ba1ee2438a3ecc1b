#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so the
// program can close as if its window had been closed.

#include <QObject>

class QSocketNotifier;

namespace pm {

class TerminationWatcher : public QObject {
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace pm
