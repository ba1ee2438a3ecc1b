#include "windows/aboutwindow.h"

#include "common/interaction.h"
#include "settings/settings.h"

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

SystemInfoLauncher& launcher()
{
    static SystemInfoLauncher current = defaultSystemInfoLauncher();
    return current;
}

QLabel* label(const char* name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    return l;
}
}  // namespace

QStringList systemInfoCandidates()
{
    return {QStringLiteral("hardinfo"), QStringLiteral("gnome-system-monitor"), QStringLiteral("kinfocenter"),
            QStringLiteral("lshw-gtk")};
}

SystemInfoLauncher defaultSystemInfoLauncher()
{
    SystemInfoLauncher l;
    l.find = [] {
        for (const QString& name : systemInfoCandidates()) {
            const QString found = QStandardPaths::findExecutable(name);
            if (!found.isEmpty())
                return found;
        }
        return QString();
    };
    l.start = [](const QString& program) { return QProcess::startDetached(program, {}); };
    return l;
}

void setSystemInfoLauncher(SystemInfoLauncher replacement)
{
    launcher() = std::move(replacement);
}

QString versionText(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
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
    return QStringLiteral("Exectuing from ") + crlf + lines;
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    picIcon = label("picIcon", this);
    lblTitle = label("lblTitle", this);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = label("lblVersion", this);
    lblPath = label("lblPath", this);
    lblPath->setTextFormat(Qt::PlainText);
    lblDescription = label("lblDescription", this);
    lblDescription->setWordWrap(true);
    lblDisclaimer = label("lblDisclaimer", this);
    lblDisclaimer->setWordWrap(true);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addWidget(lblPath);
    texts->addWidget(lblDescription);
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    setMinimumWidth(480);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    Form_Load();
}

void frmAbout::Form_Load()
{
    const QString title = QStringLiteral(PULLMARK_TITLE);
    setWindowTitle(QStringLiteral("About ") + title);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    picIcon->setPixmap(icon.pixmap(48, 48));
    lblTitle->setText(title);
    lblVersion->setText(versionText(PULLMARK_VERSION_MAJOR, PULLMARK_VERSION_MINOR, PULLMARK_VERSION_PATCH));
    lblPath->setText(executingFromText(settings().strG_AppPath));
    lblDescription->setText(
        QStringLiteral("This application will help you automate download files from the internet.")
        + QStringLiteral(" For questions contact ") + QLatin1String(kContactMail)
        + QStringLiteral(". New version published at ") + QLatin1String(kWebAddress));
    lblDisclaimer->setText(
        QStringLiteral("Warning: ")
        + QStringLiteral("downloading material that you have no right to copy may break the law and the terms of "
                         "the sites you visit; you alone are responsible for what you download. ")
        + QStringLiteral("This application is provided AS IS. No guarantees are provided or implied. If you have "
                         "questions feel free to contact us and we'll see what we can do."));
}

void frmAbout::cmdOK_Click()
{
    // OK is also the cancel button: Esc lands in reject(), which closes the
    // same way.
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    const SystemInfoLauncher& l = launcher();
    const QString program = l.find ? l.find() : QString();
    if (!program.isEmpty() && l.start && l.start(program))
        return;
    interaction().inform(this, QStringLiteral(PULLMARK_TITLE),
                         QStringLiteral("System Information Is Unavailable At This Time"), MessageIcon::None);
}

}  // namespace pm
