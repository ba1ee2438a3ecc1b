#include "app/desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace pm {

QIcon applicationIcon()
{
    initAppResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/pullmark/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

void installTranslations(QCoreApplication& app)
{
    const QLocale locale = QLocale::system();
    // The install puts the program's translations at the same place relative
    // to the executable under any prefix; the build folder mirrors it.
    const QString ownFolder =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(PULLMARK_TRANSLATIONS_FROM_BIN));
    const struct {
        QString name;
        QString folder;
    } catalogues[] = {
        {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
        {QStringLiteral("pullmark"), ownFolder},
    };
    for (const auto& catalogue : catalogues) {
        auto* translator = new QTranslator(&app);
        if (translator->load(locale, catalogue.name, QStringLiteral("_"), catalogue.folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

QString versionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(PULLMARK_VERSION_MAJOR)
        .arg(PULLMARK_VERSION_MINOR)
        .arg(PULLMARK_VERSION_PATCH);
}

}  // namespace pm
