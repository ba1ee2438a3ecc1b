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
};

QTEST_GUILESS_MAIN(TestDownloadQueue)
#include "test_download_queue.moc"
