// The Work Queue window: editing the queue through its controls, a session
// in it, and closing it or ending the program during a session.
#include "core/appcontext.h"
#include "gui/paintthrottle.h"
#include "gui/workqueuewindow.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStringListModel>
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

        // Move: one entry and a number; the position is clamped to the list.
        t.select({1});
        t.child<QLineEdit>("txtPos")->setText("abc");
        QVERIFY(!t.child("cmdMove")->isEnabled());
        t.child<QLineEdit>("txtPos")->setText(" 99 ");
        QVERIFY(t.child("cmdMove")->isEnabled());
        t.child("cmdMove")->click();
        QCOMPARE(t.child<QLineEdit>("txtPos")->text(), QStringLiteral("5"));
        QCOMPARE(t.app.queue.urls(), (QStringList{"u1", "u3", "u4", "u5", "u2"}));
        QVERIFY(!t.child("cmdMove")->isEnabled());
        t.select({0, 1});
        QVERIFY(!t.child("cmdMove")->isEnabled());

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

    // A view whose model changes hundreds of times a second paints about
    // once an interval, and shows the final state once the changes stop.
    void fastChangesPaintOncePerInterval()
    {
        QStringListModel model(QStringList(500, QStringLiteral("entry")));
        QListView view;
        auto* throttle = new PaintThrottle(&view, &model, 100);
        view.setModel(&model);
        int paints = 0;
        struct PaintCounter : QObject {
            int& count;
            explicit PaintCounter(int& c) : count(c) {}
            bool eventFilter(QObject*, QEvent* event) override
            {
                count += event->type() == QEvent::Paint ? 1 : 0;
                return false;
            }
        } counter(paints);
        view.viewport()->installEventFilter(&counter);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(paints > 0);
        QElapsedTimer clock;
        clock.start();
        paints = 0;
        int changes = 0;
        // Changing the first row without a pause: the view still paints.
        while (paints < 3 && clock.elapsed() < 30000) {
            model.setData(model.index(0), QString::number(++changes));
            QCoreApplication::processEvents();
        }
        QVERIFY2(paints >= 3, qPrintable(QString::number(paints)));
        // But once an interval at most, however many changes came meanwhile.
        QVERIFY2(paints <= clock.elapsed() / 100 + 2,
                 qPrintable(QStringLiteral("%1 paints in %2 ms").arg(paints).arg(clock.elapsed())));
        // Once the changes stop, the view takes updates again.
        QTRY_VERIFY(!throttle->holding());
        QVERIFY(view.updatesEnabled());
    }

    // A long name is elided, never scrolled to sideways; rows of every state
    // are one height. A download whose size stays unknown turns the bar
    // busy, and the session's end sets it back.
    void rowsAndTheProgressBar()
    {
        QueueWindowTest t;
        const QString endless = m_server.url("/endless/e.bin?chunk=10&ms=50");
        t.app.queue.append({m_server.url("/file/" + QString(200, QLatin1Char('n')) + ".bin?size=10"), endless});
        t.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.window));
        auto* list = t.child<QListView>("lstQue");
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);

        t.app.queue.moveRow(1, 0);
        auto* bar = t.child<QProgressBar>("prgItem");
        t.child("cmdStart")->click();
        QTRY_COMPARE(bar->maximum(), 0);
        QCOMPARE(list->visualRect(t.app.queue.index(0)).height(), list->visualRect(t.app.queue.index(1)).height());
        t.child("cmdCancel")->click();
        QVERIFY(t.waitForSessionEnd());
        QCOMPARE(bar->maximum(), 1000);
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
