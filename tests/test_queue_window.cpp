// The Work Queue window: editing the queue through its controls, a session
// in it, and closing it or ending the program during a session.
#include "core/appcontext.h"
#include "gui/workqueuewindow.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
struct QueueWindowTest : TestContext {
    QueueWindowTest()
    {
        settings.outputFolder = path("out");
        QDir().mkpath(settings.outputFolder);
        settings.setErrorMode(ErrorMode::CarryOn);
    }
    template <typename T = QPushButton>
    T* child(const char* name) const
    {
        return window.findChild<T*>(QLatin1String(name));
    }
    void select(const QList<int>& rows)
    {
        QListView* list = child<QListView>("lstQue");
        list->clearSelection();
        for (int row : rows)
            list->selectionModel()->select(app.queue.index(row), QItemSelectionModel::Select);
        list->selectionModel()->setCurrentIndex(app.queue.index(rows.value(0)), QItemSelectionModel::NoUpdate);
    }
    bool waitForSessionEnd() { return QSignalSpy(&window, &WorkQueueWindow::sessionFinished).wait(60000); }
    QString status() const { return child<QLabel>("lblFileProg")->text(); }
    WorkQueueWindow window{app};
};
}  // namespace

class TestQueueWindow : public QObject {
    Q_OBJECT
private:
    TestServer m_server;

private slots:
    void initTestCase() { QVERIFY(m_server.listen()); }

    void editingTheQueueAndASession()
    {
        QueueWindowTest t;
        t.app.queue.append({"u1", "u2", "u3", "u4", "u5"});
        QCOMPARE(t.child<QLineEdit>("txtQueueCount")->text(), QStringLiteral("5"));
        QVERIFY(t.child("cmdStart")->isEnabled() && t.child("cmdDelAll")->isEnabled());

        // Move: the position is clamped to the list.
        t.select({1});
        t.child<QLineEdit>("txtPos")->setText(" 99 ");
        t.child("cmdMove")->click();
        QCOMPARE(t.child<QLineEdit>("txtPos")->text(), QStringLiteral("5"));
        QCOMPARE(t.app.queue.urls(), (QStringList{"u1", "u3", "u4", "u5", "u2"}));

        t.select({0, 2, 3});
        t.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&t.window));
        t.child<QListView>("lstQue")->setFocus();
        QTest::keyClick(t.child<QListView>("lstQue"), Qt::Key_Delete);  // as Remove Select
        QCOMPARE(t.app.queue.urls(), (QStringList{"u3", "u2"}));
        QCOMPARE(t.child<QLineEdit>("txtQueueCount")->text(), QStringLiteral("2"));
        t.child("cmdDelAll")->click();
        QVERIFY(t.app.queue.isEmpty());
        QVERIFY(!t.child("cmdStart")->isEnabled() && !t.child("cmdDelAll")->isEnabled()
                && !t.child("cmdDelSel")->isEnabled());

        // During a session the entry in work cannot be selected, removed or
        // cleared; failed entries stay, marked.
        const QString slow = m_server.url("/drip/slow.bin?size=60000&chunk=2000&ms=20");
        const QString missing = m_server.url("/status/404");
        t.app.queue.append({slow, missing, "http://127.0.0.1:1/other.bin"});
        QSignalSpy progress(&t.app.worker, &QueueWorker::itemProgress);
        t.child("cmdStart")->click();
        QVERIFY(progress.wait(30000));
        QVERIFY(t.child("cmdCancel")->isEnabled() && !t.child("cmdClose")->isEnabled());
        t.select({0, 2});
        QCOMPARE(t.child<QListView>("lstQue")->selectionModel()->selectedRows().size(), 1);
        t.child("cmdDelSel")->click();
        t.child("cmdDelAll")->click();
        QCOMPARE(t.app.queue.urls(), (QStringList{slow}));
        QVERIFY(!t.child("cmdDelAll")->isEnabled() && !t.child("cmdStart")->isEnabled());  // the entry in work alone
        t.app.queue.append({missing});
        QVERIFY(t.waitForSessionEnd());
        QCOMPARE(t.status(), QStringLiteral("1 failed"));
        QCOMPARE(t.child<QLineEdit>("txtFailedCount")->text(), QStringLiteral("1"));
        QCOMPARE(t.child<QLineEdit>("txtCompleteCount")->text(), QStringLiteral("1"));
        QVERIFY(t.child("cmdStart")->isEnabled());  // Start tries the failed entry again
    }

    void closingDuringASession()
    {
        QueueWindowTest t;
        const QString slow = m_server.url("/drip/slow.bin?size=400000&chunk=1000&ms=20");
        t.app.queue.append({slow, m_server.url("/file/next.bin?size=10")});
        t.window.show();
        QSignalSpy progress(&t.app.worker, &QueueWorker::itemProgress);
        t.child("cmdStart")->click();
        QVERIFY(progress.wait(30000));

        t.ui.yesNoAnswers << false;  // No: the window and the session stay
        QVERIFY(!t.window.close());
        QCOMPARE(t.ui.asked.last().title, QStringLiteral("Are you sure"));
        QVERIFY(t.window.isVisible() && !t.app.worker.stopRequested());
        t.ui.yesNoAnswers << true;
        QVERIFY(t.window.close());
        QVERIFY(t.waitForSessionEnd());
        QCOMPARE(t.status(), QStringLiteral("Queue Stopped"));
        QVERIFY(t.logMessages().contains("Cancelled operation, due to user application exiting"));

        t.window.show();
        t.child("cmdStart")->click();
        QVERIFY(progress.wait(30000));
        t.child("cmdCancel")->click();
        QVERIFY(t.waitForSessionEnd());
        QVERIFY(t.logMessages().contains("User cancelled operation"));

        // The system ending the program: no question.
        const qsizetype asked = t.ui.asked.size();
        t.child("cmdStart")->click();
        QVERIFY(progress.wait(30000));
        t.window.closeForSystem();
        QVERIFY(t.waitForSessionEnd());
        QCOMPARE(t.ui.asked.size(), asked);
        QVERIFY(t.logMessages().contains("Cancelled operation, due to OS application termination"));
    }
};

QTEST_MAIN(TestQueueWindow)
#include "test_queue_window.moc"
