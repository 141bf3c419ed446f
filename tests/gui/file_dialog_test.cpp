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
// a hidden one and a subfolder; it is also the home folder.
class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tempDir("nfd");
        qputenv("HOME", QByteArray::fromStdString(dir));
        folder = QString::fromStdString(dir).chopped(1);
        for (const char* f : {"a.obj", "B.OBJ", "c.3ds", "d.dae", "notes.txt", "README", ".hidden.obj"})
            writeFile(dir + f, "x");
        std::filesystem::create_directories(dir + "sub");
        writeFile(dir + "sub/e.obj", "x");
    }
    void TearDown() override { qputenv("HOME", oldHome); }

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
    static void activate(FileOpenDialog& d, const char* list, QListWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        emit child<QListWidget>(d, list)->itemActivated(item);
    }
    // Where the dialog is, relative to the test folder: "chose PATH" once it
    // took one, else "in FOLDER: the files it lists".
    std::string state(FileOpenDialog& d) const {
        const auto rel = [&](const std::string& p) {
            return p == folder.toStdString() ? "." : p.rfind(dir, 0) == 0 ? p.substr(dir.size()) : p;
        };
        if (!d.result().empty()) return "chose " + rel(d.result());
        std::string out = "in " + rel(d.folder().toStdString()) + ":";
        for (const std::string& f : items(d, "File1")) out += " " + f;
        return out;
    }

    const QByteArray oldHome = qgetenv("HOME");
    std::string dir;
    QString folder;
};

}  // namespace

TEST_F(FileDialogTest, OpensInTheLastFileFolderWithTheKnownTypes) {
    auto d = open(dir + "c.3ds");
    EXPECT_EQ(d->windowTitle(), "Dialog Box - [" + QDir::toNativeSeparators(folder) + "]");
    EXPECT_EQ(d->pattern(), QStringLiteral("*.3ds;*.obj;*.dae;*.gltf;*.glb"));
    // Extensions match in any case; hidden files are not listed.
    EXPECT_EQ(state(*d), "in .: a.obj B.OBJ c.3ds d.dae");
    // The filter's descriptions, each followed by its pattern; a type lists
    // its files in the same folder.
    auto* types = child<QComboBox>(*d, "coFileTypes");
    ASSERT_EQ(types->count(), 7);
    EXPECT_EQ(types->currentIndex(), 0);
    for (const auto& [i, want] : std::vector<std::pair<int, std::string>>{
             {3, "in .: d.dae"}, {6, "in .: a.obj B.OBJ c.3ds d.dae notes.txt README"}}) {
        types->setCurrentIndex(i);
        emit types->activated(i);
        EXPECT_EQ(state(*d), want) << types->itemText(i).toStdString();
    }
    EXPECT_EQ(FileOpenDialog::nameFilters(QStringLiteral("*.3ds;*.obj; *.dae")),
              (QStringList{"*.3ds", "*.obj", "*.dae"}));
    // The folder list runs down to this folder, then its subfolders.
    const auto dirs = items(*d, "Dir1");
    ASSERT_GE(dirs.size(), 2u);
    EXPECT_EQ(dirs.back(), "sub");
    EXPECT_EQ(dirs[dirs.size() - 2], folder.section('/', -1).toStdString());
    EXPECT_GE(child<QComboBox>(*d, "Drive1")->findData(QStringLiteral("/")), 0);
    // A folder in the list is visited, and so is the one above it.
    auto* dirList = child<QListWidget>(*d, "Dir1");
    activate(*d, "Dir1", dirList->item(dirList->count() - 1));
    EXPECT_EQ(state(*d), "in sub: e.obj");
    activate(*d, "Dir1", dirList->item(dirList->count() - 2));
    EXPECT_EQ(d->folder(), folder);

    // Without a usable last path it opens in the current folder; a folder
    // itself (a path without a file name) is visited.
    for (const std::string& last : {std::string(), dir + "gone/x.obj", std::string("x.obj")})
        EXPECT_EQ(open(last)->folder(), QDir::currentPath()) << last;
    EXPECT_EQ(open(dir + "sub")->folder(), folder + "/sub");
}

