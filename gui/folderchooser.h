#pragma once
// Choosing a folder in the Options dialog: a path box with a "Browse..."
// button that opens the system's folder dialog, a drive list (the mounted
// volumes), a folder list showing the current folder with the folders inside
// it, and a "New Folder" button. The lists and the dialog feed the path box;
// the path box is what the dialog applies.

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace pm {

class ErrorReporter;
class UserInteraction;

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
    void pathChanged(const QString& folder);
    // An entry was clicked: the folder it stands for.
    void folderClicked(const QString& folder);

private:
    void fill();
    QString m_path;
};

// The object names the chooser's controls carry, and the routine name its
// "New Folder" errors are reported under.
struct FolderChooserNames {
    const char* label;
    const char* pathBox;
    const char* driveList;
    const char* folderList;
    const char* newFolderButton;
    const char* newFolderRoutine;
    const char* browseButton;
};

class FolderChooser : public QWidget {
    Q_OBJECT
public:
    FolderChooser(const QString& caption, const FolderChooserNames& names, ErrorReporter& errors, UserInteraction& ui,
                  QWidget* parent = nullptr);

    QString path() const;
    // Shows `folder` in the box and points both lists at it, without the
    // lists' own reports changing the box. Returns false when no mounted
    // volume holds the folder.
    bool setPath(const QString& folder);
    // Points the folder list at the box's folder when it exists.
    void showBoxFolder();
    QLineEdit* pathBox() const { return m_pathBox; }

signals:
    // The user left the path box (not by switching to another program or
    // opening a menu).
    void pathBoxLeft();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createNewFolder();
    void browseForFolder();

    ErrorReporter& m_errors;
    UserInteraction& m_ui;
    QString m_newFolderRoutine;
    QLabel* m_label;
    QLineEdit* m_pathBox;
    DriveList* m_drives;
    FolderList* m_folders;
    QPushButton* m_newFolderButton;
    QPushButton* m_browseButton;
};

}  // namespace pm
