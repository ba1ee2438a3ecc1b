// The download queue model: duplicates, and editing around entries in work.
#include "core/download/downloadqueue.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using namespace pm;

class TestDownloadQueue : public QObject {
    Q_OBJECT
private slots:
    void addingSkipsQueuedAddressesIgnoringCase()
    {
        DownloadQueue queue;
        QAbstractItemModelTester tester(&queue);
        queue.append({"http://h/saved.jpg", "http://h/saved.jpg"});  // a stored queue keeps duplicates
        QCOMPARE(queue.addNew({"http://h/one.jpg", "http://h/SAVED.jpg", "http://h/ONE.jpg", "http://h/two.jpg"}), 2);
        QCOMPARE(queue.urls(), (QStringList{"http://h/saved.jpg", "http://h/saved.jpg", "http://h/one.jpg", "http://h/two.jpg"}));
        QVERIFY(queue.isQueued("HTTP://H/TWO.JPG"));
        // Removing one of two equal entries keeps the address queued.
        queue.removeRows({0});
        QVERIFY(queue.isQueued("http://h/saved.jpg"));
        queue.removeRows({0});
        QVERIFY(!queue.isQueued("http://h/saved.jpg"));
        QCOMPARE(queue.addNew({"http://h/saved.jpg"}), 1);
    }

    void editingKeepsTheEntriesInWork()
    {
        DownloadQueue queue;
        QAbstractItemModelTester tester(&queue);
        queue.append({"u1", "u2", "u3", "u4", "u5"});
        const DownloadQueue::EntryId active = queue.idAt(2);
        queue.setState(active, EntryState::Active);

        queue.removeRows({0, 2, 3});  // the active entry is not removed
        QCOMPARE(queue.urls(), (QStringList{"u2", "u3", "u5"}));
        queue.moveRow(2, 0);
        queue.moveRow(0, 2);
        queue.moveRow(0, 1);
        QCOMPARE(queue.urls(), (QStringList{"u3", "u2", "u5"}));
        QCOMPARE(queue.rowOf(active), 0);

        queue.clearWaiting();
        QCOMPARE(queue.urls(), QStringList{"u3"});
        queue.replaceWaiting({"a", "b"});
        QCOMPARE(queue.urls(), (QStringList{"u3", "a", "b"}));

        queue.setState(active, EntryState::Failed, "server answered 404 Not Found");
        QCOMPARE(queue.failedCount(), 1);
        QVERIFY(queue.data(queue.index(0), Qt::ToolTipRole).toString().contains("404 Not Found"));
        queue.remove(active);
        QCOMPARE(queue.rowOf(active), -1);
        QCOMPARE(queue.urls(), (QStringList{"a", "b"}));
        queue.remove(active);  // gone already: nothing happens
        QCOMPARE(queue.count(), 2);
    }

    // Finished entries leave the queue at once, their rows together a
    // moment later; editing meanwhile never removes them a second time.
    void finishedEntriesLeaveTogether()
    {
        DownloadQueue queue;
        QAbstractItemModelTester tester(&queue);
        queue.append({"u1", "u2", "u3", "u4", "u5"});
        QSignalSpy left(&queue, &DownloadQueue::entriesRemoved);
        QSignalSpy rowsGone(&queue, &QAbstractItemModel::rowsRemoved);
        auto leftOnce = [&left] {
            QStringList urls;
            for (const QList<QVariant>& signal : std::as_const(left))
                urls += signal.at(0).toStringList();
            urls.sort();
            return urls;
        };
        for (int row : {0, 1, 3})
            queue.finish(queue.idAt(row));
        queue.finish(queue.idAt(0));  // finished already: nothing happens

        QCOMPARE(queue.urls(), (QStringList{"u3", "u5"}));
        QCOMPARE(queue.remaining(), 2);
        QVERIFY(!queue.isQueued("u1") && queue.isQueued("u3"));
        QCOMPARE(leftOnce(), (QStringList{"u1", "u2", "u4"}));
        QCOMPARE(queue.count(), 5);  // the rows stay until the sweep
        QCOMPARE(queue.stateAt(1), EntryState::Done);
        QVERIFY(rowsGone.isEmpty());

        queue.clearWaiting();   // only u3 and u5 go
        queue.removeRows({0});  // a finished row: nothing happens
        QCOMPARE(leftOnce(), (QStringList{"u1", "u2", "u3", "u4", "u5"}));
        QVERIFY(queue.isEmpty());
        QCOMPARE(queue.count(), 3);

        // The sweep takes out the run of finished rows in one removal.
        QVERIFY(rowsGone.wait(30000));
        QCOMPARE(rowsGone.size(), 3);
        QCOMPARE(rowsGone.last().at(1).toInt(), 0);
        QCOMPARE(rowsGone.last().at(2).toInt(), 2);
        QCOMPARE(queue.count(), 0);
        QCOMPARE(leftOnce().size(), 5);

        queue.append({"a", "b", "c"});
        queue.finish(queue.idAt(0));
        queue.finish(queue.idAt(2));
        queue.remove(queue.idAt(0));  // at once, and not told twice
        queue.removeDoneRows();
        QCOMPARE(queue.count(), 1);
        QCOMPARE(queue.remaining(), 1);
        QCOMPARE(leftOnce(), (QStringList{"a", "c", "u1", "u2", "u3", "u4", "u5"}));
    }
};

QTEST_GUILESS_MAIN(TestDownloadQueue)
#include "test_download_queue.moc"
