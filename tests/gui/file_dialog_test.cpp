// The file-open dialog: where it opens, what it lists, and what Open,
// Cancel, a click, a double click and a typed name do.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "convert/registry.h"
#include "gui/file_dialog.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test;

namespace {

// A folder with models of every user type (one in capitals), other files,
// a hidden one and a subfolder.
class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tempDir("nfd");
        folder = QString::fromStdString(dir).chopped(1);
        for (const char* f : {"a.obj", "B.OBJ", "c.3ds", "d.dae", "notes.txt", "README", ".hidden.obj"})
            writeFile(dir + f, "x");
        std::filesystem::create_directories(dir + "sub");
        writeFile(dir + "sub/e.obj", "x");
    }

    std::unique_ptr<FileOpenDialog> open(const std::string& lastLoadPath, bool folderMode = false) {
        auto d = std::make_unique<FileOpenDialog>(fileFilter(false), lastLoadPath);
        if (folderMode) d->setFolderMode(true);
        d->show();
        return d;
    }
    template <class T>
    static T* child(FileOpenDialog& d, const char* name) {
        return d.findChild<T*>(QString::fromLatin1(name));
    }
    static std::vector<std::string> items(FileOpenDialog& d, const char* list) {
        std::vector<std::string> out;
        auto* w = child<QListWidget>(d, list);
        for (int i = 0; w && i < w->count(); ++i) out.push_back(w->item(i)->text().trimmed().toStdString());
        return out;
    }
    static void typeAndEnter(FileOpenDialog& d, const std::string& text) {
        auto* box = child<QLineEdit>(d, "txtFilename");
        box->setFocus();
        box->setText(QString::fromStdString(text));
        QTest::keyClick(box, Qt::Key_Return);
    }
    static void activate(FileOpenDialog& d, const char* list, QListWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        emit child<QListWidget>(d, list)->itemActivated(item);
    }
    static void chooseType(FileOpenDialog& d, const QString& description) {
        auto* types = child<QComboBox>(d, "coFileTypes");
        const int i = types->findText(description);
        ASSERT_GE(i, 0);
        types->setCurrentIndex(i);
        emit types->activated(i);
    }
    QString title(const QString& shown) const {
        return QStringLiteral("Dialog Box - [") + QDir::toNativeSeparators(shown) + "]";
    }

    std::string dir;
    QString folder;
};

}  // namespace

TEST_F(FileDialogTest, OpensInTheLastFileFolderWithTheKnownTypes) {
    auto d = open(dir + "c.3ds");
    EXPECT_EQ(d->folder(), folder);
    EXPECT_EQ(d->windowTitle(), title(folder));
    EXPECT_EQ(d->pattern(), QStringLiteral("*.3ds;*.obj;*.dae;*.gltf;*.glb"));
    // Extensions match in any case; hidden files are not listed.
    EXPECT_EQ(items(*d, "File1"), (std::vector<std::string>{"a.obj", "B.OBJ", "c.3ds", "d.dae"}));
    std::vector<std::string> types;
    auto* combo = child<QComboBox>(*d, "coFileTypes");
    for (int i = 0; i < combo->count(); ++i) types.push_back(combo->itemText(i).toStdString());
    EXPECT_EQ(types, (std::vector<std::string>{"Known files", "3D Studio .3ds", "Wavefront .obj", "Collada .dae",
                                               "glTF .gltf", "glTF binary .glb", "All Files (*.*)"}));
    EXPECT_EQ(combo->currentIndex(), 0);
    // The folder list runs down to this folder, then its subfolders.
    const auto dirs = items(*d, "Dir1");
    ASSERT_GE(dirs.size(), 2u);
    EXPECT_EQ(dirs.back(), "sub");
    EXPECT_EQ(dirs[dirs.size() - 2], folder.section('/', -1).toStdString());
    EXPECT_GE(child<QComboBox>(*d, "Drive1")->findData(QStringLiteral("/")), 0);
    // A folder in the list is visited, and so is the one above it.
    auto* dirList = child<QListWidget>(*d, "Dir1");
    activate(*d, "Dir1", dirList->item(dirList->count() - 1));
    EXPECT_EQ(d->folder(), folder + "/sub");
    EXPECT_EQ(d->windowTitle(), title(folder + "/sub"));
    activate(*d, "Dir1", dirList->item(dirList->count() - 2));
    EXPECT_EQ(d->folder(), folder);

    // Without a usable last path it opens in the current folder; a folder
    // itself (a path without a file name) is visited.
    for (const std::string& last : {std::string(), dir + "gone/x.obj", std::string("x.obj")})
        EXPECT_EQ(open(last)->folder(), QDir::currentPath()) << last;
    EXPECT_EQ(open(dir + "sub")->folder(), folder + "/sub");
}

TEST_F(FileDialogTest, TypeListFiltersAndAllFilesListsEveryFile) {
    auto d = open(dir + "a.obj");
    chooseType(*d, QStringLiteral("Collada .dae"));
    EXPECT_EQ(items(*d, "File1"), (std::vector<std::string>{"d.dae"}));
    chooseType(*d, QStringLiteral("All Files (*.*)"));
    EXPECT_EQ(items(*d, "File1"), (std::vector<std::string>{"a.obj", "B.OBJ", "c.3ds", "d.dae", "notes.txt", "README"}));
    EXPECT_EQ(d->folder(), folder);  // a type does not move the folder
    EXPECT_EQ(FileOpenDialog::nameFilters(QStringLiteral("*.3ds;*.obj; *.dae")), (QStringList{"*.3ds", "*.obj", "*.dae"}));
    EXPECT_EQ(FileOpenDialog::nameFilters(QStringLiteral("*.*")), QStringList{"*"});
    EXPECT_EQ(FileOpenDialog::nameFilters(QString()), QStringList{"*"});
}

