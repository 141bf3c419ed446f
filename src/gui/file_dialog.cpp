#include "gui/file_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>

#include "window/window_model.h"

namespace molv {

namespace {

bool hasWildcard(const QString& s) { return s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?')); }

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Whether `folder` lies on the drive (or mounted file system) `root`.
bool onDrive(const QString& folder, const QString& root) {
    return folder.compare(root, Qt::CaseInsensitive) == 0 ||
           folder.startsWith(withSlash(root), Qt::CaseInsensitive) ||
           (root.endsWith(QLatin1Char('/')) && folder.startsWith(root, Qt::CaseInsensitive));
}

}  // namespace

FileOpenDialog::FileOpenDialog(const std::string& fileFilter, const std::string& lastLoadPath, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("nfd1"));
    setWindowTitle(QStringLiteral("Select File"));
    setModal(true);

    txtFilename_ = new QLineEdit(this);
    txtFilename_->setObjectName(QStringLiteral("txtFilename"));
    File1_ = new QListWidget(this);
    File1_->setObjectName(QStringLiteral("File1"));
    coFileTypes_ = new QComboBox(this);
    coFileTypes_->setObjectName(QStringLiteral("coFileTypes"));
    Dir1_ = new QListWidget(this);
    Dir1_->setObjectName(QStringLiteral("Dir1"));
    Drive1_ = new QComboBox(this);
    Drive1_->setObjectName(QStringLiteral("Drive1"));
    bOpen_ = new QPushButton(QStringLiteral("&Open"), this);
    bOpen_->setObjectName(QStringLiteral("bOpen"));
    bCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    bCancel_->setObjectName(QStringLiteral("bCancel"));
    // Enter belongs to the control that has the focus (the name box, a list),
    // not to a default button.
    for (QPushButton* b : {bOpen_, bCancel_}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    coPlaces_ = new QComboBox(this);
    coPlaces_->setObjectName(QStringLiteral("coPlaces"));

    auto* grid = new QGridLayout(this);
    // Each label names its control, so its "&" is a mnemonic, not a character.
    auto label = [this](const char* text, QWidget* buddy) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label("File &name:", txtFilename_), 0, 0);
    grid->addWidget(txtFilename_, 1, 0);
    grid->addWidget(File1_, 2, 0, 3, 1);
    grid->addWidget(label("Files of &type:", coFileTypes_), 5, 0);
    grid->addWidget(coFileTypes_, 6, 0);
    grid->addWidget(label("&Folders:", Dir1_), 0, 1);
    grid->addWidget(Dir1_, 1, 1, 4, 1);
    grid->addWidget(label("&Drives:", Drive1_), 5, 1);
    grid->addWidget(Drive1_, 6, 1);
    grid->addWidget(label("&Places:", coPlaces_), 7, 1);
    grid->addWidget(coPlaces_, 8, 1);
    grid->addWidget(bOpen_, 1, 2);
    grid->addWidget(bCancel_, 2, 2);
    grid->setRowStretch(3, 1);
    resize(640, 420);

    // Descriptions at the odd entries (counting from 1), their patterns after them.
    const QStringList parts = QString::fromStdString(fileFilter).split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        types_.push_back({parts[i], parts[i + 1]});
        coFileTypes_->addItem(parts[i]);
    }
    fillDrives();

    connect(coFileTypes_, qOverload<int>(&QComboBox::activated), this, &FileOpenDialog::typeChosen);
    connect(Drive1_, qOverload<int>(&QComboBox::activated), this, &FileOpenDialog::driveChosen);
    connect(coPlaces_, qOverload<int>(&QComboBox::activated), this, [this](int i) {
        if (i >= 0) visit(coPlaces_->itemData(i).toString());
    });
    connect(Dir1_, &QListWidget::itemActivated, this, &FileOpenDialog::dirActivated);
    connect(File1_, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> sel = File1_->selectedItems();
        if (!sel.isEmpty()) txtFilename_->setText(sel.front()->text());
    });
    connect(File1_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* it) { choose(folderMode_ ? folder_ : withSlash(folder_) + it->text()); });
    // A typed name is what Open takes, not an earlier click.
    connect(txtFilename_, &QLineEdit::textEdited, File1_, &QListWidget::clearSelection);
    connect(txtFilename_, &QLineEdit::returnPressed, this, [this] { enterName(txtFilename_->text()); });
    connect(bOpen_, &QPushButton::clicked, this, &FileOpenDialog::openChosen);
    connect(bCancel_, &QPushButton::clicked, this, &QDialog::reject);

    folder_ = QDir::currentPath();
    visit(folder_);
    setPaths(QString::fromStdString(lastLoadPath), types_.empty() ? QStringLiteral("*.*") : types_.front().pattern);
    setPlaces({});
    txtFilename_->setFocus();
}

void FileOpenDialog::setFolderMode(bool on) {
    folderMode_ = on;
    bOpen_->setText(on ? QStringLiteral("&Convert") : QStringLiteral("&Open"));
}

void FileOpenDialog::setPlaces(const std::vector<std::string>& recent) {
    coPlaces_->clear();
    coPlaces_->addItem(QStringLiteral("Home"), QDir::homePath());
    for (const std::string& r : recent) {
        const QString f = QDir::fromNativeSeparators(QString::fromStdString(r));
        if (QFileInfo(f).isDir()) coPlaces_->addItem(QDir::toNativeSeparators(QDir::cleanPath(f)), QDir::cleanPath(f));
    }
}

QString FileOpenDialog::typed(const QString& text) {
    return QDir::fromNativeSeparators(
        QString::fromStdString(expandTypedPath(text.toStdString(), QDir::homePath().toStdString())));
}

