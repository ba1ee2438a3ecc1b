#include "gui/aboutdialog.h"

#include "core/userinteraction.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

namespace pm {

namespace {
const char* const kContactMail = "support@pullmark.example.org";
const char* const kWebAddress = "https://pullmark.example.org";

QLabel* label(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}
}  // namespace

SystemInfoLauncher defaultSystemInfoLauncher()
{
    SystemInfoLauncher launcher;
    launcher.find = [] {
        for (const char* name : {"hardinfo", "gnome-system-monitor", "kinfocenter", "lshw-gtk"}) {
            const QString found = QStandardPaths::findExecutable(QLatin1String(name));
            if (!found.isEmpty())
                return found;
        }
        return QString();
    };
    launcher.start = [](const QString& program) { return QProcess::startDetached(program, {}); };
    return launcher;
}

QString executingFromText(const QString& programFolder)
{
    const QString crlf = QStringLiteral("\r\n");
    const qsizetype n = programFolder.size();
    QString lines;
    if (n <= 53)
        lines = programFolder;
    else if (n <= 106)
        lines = programFolder.left(45) + crlf + programFolder.mid(45);
    else
        lines = programFolder.left(45) + crlf + programFolder.mid(45, 45) + crlf + programFolder.mid(90);
    return AboutDialog::tr("Executing from ") + crlf + lines;
}

AboutDialog::AboutDialog(const QString& programFolder, const QString& configurationFile, UserInteraction& ui,
                         QWidget* parent)
    : QDialog(parent), m_ui(ui)
{
    const QString title = QStringLiteral(PULLMARK_TITLE);
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About %1").arg(title));

    auto* icon = label("picIcon", QString(), this);
    QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull())
        appIcon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    icon->setPixmap(appIcon.pixmap(48, 48));
    auto* titleLabel = label("lblTitle", title, this);
    QFont titleFont = titleLabel->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    auto* version = label("lblVersion",
                          tr("Version %1.%2.%3").arg(PULLMARK_VERSION_MAJOR).arg(PULLMARK_VERSION_MINOR).arg(PULLMARK_VERSION_PATCH),
                          this);
    auto* folder = label("lblPath", executingFromText(programFolder), this);
    folder->setTextFormat(Qt::PlainText);
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* configuration = label("lblConfig", tr("Settings are kept in %1").arg(configurationFile), this);
    configuration->setTextFormat(Qt::PlainText);
    configuration->setTextInteractionFlags(Qt::TextSelectableByMouse);
    configuration->setWordWrap(true);
    auto* description = label("lblDescription",
                              tr("This application will help you automate download files from the internet. "
                                 "For questions contact %1. New version published at %2")
                                  .arg(QLatin1String(kContactMail), QLatin1String(kWebAddress)),
                              this);
    description->setWordWrap(true);
    auto* disclaimer = label(
        "lblDisclaimer",
        tr("Warning: downloading material that you have no right to copy may break the law and the terms of the "
           "sites you visit; you alone are responsible for what you download. This application is provided AS IS. "
           "No guarantees are provided or implied. If you have questions feel free to contact us and we'll see what "
           "we can do."),
        this);
    disclaimer->setWordWrap(true);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* systemInfo = new QPushButton(tr("&System Info..."), this);
    systemInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    systemInfo->setAutoDefault(false);

    auto* texts = new QVBoxLayout;
    texts->addWidget(titleLabel);
    texts->addWidget(version);
    texts->addWidget(folder);
    texts->addWidget(configuration);
    texts->addWidget(description);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(systemInfo);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(disclaimer, 1);
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    setMinimumWidth(480);

    // OK is also the cancel button: Esc closes the same way.
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(systemInfo, &QPushButton::clicked, this, &AboutDialog::startSystemInfo);
}

void AboutDialog::startSystemInfo()
{
    const QString program = m_launcher.find ? m_launcher.find() : QString();
    if (!program.isEmpty() && m_launcher.start && m_launcher.start(program))
        return;
    m_ui.inform(QStringLiteral(PULLMARK_TITLE), tr("System Information Is Unavailable At This Time"), MessageIcon::None);
}

}  // namespace pm
