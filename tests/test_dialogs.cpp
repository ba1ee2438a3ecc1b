// The History and About windows.
#include "archive/sqlitearchive.h"
#include "gui/aboutdialog.h"
#include "gui/archivelistmodel.h"
#include "gui/historydialog.h"
#include "tests/support/testcontext.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>
#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    // The addresses' page deletes from the history. The archive's page:
    // newest first, a search that takes its text literally and ignores letter
    // case; Remove selected and Clear change the archive.
    void history()
    {
        TestContext t;
        t.app.history.setEntries({"http://a/", "http://B/", "http://c/", "http://d/"});
        HistoryDialog dialog(t.app.history);
        auto* list = dialog.findChild<QListView*>("lstUrl");
        auto* deleteSelected = dialog.findChild<QPushButton*>("cmdDelSel");
        QCOMPARE(list->model()->rowCount(), 4);
        for (int row : {1, 3})
            list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
        deleteSelected->click();
        QCOMPARE(t.app.history.entries(), (QStringList{"http://a/", "http://c/"}));
        dialog.findChild<QPushButton*>("cmdDelAll")->click();
        QCOMPARE(t.app.history.count(), 0);
        QCOMPARE(list->model()->rowCount(), 0);

        SqliteDownloadArchive archive(t.path("a.sqlite"), t.app.errors);
        for (const QString name : {"a_1.jpg", "b%2.jpg", "c3.jpg"})
            archive.add({0, "http://h/" + name, {}, "/out/" + name, 10, {}, {}});
        QCOMPARE(dialog.findChild<QTabWidget*>("tbsHistory")->count(), 1);
        dialog.setArchive(&archive);
        QCOMPARE(dialog.findChild<QTabWidget*>("tbsHistory")->count(), 2);
        auto* view = dialog.findChild<QTreeView*>("lstArchive");
        auto names = [model = view->model()] {
            QStringList shown;
            for (int row = 0; row < model->rowCount(); ++row)
                shown << model->index(row, ArchiveListModel::FileColumn).data().toString();
            return shown;
        };
        QCOMPARE(names(), (QStringList{"c3.jpg", "b%2.jpg", "a_1.jpg"}));
        const QList<std::pair<QString, QStringList>> searches{
            {"%", {"b%2.jpg"}}, {"_", {"a_1.jpg"}}, {"B", {"b%2.jpg"}}, {"x", {}}, {"", {"c3.jpg", "b%2.jpg", "a_1.jpg"}}};
        for (const auto& [text, found] : searches) {
            dialog.findChild<QLineEdit*>("txtArchiveSearch")->setText(text);
            QCOMPARE(names(), found);
        }
        auto* remove = dialog.findChild<QPushButton*>("cmdArchiveRemove");
        view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        remove->click();
        QCOMPARE(names(), (QStringList{"c3.jpg", "a_1.jpg"}));
        QVERIFY(!archive.findByUrl("http://h/b%2.jpg"));
        dialog.findChild<QPushButton*>("cmdArchiveClear")->click();
        QVERIFY(names().isEmpty() && archive.records({}, 0, 10).isEmpty());
    }

    // Without a system-information program: a message, never a call to the
    // empty launcher.
    void aboutWithoutSystemInformation()
    {
        ScriptedInteraction ui;
        AboutDialog dialog("/opt/pullmark", "/home/u/.config/Pullmark/Pullmark.ini", ui);
        dialog.setSystemInfoLauncher({[] { return QString(); }, {}});
        dialog.findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(ui.asked.value(0).text, QStringLiteral("System Information Is Unavailable At This Time"));
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