QStringList FileOpenDialog::nameFilters(const QString& pattern) {
    QStringList out;
    for (const QString& p : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (t.isEmpty()) continue;
        out << (t == QLatin1String("*.*") ? QStringLiteral("*") : t);
    }
    if (out.isEmpty()) out << QStringLiteral("*");
    return out;
}

QStringList FileOpenDialog::drives() {
    QStringList out;
#ifdef Q_OS_WIN
    for (const QFileInfo& d : QDir::drives()) out << d.absolutePath();
#else
    out << QStringLiteral("/");
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        // Single files bound into place are mounts too, but no drive.
        if (s.isValid() && s.isReady() && QFileInfo(s.rootPath()).isDir()) out << s.rootPath();
    }
#endif
    out.removeDuplicates();
    out.sort(Qt::CaseInsensitive);
    return out;
}

void FileOpenDialog::fillDrives() {
    Drive1_->clear();
    for (const QString& d : drives()) Drive1_->addItem(QDir::toNativeSeparators(d), d);
}

void FileOpenDialog::setPaths(const QString& pth, const QString& ftyp) {
    const QString p = typed(pth);
    if (!p.isEmpty() && !hasWildcard(p)) {
        const QString full = QDir::isAbsolutePath(p) ? p : QDir(folder_).filePath(p);
        QFileInfo fi(full);
        // A folder is visited; a file's folder is; a folder that is gone is not.
        if (fi.isDir()) {
            visit(fi.absoluteFilePath());
        } else if (QFileInfo(fi.absolutePath()).isDir()) {
            visit(fi.absolutePath());
        }
    }
    pattern_ = ftyp;
    fillFiles();
}

void FileOpenDialog::enterName(const QString& text) {
    const QString p = typed(text);
    if (p.isEmpty()) {
        if (folderMode_) choose(folder_);
        return;
    }
    const QString full = QDir::isAbsolutePath(p) ? p : QDir(folder_).filePath(p);
    const QFileInfo fi(full);
    if (!hasWildcard(p)) {
        if (fi.isDir()) {
            visit(fi.absoluteFilePath());
            txtFilename_->clear();
            return;
        }
        if (fi.isFile()) {
            choose(folderMode_ ? fi.absolutePath() : fi.absoluteFilePath());
            return;
        }
    }
    // A pattern, perhaps behind a folder: the folder is visited, the name
    // part lists the files.
    const int cut = p.lastIndexOf(QLatin1Char('/'));
    if (cut >= 0) {
        const QString dir = p.left(cut + 1);
        const QFileInfo di(QDir::isAbsolutePath(dir) ? dir : QDir(folder_).filePath(dir));
        if (di.isDir()) visit(di.absoluteFilePath());
    }
    const QString name = p.mid(cut + 1);
    if (!name.isEmpty()) pattern_ = name;
    fillFiles();
}

void FileOpenDialog::openChosen() {
    const QList<QListWidgetItem*> sel = File1_->selectedItems();
    if (!sel.isEmpty() || (folderMode_ && txtFilename_->text().trimmed().isEmpty())) {
        // Convert Folder takes the folder shown; its files are only a preview.
        choose(folderMode_ ? folder_ : withSlash(folder_) + sel.front()->text());
        return;
    }
    // With nothing selected and nothing typed there is no file: stay open.
    enterName(txtFilename_->text());
}

void FileOpenDialog::choose(const QString& path) {
    result_ = QDir::toNativeSeparators(QDir::cleanPath(path)).toStdString();
    accept();
}

void FileOpenDialog::visit(const QString& folder) {
    folder_ = QDir::cleanPath(folder);
    QString drive;
    for (int i = 0; i < Drive1_->count(); ++i) {
        const QString d = Drive1_->itemData(i).toString();
        if (onDrive(folder_, d) && d.size() > drive.size()) {
            drive = d;
            Drive1_->setCurrentIndex(i);
        }
    }
    fillDirs();
    fillFiles();
    setWindowTitle(QStringLiteral("Dialog Box - [") + QDir::toNativeSeparators(folder_) + QStringLiteral("]"));
}

void FileOpenDialog::fillDirs() {
    Dir1_->clear();
    const QString drive = Drive1_->currentIndex() >= 0 && onDrive(folder_, Drive1_->currentData().toString())
                              ? Drive1_->currentData().toString()
                              : QDir(folder_).rootPath();
    auto add = [this](const QString& text, const QString& path, int level) {
        auto* it = new QListWidgetItem(QString(level * 2, QLatin1Char(' ')) + text, Dir1_);
        it->setData(Qt::UserRole, path);
    };
    // The folders from the drive's top down to the current one, then the
    // current one's subfolders one step further in.
    add(QDir::toNativeSeparators(drive), drive, 0);
    QString path = drive;
    int level = 0;
    const QStringList parts = folder_.mid(drive.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        path = withSlash(path) + part;
        add(part, path, ++level);
    }
    Dir1_->setCurrentRow(Dir1_->count() - 1);
    const QStringList subs =
        QDir(folder_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subs) add(s, withSlash(folder_) + s, level + 1);
}

void FileOpenDialog::fillFiles() {
    File1_->clear();
    QDir dir(folder_);
    dir.setNameFilters(nameFilters(pattern_));
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    File1_->addItems(dir.entryList());
}

void FileOpenDialog::typeChosen(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= types_.size()) return;
    const QString p = types_[static_cast<std::size_t>(index)].pattern;
    setPaths(p, p);
}

void FileOpenDialog::driveChosen(int index) {
    if (index >= 0) visit(Drive1_->itemData(index).toString());
}

void FileOpenDialog::dirActivated(QListWidgetItem* item) {
    if (item) visit(item->data(Qt::UserRole).toString());
}

}  // namespace molv
