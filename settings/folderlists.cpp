#include "settings/folderlists.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace pm {

namespace {
// The nearest existing folder at or above `path` (empty when none).
QString existingAncestor(const QString& path)
{
    if (path.isEmpty())
        return QString();
    QFileInfo info(QDir::cleanPath(QDir::fromNativeSeparators(path)));
    if (info.isRelative())
        return QString();
    QDir dir(info.absoluteFilePath());
    while (!dir.exists()) {
        if (!dir.cdUp())
            return QString();
    }
    return dir.absolutePath();
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
    QDir dir(m_path);
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

}  // namespace pm
