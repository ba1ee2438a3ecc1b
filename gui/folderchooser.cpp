#include "gui/folderchooser.h"

#include "core/diagnostics/errorscope.h"
#include "core/config/pathcheck.h"
#include "core/userinteraction.h"

#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>

namespace pm {

namespace {
// The nearest existing folder at or above `path` (empty when none).
QString existingAncestor(const QString& path)
{
    if (path.isEmpty())
        return QString();
    const QFileInfo info(QDir::cleanPath(QDir::fromNativeSeparators(path)));
    if (info.isRelative())
        return QString();
    // QDir::cdUp() refuses a parent that does not exist: walk the names.
    QString folder = info.absoluteFilePath();
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            return QString();
        folder = parent;
    }
    return folder;
}
}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    refresh();
    connect(this, &QComboBox::activated, this, [this](int) { emit driveChanged(drive()); });
}

QString DriveList::drive() const
{
    return currentData().toString();
}

void DriveList::refresh()
{
    const QString shown = drive();
    const QSignalBlocker blocker(this);
    clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        if (findData(root) >= 0)
            continue;
        addItem(root == QLatin1String("/") ? root : root + QStringLiteral("  [") + volume.displayName() + QLatin1Char(']'),
                root);
    }
    const int index = findData(shown);
    if (index >= 0)
        setCurrentIndex(index);
}

bool DriveList::setDriveFor(const QString& path)
{
    const QString folder = existingAncestor(path);
    if (folder.isEmpty())
        return false;
    const QStorageInfo volume(folder);
    if (!volume.isValid())
        return false;
    int index = findData(volume.rootPath());
    if (index < 0) {
        refresh();
        index = findData(volume.rootPath());
        if (index < 0)
            return false;
    }
    if (index != currentIndex()) {
        setCurrentIndex(index);
        emit driveChanged(drive());
    }
    return true;
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit folderClicked(item->data(Qt::UserRole).toString()); });
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(Qt::UserRole).toString()); });
}

bool FolderList::setPath(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QFileInfo info(QDir::fromNativeSeparators(folder));
    if (info.isRelative() || !info.isDir())
        return false;
    const QString clean = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    if (clean == m_path)
        return true;
    m_path = clean;
    fill();
    emit pathChanged(m_path);
    return true;
}

void FolderList::fill()
{
    clear();
    const QDir dir(m_path);
    auto add = [this](const QString& text, const QString& target) {
        auto* item = new QListWidgetItem(text, this);
        item->setData(Qt::UserRole, QDir::toNativeSeparators(target));
    };
    add(QStringLiteral("[") + m_path + QStringLiteral("]"), m_path);
    if (!dir.isRoot())
        add(QStringLiteral(".."), QDir::cleanPath(dir.absoluteFilePath(QStringLiteral(".."))));
    const QStringList subfolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders)
        add(name, dir.absoluteFilePath(name));
}

FolderChooser::FolderChooser(const QString& caption, const FolderChooserNames& names, ErrorReporter& errors,
                             UserInteraction& ui, QWidget* parent)
    : QWidget(parent),
      m_errors(errors),
      m_ui(ui),
      m_newFolderRoutine(QLatin1String(names.newFolderRoutine)),
      m_label(new QLabel(caption, this)),
      m_pathBox(new QLineEdit(this)),
      m_drives(new DriveList(this)),
      m_folders(new FolderList(this)),
      m_newFolderButton(new QPushButton(tr("&New Folder"), this)),
      m_browseButton(new QPushButton(tr("&Browse..."), this))
{
    m_label->setObjectName(QLatin1String(names.label));
    m_pathBox->setObjectName(QLatin1String(names.pathBox));
    m_drives->setObjectName(QLatin1String(names.driveList));
    m_folders->setObjectName(QLatin1String(names.folderList));
    m_newFolderButton->setObjectName(QLatin1String(names.newFolderButton));
    m_newFolderButton->setAutoDefault(false);
    m_browseButton->setObjectName(QLatin1String(names.browseButton));
    m_browseButton->setAutoDefault(false);
    m_label->setBuddy(m_pathBox);
    m_drives->setAccessibleName(tr("Drive"));
    m_folders->setAccessibleName(tr("Folders"));
    setTabOrder(m_pathBox, m_browseButton);
    setTabOrder(m_browseButton, m_drives);
    setTabOrder(m_drives, m_newFolderButton);
    setTabOrder(m_newFolderButton, m_folders);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_label, 0, 0);
    grid->addWidget(m_pathBox, 1, 0);
    grid->addWidget(m_browseButton, 1, 1);
    grid->addWidget(m_drives, 2, 0);
    grid->addWidget(m_newFolderButton, 2, 1);
    grid->addWidget(m_folders, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    connect(m_drives, &DriveList::driveChanged, m_folders, [this](const QString& root) { m_folders->setPath(root); });
    connect(m_folders, &FolderList::pathChanged, m_pathBox, &QLineEdit::setText);
    connect(m_folders, &FolderList::folderClicked, m_pathBox, &QLineEdit::setText);
    connect(m_newFolderButton, &QPushButton::clicked, this, &FolderChooser::createNewFolder);
    connect(m_browseButton, &QPushButton::clicked, this, &FolderChooser::browseForFolder);
    m_pathBox->installEventFilter(this);
}

QString FolderChooser::path() const
{
    return m_pathBox->text();
}

bool FolderChooser::setPath(const QString& folder)
{
    const QSignalBlocker blockDrives(m_drives);
    const QSignalBlocker blockFolders(m_folders);
    m_pathBox->setText(folder);
    const bool onDrive = m_drives->setDriveFor(folder);
    m_folders->setPath(folder);
    return onDrive;
}

void FolderChooser::showBoxFolder()
{
    m_folders->setPath(m_pathBox->text());
}

bool FolderChooser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pathBox && event->type() == QEvent::FocusOut && isVisible()) {
        // Switching to another program or opening a menu is no leaving.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            emit pathBoxLeft();
    }
    return QWidget::eventFilter(watched, event);
}

void FolderChooser::createNewFolder()
{
    ErrorScope scope(m_errors, m_newFolderRoutine);
    const QString folder =
        m_ui.promptText(tr("New Folder"), tr("Please type complete path name"), m_pathBox->text()).value_or(QString());
    if (!scope.step([&] { createFolder(folder); }))
        return;
    if (!scope.step([&] {
            if (!folder.isEmpty() && !m_folders->setPath(folder))
                throw RuntimeError::of(ErrPathNotFound, folder);
        }))
        return;
    m_pathBox->setText(folder);
}

void FolderChooser::browseForFolder()
{
    QString title = m_label->text();
    title.remove(QLatin1Char('&')).remove(QLatin1Char(':'));
    const std::optional<QString> chosen = m_ui.existingFolder({title, existingAncestor(m_pathBox->text())});
    if (chosen)
        setPath(*chosen);
}

}  // namespace pm
