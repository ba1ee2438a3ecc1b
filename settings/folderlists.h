#pragma once
// The drive list and the folder list of the Options dialog. A drive is a
// mounted volume; a folder list shows its current folder with the folders
// inside it, and reports a change of folder or a click on an entry.

#include <QComboBox>
#include <QListWidget>
#include <QString>

namespace pm {

class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    // The root folder of the volume shown.
    QString drive() const;
    // Shows the volume that holds `path` (or its nearest existing parent).
    // Returns false, changing nothing, when no mounted volume holds it.
    bool setDriveFor(const QString& path);
    // Re-reads the mounted volumes, keeping the one shown.
    void refresh();

signals:
    // The user or the code chose another volume.
    void driveChanged(const QString& root);
};

class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    // Shows `folder`. A folder that does not exist is refused (false) and
    // the list stays where it was.
    bool setPath(const QString& folder);

signals:
    // The current folder changed.
    void pathChanged(const QString& folder);
    // An entry was clicked: the folder it stands for.
    void folderClicked(const QString& folder);

private:
    void fill();
    QString m_path;
};

}  // namespace pm