TEST_F(FileDialogTest, OpenWithNothingChosenAndCancel) {
    auto d = open(dir + "a.obj");
    child<QPushButton>(*d, "bOpen")->click();  // no file: nothing happens
    EXPECT_TRUE(d->isVisible());
    child<QListWidget>(*d, "File1")->setCurrentRow(0);
    child<QPushButton>(*d, "bCancel")->click();
    EXPECT_EQ(d->QDialog::result(), QDialog::Rejected);
    EXPECT_TRUE(d->result().empty());
    // Convert Folder shows the files, but Open takes the folder.
    auto f = open(dir + "a.obj", true);
    EXPECT_FALSE(items(*f, "File1").empty());
    child<QPushButton>(*f, "bOpen")->click();
    EXPECT_EQ(state(*f), "chose .");
}

TEST_F(FileDialogTest, ClickShowsTheNameAndOpenOrDoubleClickChoosesIt) {
    auto d = open(dir + "a.obj");
    auto* files = child<QListWidget>(*d, "File1");
    QListWidgetItem* c = files->findItems(QStringLiteral("c.3ds"), Qt::MatchExactly).value(0);
    ASSERT_NE(c, nullptr);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(c).center());
    EXPECT_EQ(child<QLineEdit>(*d, "txtFilename")->text(), QStringLiteral("c.3ds"));
    child<QPushButton>(*d, "bOpen")->click();
    EXPECT_EQ(state(*d), "chose c.3ds");

    auto e = open(dir + "a.obj");
    activate(*e, "File1", child<QListWidget>(*e, "File1")->findItems(QStringLiteral("d.dae"), Qt::MatchExactly).value(0));
    EXPECT_EQ(state(*e), "chose d.dae");
    // A typed name replaces an earlier click: Open takes what the box says.
    auto f = open(dir + "a.obj");
    child<QListWidget>(*f, "File1")->setCurrentRow(0);
    QTest::keyClicks(child<QLineEdit>(*f, "txtFilename"), "z");
    child<QLineEdit>(*f, "txtFilename")->setText(QStringLiteral("README"));
    child<QPushButton>(*f, "bOpen")->click();
    EXPECT_EQ(state(*f), "chose README");
}

// A name typed and confirmed with Enter, in a dialog opened at `start`
// ("@" is the test folder, "~" its home).
TEST_F(FileDialogTest, TypedNames) {
    const struct {
        const char *start, *typed;
        bool folders;
        const char* want;
    } rows[] = {
        {"", "@sub/e.obj", false, "chose sub/e.obj"},
        {"a.obj", "notes.txt", false, "chose notes.txt"},  // even one the pattern hides
        {"a.obj", "sub", false, "in sub: e.obj"},          // a folder is visited, keeping the pattern
        {"sub/e.obj", "@*.txt", false, "in .: notes.txt"},  // behind a pattern its folder is visited first
        {"a.obj", "", false, "in .: a.obj B.OBJ c.3ds d.dae"},
        {"", "~/sub", false, "in sub: e.obj"},
        {"", "~/a.obj", false, "chose a.obj"},
        // Convert Folder takes the folder shown, or the one a typed file is in.
        {"a.obj", "sub", true, "in sub: e.obj"},
        {"a.obj", "", true, "chose ."},
        {"a.obj", "sub/e.obj", true, "chose sub"},
    };
    for (const auto& r : rows) {
        auto d = open(*r.start ? dir + r.start : "", r.folders);
        const std::string typed = *r.typed == '@' ? dir + (r.typed + 1) : r.typed;
        auto* box = child<QLineEdit>(*d, "txtFilename");
        box->setFocus();
        box->setText(QString::fromStdString(typed));
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(state(*d), r.want) << r.typed;
        EXPECT_EQ(d->isVisible(), r.want[0] == 'i') << r.typed;
    }
}

TEST_F(FileDialogTest, RecentFoldersAndLabels) {
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
    // Every label names its control: the "&" marks a mnemonic, never shows.
    for (QLabel* l : e->findChildren<QLabel*>())
        EXPECT_NE(l->buddy(), nullptr) << l->text().toStdString();
}
