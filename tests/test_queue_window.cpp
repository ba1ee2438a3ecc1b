// The Work Queue window: the button states, Move, Remove Select and Clear
// Queue, the status line, closing during a session, and the queue that the
// main window adds to while the window is hidden.
#include "app/mainwindow.h"
#include "queue/frmprogress.h"
#include "queue/queuerules.h"
#include "queue/transfer.h"
#include "settings/configfile.h"
#include "tests/support/queuetest.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testserver.h"
#include "tests/support/testutil.h"
#include "tests/support/webtest.h"

#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>
#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
QStringList listOf(const frmProgress& w)
{
    return w.entries();
}

void select(frmProgress& w, const QList<int>& rows)
{
    w.lstQue->clearSelection();
    for (int row : rows) {
        w.lstQue->setCurrentRow(row, QItemSelectionModel::Select);
    }
}

const QStringList kFive = {"u1", "u2", "u3", "u4", "u5"};
}  // namespace

class TestQueueWindow : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    TestProfile* m_web = nullptr;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
    }
    void cleanupTestCase() { delete m_web; }

    void queueCountStates_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("start");
        QTest::addColumn<bool>("clear");
        QTest::newRow("empty, idle") << 0 << false << false << false;
        QTest::newRow("empty, running") << 0 << true << false << false;
        QTest::newRow("one, idle") << 1 << false << true << true;
        QTest::newRow("one, running") << 1 << true << false << false;
        QTest::newRow("two, idle") << 2 << false << true << true;
        QTest::newRow("many, running") << 40000 << true << false << true;
    }
    void queueCountStates()
    {
        QFETCH(int, n);
        QFETCH(bool, running);
        QFETCH(bool, start);
        QFETCH(bool, clear);
        // Whatever the buttons showed before, the table decides.
        for (const bool before : {false, true}) {
            const QueueButtons b = queueCountState(n, running, 0, QString(), {before, before, before, before});
            QCOMPARE(b.start, start);
            QCOMPARE(b.clear, clear);
            QVERIFY(!b.removeSel);
            QVERIFY(!b.move);
        }
        // Remove Select follows the selection, Move also needs a number.
        QVERIFY(queueCountState(n, running, 2, "3", {}).removeSel);
        QVERIFY(!queueCountState(n, running, 2, "3", {}).move);
        QVERIFY(queueCountState(n, running, 1, " 3 ", {}).move);
        QVERIFY(!queueCountState(n, running, 1, "abc", {}).move);
        QVERIFY(!queueCountState(n, running, 1, "", {}).move);
    }

    void loadShowsTheStoredQueue()
    {
        FreshSettings fresh;
        settings().colG_Queue = {"a", "b", "c"};
        frmProgress w;
        QCOMPARE(listOf(w), (QStringList{"a", "b", "c"}));
        QCOMPARE(w.windowTitle(), QStringLiteral("Work Queue"));
        QVERIFY(!w.lblFileProg->isVisibleTo(&w));
        QVERIFY(!w.cmdCancel->isEnabled() && !w.cmdMove->isEnabled() && !w.cmdDelSel->isEnabled());
        w.Form_Activate();
        QCOMPARE(w.txtQueueCount->text(), QStringLiteral("3"));
        QVERIFY(w.cmdStart->isEnabled() && w.cmdDelAll->isEnabled());
        // Unloading stores the list; loading again starts from the store.
        w.removeAt(1);
        w.close();
        QCOMPARE(settings().colG_Queue, (QStringList{"a", "c"}));
        QVERIFY(!w.isLoaded());
        settings().colG_Queue = {"x"};
        QCOMPARE(w.count(), 1);  // touching the list loads it again
        QVERIFY(w.isLoaded());
    }

    void move_data()
    {
        QTest::addColumn<QString>("pos");
        QTest::addColumn<QString>("posAfter");
        QTest::addColumn<QStringList>("list");
        // Entry "u3" (index 2) is moved.
        QTest::newRow("0") << "0" << "1" << QStringList{"u3", "u1", "u2", "u4", "u5"};
        QTest::newRow("-3") << "-3" << "1" << QStringList{"u3", "u1", "u2", "u4", "u5"};
        QTest::newRow("99") << "99" << "5" << QStringList{"u1", "u2", "u4", "u5", "u3"};
        QTest::newRow("2") << "2" << "2" << QStringList{"u1", "u3", "u2", "u4", "u5"};
        QTest::newRow("half to even") << "2.5" << "2.5" << QStringList{"u1", "u2", "u3", "u4", "u5"};  // index 1.5 -> 2
        QTest::newRow("other half") << "1.5" << "1.5" << QStringList{"u3", "u1", "u2", "u4", "u5"};  // index 0.5 -> 0
    }
    void move()
    {
        QFETCH(QString, pos);
        QFETCH(QString, posAfter);
        QFETCH(QStringList, list);
        FreshSettings fresh;
        settings().colG_Queue = kFive;
        frmProgress w;
        select(w, {2});
        w.txtPos->setText(pos);
        QVERIFY(w.cmdMove->isEnabled());
        w.cmdMove->click();
        QCOMPARE(w.txtPos->text(), posAfter);
        QCOMPARE(listOf(w), list);
        QVERIFY(!w.cmdMove->isEnabled());
        QVERIFY(w.lstQue->selectedItems().isEmpty());
    }

    void moveNeedsANumberAndOneEntry()
    {
        FreshSettings fresh;
        settings().colG_Queue = kFive;
        frmProgress w;
        select(w, {1});
        w.txtPos->setText("abc");
        QVERIFY(!w.cmdMove->isEnabled());
        w.txtPos->setText("3");
        QVERIFY(w.cmdMove->isEnabled());
        select(w, {1, 3});
        QVERIFY(!w.cmdMove->isEnabled());
        w.txtPos->setText("4");
        QVERIFY(!w.cmdMove->isEnabled());
    }

    void removeAndClear()
    {
        FreshSettings fresh;
        settings().colG_Queue = kFive;
        {
            frmProgress w;
            select(w, {0, 2, 3});
            w.cmdDelSel->click();
            QCOMPARE(listOf(w), (QStringList{"u2", "u5"}));
            QCOMPARE(w.txtQueueCount->text(), QStringLiteral("2"));
            w.cmdDelAll->click();
            QCOMPARE(w.count(), 0);
            QVERIFY(!w.cmdStart->isEnabled() && !w.cmdDelAll->isEnabled() && !w.cmdDelSel->isEnabled());
        }
        // During a session the entry in work stays: it cannot be selected,
        // Remove Select starts after it and Clear Queue keeps it.
        {
            frmProgress w;
            w.flags().chkInProgress = true;
            select(w, {0});
            QVERIFY(!w.lstQue->item(0)->isSelected());
            QVERIFY(!w.cmdDelSel->isEnabled());
            select(w, {1, 3});
            w.cmdDelSel->click();
            QCOMPARE(listOf(w), (QStringList{"u1", "u3", "u5"}));
            w.cmdDelAll->click();
            QCOMPARE(listOf(w), QStringList{"u1"});
            QVERIFY(!w.cmdDelAll->isEnabled());
            w.flags().chkInProgress = false;
        }
    }

    void statusLine()
    {
        QString text = "Working...";  // the text before the first session
        QCOMPARE(nextStatusText(text, false), QStringLiteral("Working...."));
        QCOMPARE(nextStatusText("Queue Empty", false), QStringLiteral("Working"));
        text = "Working";
        QStringList seen;
        for (int i = 0; i < 12; ++i) {
            seen << text;
            text = nextStatusText(text, false);
        }
        QCOMPARE(seen[10], QStringLiteral("Working.........."));
        QCOMPARE(seen[11], QStringLiteral("Working"));
        QCOMPARE(nextStatusText("working...", false), QStringLiteral("working...."));
        QCOMPARE(nextStatusText("Working...", true), QStringLiteral("Stopping"));
        QCOMPARE(nextStatusText("Stopping..........", true), QStringLiteral("Stopping"));
    }

    void addToQueueSkipsQueuedAddresses()
    {
        FreshSettings fresh;
        settings().colG_Queue = {"http://h/A.jpg"};
        frmProgress w;
        addToQueue(w, {"http://h/a.JPG", "http://h/b.jpg", "http://h/c.jpg", "http://h/B.JPG"});
        addToQueue(w, {"http://h/b.jpg", "http://h/c.jpg"});
        QCOMPARE(listOf(w), (QStringList{"http://h/A.jpg", "http://h/b.jpg", "http://h/c.jpg"}));
        QCOMPARE(w.txtQueueCount->text(), QStringLiteral("3"));
    }

    // A session in the window: Stop, the status line, closing with No and
    // Yes, and the system ending the program.
    void closingDuringASession()
    {
        FreshSettings fresh;
        fresh.logHere();
        const QString out = fresh.path("out");
        QDir().mkpath(out);
        settings().strG_SavePath = out;
        settings().strG_Unattended = "Resume";
        const QString slow = m_server.url("/drip/slow.bin?size=400000&chunk=1000&ms=20");
        const QString next = m_server.url("/file/next.bin?size=10");
        settings().colG_Queue = {slow, next};
        ScriptedInteraction script;
        frmProgress w;
        w.show();
        QSignalSpy finished(&w, &frmProgress::sessionFinished);
        QSignalSpy progress(w.transfer(), &Transfer::progress);

        w.cmdStart->click();
        QVERIFY(progress.wait(5000));
        QCOMPARE(w.windowTitle(), QStringLiteral("In Progress..."));
        QVERIFY(w.cmdCancel->isEnabled() && !w.cmdClose->isEnabled() && !w.cmdStart->isEnabled());
        QVERIFY(w.Timer1->isActive());
        w.Timer1_Timer();  // the first session starts from "Working..."
        QCOMPARE(w.lblFileProg->text(), QStringLiteral("Working...."));

        // No: the window and the session stay.
        script.yesNoAnswers.enqueue(false);
        QVERIFY(!w.close());
        QCOMPARE(script.asked.last().title, QStringLiteral("Are you sure"));
        QCOMPARE(script.asked.last().text,
                 QStringLiteral("Download in progress, closing will cancel download. Do you wish to continue?"));
        QCOMPARE(script.asked.last().icon, MessageIcon::Question);
        QVERIFY(w.isVisible());
        QVERIFY(w.transfer()->running());
        QVERIFY(!w.flags().chkContinue);

        // Yes: logged, stopped after the fetch, the entry in work kept first.
        script.yesNoAnswers.enqueue(true);
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
        QVERIFY(w.flags().chkContinue);
        QCOMPARE(settings().colG_Queue, (QStringList{slow, next}));
        QVERIFY(finished.wait(5000));
        QCOMPARE(w.lblFileProg->text(), QStringLiteral("Queue Stopped"));
        QVERIFY(w.cmdStart->isEnabled());
        QVERIFY(!w.flags().chkInProgress);
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(folderFiles(out).isEmpty());
        QCOMPARE(settings().colG_Queue, (QStringList{slow, next}));
        QStringList log = fresh.logMessages();
        QCOMPARE(log.first(), QStringLiteral("Starting a work session"));
        QVERIFY(log.contains("Cancelled operation, due to user application exiting"));
        QCOMPARE(log.last(), QStringLiteral("Completed a work session"));

        // Closing with no session asks nothing.
        const int asked = int(script.asked.size());
        w.show();
        QVERIFY(w.close());
        QCOMPARE(int(script.asked.size()), asked);

        // Stop Download, then the system ending the program: no question.
        w.ensureLoaded();
        w.show();
        w.cmdStart->click();
        QVERIFY(progress.wait(5000));
        w.cmdCancel->click();
        QVERIFY(w.flags().chkContinue);
        w.Timer1_Timer();
        QCOMPARE(w.lblFileProg->text(), QStringLiteral("Stopping"));
        QVERIFY(finished.wait(5000));
        QCOMPARE(w.lblFileProg->text(), QStringLiteral("Queue Stopped"));
        QVERIFY(fresh.logMessages().contains("User cancelled operation"));

        w.setSystemEndingQuery([] { return true; });
        w.cmdStart->click();
        QVERIFY(progress.wait(5000));
        QVERIFY(w.close());
        QCOMPARE(int(script.asked.size()), asked);
        QVERIFY(finished.wait(5000));
        log = fresh.logMessages();
        QVERIFY(log.contains("Cancelled operation, due to OS application termination"));
        QCOMPARE(settings().colG_Queue.first(), slow);
        QVERIFY(folderFiles(out).isEmpty());
    }

    // "Add to Queue" with the queue window never shown: the entries join
    // the saved ones and survive a quit and a new start.
    void hiddenQueueSurvivesRestart()
    {
        if (!m_web)
            m_web = new TestProfile;
        FreshSettings fresh;
        settings().bG_Disclaimer = true;
        settings().colG_Queue = {"http://h/saved.jpg"};
        SaveINI(settings().strG_IniFileName, {});
        settings().colG_Queue.clear();
        ScriptedInteraction script;
        {
            frmMain main(m_web->profile(), fresh.dir.path());
            QVERIFY(main.Form_Load());
            main.foundModel()->setStringList({"http://h/one.jpg", "http://h/two.jpg", "http://h/SAVED.jpg"});
            main.foundList()->selectAll();
            main.cmdAdd_Click();
            frmProgress* queue = main.workQueueWindow();
            QVERIFY(!queue->isVisible());
            QCOMPARE(queue->entries(), (QStringList{"http://h/saved.jpg", "http://h/one.jpg", "http://h/two.jpg"}));
            main.show();
            main.close();
        }
        settings() = Settings{};
        settings().strG_AppPath = fresh.dir.path();
        settings().strG_IniFileName = fresh.path("Pullmark.ini");
        frmMain again(m_web->profile(), fresh.dir.path());
        QVERIFY(again.Form_Load());
        again.cmdShowQue_Click();
        frmProgress* queue = again.workQueueWindow();
        QVERIFY(queue->isVisible());
        QVERIFY(!queue->parentWidget());
        QCOMPARE(queue->entries(), (QStringList{"http://h/saved.jpg", "http://h/one.jpg", "http://h/two.jpg"}));
        again.close();
    }

    // The system ending the program during a session: no question, the log
    // line, the transfer stopped, and the configuration holds the entry in
    // work first.
    void systemEndingDuringASession()
    {
        if (!m_web)
            m_web = new TestProfile;
        FreshSettings fresh;
        fresh.logHere();
        const QString out = fresh.path("out");
        QDir().mkpath(out);
        settings().bG_Disclaimer = true;
        SaveINI(settings().strG_IniFileName, {});
        ScriptedInteraction script;
        frmMain main(m_web->profile(), fresh.dir.path());
        QVERIFY(main.Form_Load());
        settings().strG_SavePath = out;
        settings().strG_LogFileName = fresh.path("test.log");
        const QString slow = m_server.url("/drip/sys.bin?size=400000&chunk=1000&ms=20");
        main.foundModel()->setStringList({slow, m_server.url("/file/other.bin?size=5")});
        main.foundList()->selectAll();
        main.cmdAdd_Click();
        main.cmdShowQue_Click();
        frmProgress* queue = main.workQueueWindow();
        QSignalSpy progress(queue->transfer(), &Transfer::progress);
        queue->cmdStart->click();
        QVERIFY(progress.wait(5000));
        const int asked = int(script.asked.size());

        main.show();
        main.closeForSystem();
        QCOMPARE(int(script.asked.size()), asked);
        QVERIFY(!queue->isVisible());
        QVERIFY(queue->flags().chkContinue);
        QVERIFY(!queue->transfer()->running() || QSignalSpy(queue, &frmProgress::sessionFinished).wait(5000));
        QVERIFY(fresh.logMessages().contains("Cancelled operation, due to OS application termination"));
        settings().colG_Queue.clear();
        QStringList history;
        QVERIFY(LoadINI(settings().strG_IniFileName, history));
        QCOMPARE(settings().colG_Queue.value(0), slow);
        QCOMPARE(settings().colG_Queue.size(), 2);
        QVERIFY(folderFiles(out).isEmpty());
    }
};

QTEST_MAIN(TestQueueWindow)
#include "test_queue_window.moc"
