// The program's own file-open dialog `nfd1`: type list, drive list, folder
// list, places (home, recent folders), file list, name box, Open and Cancel;
// the same dialog chooses a folder for Convert Folder. It starts in the folder of
// the last file opened and hands back the chosen file's full name.
#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace molv {

class FileOpenDialog : public QDialog {
    Q_OBJECT
public:
    // `fileFilter` holds description and pattern pairs separated by "|"
    // (several patterns in one entry by ";"). The dialog opens in the folder
    // of `lastLoadPath`, or in the current folder when that names none.
    FileOpenDialog(const std::string& fileFilter, const std::string& lastLoadPath, QWidget* parent = nullptr);

    // The chosen file with its folder; empty when nothing was chosen.
    const std::string& result() const { return result_; }
    // Current folder ("/" separators) and the file list's pattern.
    const QString& folder() const { return folder_; }
    const QString& pattern() const { return pattern_; }

    // Convert Folder: Open hands back the folder shown (or one typed).
    void setFolderMode(bool on);
    // The places list: the home folder, then these folders (recent first).
    void setPlaces(const std::vector<std::string>& recent);

    // Visits the folder `pth` names (the folder of a file name, or the
    // folder itself) when it exists, sets the pattern and lists the files.
    void setPaths(const QString& pth, const QString& ftyp);
    // Enter in the name box: an existing file is chosen, a folder visited;
    // anything else is a pattern, its folder part visited. A leading "~" is
    // the home folder.
    void enterName(const QString& text);
    // The Open button: the selected file, else what the name box holds;
    // nothing when both are empty.
    void openChosen();

    // Drives (Windows) or the root and the mounted file systems (elsewhere).
    static QStringList drives();
    // "*.3ds;*.obj" as name filters; "*.*" is every file, with or without
    // a dot in its name.
    static QStringList nameFilters(const QString& pattern);

private:
    struct FileType {
        QString description, pattern;
    };
    void visit(const QString& folder);
    void fillDrives();
    void fillDirs();
    void fillFiles();
    void typeChosen(int index);
    void driveChosen(int index);
    void dirActivated(QListWidgetItem* item);
    void choose(const QString& path);
    static QString typed(const QString& text);

    std::vector<FileType> types_;
    QString folder_, pattern_;
    std::string result_;

    QComboBox* coFileTypes_;
    QLineEdit* txtFilename_;
    QPushButton* bCancel_;
    QPushButton* bOpen_;
    QListWidget* File1_;
    QListWidget* Dir1_;
    QComboBox* Drive1_;
    QComboBox* coPlaces_;
    bool folderMode_ = false;
};

}  // namespace molv