TEST_F(FileDialogTest, CancelReturnsNothing) {
    auto d = open(dir + "a.obj");
    child<QPushButton>(*d, "bOpen")->click();  // nothing chosen: nothing happens
    EXPECT_TRUE(d->isVisible());
    child<QListWidget>(*d, "File1")->setCurrentRow(0);
    child<QPushButton>(*d, "bCancel")->click();
    EXPECT_EQ(d->QDialog::result(), QDialog::Rejected);
    EXPECT_TRUE(d->result().empty());
}

TEST_F(FileDialogTest, ClickShowsTheNameAndOpenOrDoubleClickChoosesIt) {
    auto d = open(dir + "a.obj");
    auto* files = child<QListWidget>(*d, "File1");
    QListWidgetItem* c = files->findItems(QStringLiteral("c.3ds"), Qt::MatchExactly).value(0);
    ASSERT_NE(c, nullptr);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(c).center());
    EXPECT_EQ(child<QLineEdit>(*d, "txtFilename")->text(), QStringLiteral("c.3ds"));
    child<QPushButton>(*d, "bOpen")->click();
    EXPECT_EQ(d->QDialog::result(), QDialog::Accepted);
    EXPECT_EQ(d->result(), dir + "c.3ds");

    auto e = open(dir + "a.obj");
    activate(*e, "File1", child<QListWidget>(*e, "File1")->findItems(QStringLiteral("d.dae"), Qt::MatchExactly).value(0));
    EXPECT_EQ(e->result(), dir + "d.dae");
}

TEST_F(FileDialogTest, TypedNames) {
    // A full file name confirmed with Enter opens that file.
    auto d = open("");
    typeAndEnter(*d, dir + "sub/e.obj");
    EXPECT_EQ(d->QDialog::result(), QDialog::Accepted);
    EXPECT_EQ(d->result(), dir + "sub/e.obj");
    // A name in the current folder does too, even one the pattern hides.
    auto e = open(dir + "a.obj");
    typeAndEnter(*e, "notes.txt");
    EXPECT_EQ(e->result(), dir + "notes.txt");

    // A folder is visited, keeping the pattern; a pattern lists its files,
    // behind a folder that folder is visited first.
    auto f = open(dir + "a.obj");
    typeAndEnter(*f, "sub");
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(f->folder(), folder + "/sub");
    EXPECT_EQ(items(*f, "File1"), (std::vector<std::string>{"e.obj"}));
    typeAndEnter(*f, dir + "*.txt");
    EXPECT_EQ(f->folder(), folder);
    EXPECT_EQ(f->pattern(), QStringLiteral("*.txt"));
    EXPECT_EQ(items(*f, "File1"), (std::vector<std::string>{"notes.txt"}));
    // A typed name replaces an earlier click: Open takes what the box says.
    child<QListWidget>(*f, "File1")->setCurrentRow(0);
    QTest::keyClicks(child<QLineEdit>(*f, "txtFilename"), "z");
    child<QLineEdit>(*f, "txtFilename")->setText(QStringLiteral("README"));
    child<QPushButton>(*f, "bOpen")->click();
    EXPECT_EQ(f->result(), dir + "README");
    EXPECT_TRUE(f->result().find('\\') == std::string::npos);
}

TEST_F(FileDialogTest, HomeAndRecentFolders) {
    // "~" is the home folder, typed alone or before a name.
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(dir));
    auto d = open("");
    typeAndEnter(*d, "~/sub");
    EXPECT_EQ(d->folder(), folder + "/sub");
    typeAndEnter(*d, "~/a.obj");
    EXPECT_EQ(d->result(), dir + "a.obj");
    // Places: home first, then the recent folders that still exist.
    auto e = open("");
    e->setPlaces({dir + "sub", dir + "gone"});
    auto* places = child<QComboBox>(*e, "coPlaces");
    ASSERT_NE(places, nullptr);
    ASSERT_EQ(places->count(), 2);
    EXPECT_EQ(places->itemText(0), QStringLiteral("Home"));
    emit places->activated(1);
    EXPECT_EQ(e->folder(), folder + "/sub");
    emit places->activated(0);
    EXPECT_EQ(e->folder(), folder);
    qputenv("HOME", oldHome);
    // Every label names its control: the "&" marks a mnemonic, never shows.
    for (QLabel* l : e->findChildren<QLabel*>())
        EXPECT_NE(l->buddy(), nullptr) << l->text().toStdString();
}

TEST_F(FileDialogTest, FolderModeChoosesTheFolderShown) {
    auto d = open(dir + "a.obj", true);
    // Files are shown, but Open takes the folder.
    EXPECT_FALSE(items(*d, "File1").empty());
    child<QPushButton>(*d, "bOpen")->click();
    EXPECT_EQ(d->QDialog::result(), QDialog::Accepted);
    EXPECT_EQ(d->result(), folder.toStdString());
    auto e = open(dir + "a.obj", true);
    typeAndEnter(*e, "sub");
    EXPECT_TRUE(e->isVisible());
    child<QPushButton>(*e, "bOpen")->click();
    EXPECT_EQ(e->result(), dir + "sub");
}
