// Runs one work session over the configuration file in the folder given, as
// the program does at start-up: the journal of an earlier run is replayed
// first, with the download archive "archive.sqlite" of that folder. For the
// tests that kill it part-way.
#include "archive/sqlitearchive.h"
#include "core/appcontext.h"
#include "tests/support/scriptedinteraction.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    pm::test::ScriptedInteraction ui;
    pm::AppContext context(ui);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    context.setProgramFolder(folder);
    context.setArchive(std::make_unique<pm::SqliteDownloadArchive>(folder + QStringLiteral("/archive.sqlite"), context.errors));
    context.loadStoredConfiguration();
    QObject::connect(&context.worker, &pm::QueueWorker::sessionEnded, &app, &QCoreApplication::quit);
    context.worker.start();
    return context.worker.running() ? app.exec() : 0;
}
