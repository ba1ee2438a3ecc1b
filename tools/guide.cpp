// Builds the user guide from its Markdown source, docs/user-guide.md:
//
//   pm_guide html GUIDE.md STYLE.css OUT.html
//       the page the program ships in its resources and opens on Help;
//   pm_guide readme GUIDE.md README.md
//       copies the guide's sections that the README names into it again
//       ("make readme"; a test fails while the README differs).
#include "tools/guidesections.h"
#include "tools/markdownhtml.h"

#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

namespace {
bool readText(const QString& fileName, QString& text)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "pm_guide: %s: %s\n", qPrintable(fileName), qPrintable(file.errorString()));
        return false;
    }
    text = QString::fromUtf8(file.readAll());
    return true;
}

bool writeText(const QString& fileName, const QString& text)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        std::fprintf(stderr, "pm_guide: %s: %s\n", qPrintable(fileName), qPrintable(file.errorString()));
        return false;
    }
    return true;
}
}  // namespace

int main(int argc, char* argv[])
{
    // Qt's Markdown reader needs the font system, which needs a display
    // plugin; the build runs this with the offscreen one.
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString guide, second;
    if (args.size() == 4 && args[0] == QLatin1String("html")) {
        if (!readText(args[1], guide) || !readText(args[2], second))
            return 1;
        return writeText(args[3], pm::markdownToHtml(guide, second)) ? 0 : 1;
    }
    if (args.size() == 3 && args[0] == QLatin1String("readme")) {
        if (!readText(args[1], guide) || !readText(args[2], second))
            return 1;
        const pm::ReadmeUpdate update = pm::readmeWithGuideSections(second, guide, QStringLiteral("docs/user-guide.md"));
        if (!update.error.isEmpty()) {
            std::fprintf(stderr, "pm_guide: %s\n", qPrintable(update.error));
            return 1;
        }
        return update.text == second || writeText(args[2], update.text) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: pm_guide html GUIDE.md STYLE.css OUT.html\n"
                         "       pm_guide readme GUIDE.md README.md\n");
    return 2;
}
