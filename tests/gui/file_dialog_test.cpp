// The file-open dialog: the cases in tests/data/window/file_dialog.txt drive
// it as a user would and say where it ends; the rest is what they cannot show.
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
#include <sstream>

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
        for (const char* f : {"a.obj", "B.OBJ", "c.3ds", "d.dae", "notes.txt", "README", ".hidden.obj"})
            writeFile(dir + f, "x");
        std::filesystem::create_directories(dir + "sub");
        writeFile(dir + "sub/e.obj", "x");
    }
    void TearDown() override { qputenv("HOME", oldHome); }

    std::unique_ptr<FileOpenDialog> open(const std::string& lastLoadPath) {
        auto d = std::make_unique<FileOpenDialog>(fileFilter(false), lastLoadPath);
        d->setPlaces({dir + "gone", dir + "sub"});
        d->show();
        return d;
    }
    template <class T>
    static T* child(FileOpenDialog& d, const char* name) {
        return d.findChild<T*>(QString::fromLatin1(name));
    }
    static QListWidgetItem* named(QListWidget* list, const QString& name) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().trimmed() == name) return list->item(i);
        ADD_FAILURE() << "no " << name.toStdString();
        return nullptr;
    }
    // One step of a case (see the case file).
    void step(FileOpenDialog& d, const std::string& s) {
        const std::string verb = s.substr(0, s.find(' '));
        const std::string arg = s.size() > verb.size() ? s.substr(verb.size() + 1) : "";
        const QString text = QString::fromStdString(arg[0] == '@' ? dir + arg.substr(1) : arg);
        auto* box = child<QLineEdit>(d, "txtFilename");
        auto* files = child<QListWidget>(d, "File1");
        auto* dirs = child<QListWidget>(d, "Dir1");
        if (verb == "folders") d.setFolderMode(true);
        if (verb == "type" || verb == "place") {
            auto* combo = child<QComboBox>(d, verb == "type" ? "coFileTypes" : "coPlaces");
            combo->setCurrentIndex(std::stoi(arg));
            emit combo->activated(std::stoi(arg));
        }
        if (verb == "dir") emit dirs->itemActivated(named(dirs, text));
        if (verb == "up") emit dirs->itemActivated(dirs->item(dirs->currentRow() - 1));
        if (verb == "click")
            QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(named(files, text)).center());
        if (verb == "select") files->setCurrentRow(std::stoi(arg));
        if (verb == "activate") emit files->itemActivated(named(files, text));
        if (verb == "key") QTest::keyClicks(box, text);
        if (verb == "text") box->setText(text);
        if (verb == "enter") {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
        }
        if (verb == "open" || verb == "cancel") child<QPushButton>(d, verb == "open" ? "bOpen" : "bCancel")->click();
    }
    // Where the dialog ended, relative to the test folder.
    std::string state(FileOpenDialog& d) const {
        const auto rel = [&](std::string p) {
            p = QDir::fromNativeSeparators(QString::fromStdString(p)).toStdString() + "/";
            return p == dir ? "." : p.substr(dir.size(), p.size() - dir.size() - 1);
        };
        if (!d.result().empty()) return "chose " + rel(d.result());
        if (!d.isVisible()) return d.QDialog::result() == QDialog::Rejected ? "cancelled" : "closed";
        std::string out = "in " + rel(d.folder().toStdString()) + ":";
        auto* files = child<QListWidget>(d, "File1");
        for (int i = 0; i < files->count(); ++i) out += " " + files->item(i)->text().toStdString();
        return out;
    }

    const QByteArray oldHome = qgetenv("HOME");
    std::string dir;
};

}  // namespace

TEST_F(FileDialogTest, Cases) {
    std::istringstream cases(readFile(dataPath("window/file_dialog.txt")));
    int n = 0;
    for (std::string line; std::getline(cases, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t bar1 = line.find(" | "), bar2 = line.rfind(" | ");
        ASSERT_NE(bar1, bar2) << line;
        const std::string start = line.substr(0, bar1);
        auto d = open(start == "-" ? "" : dir + start);
        std::istringstream steps(line.substr(bar1 + 3, bar2 - bar1 - 3));
        for (std::string s; std::getline(steps >> std::ws, s, ';');) step(*d, s);
        EXPECT_EQ(state(*d), line.substr(bar2 + 3)) << line;
        ++n;
    }
    EXPECT_GT(n, 20);
}

TEST_F(FileDialogTest, TitleDrivesFallbacksAndLabels) {
    const QString folder = QString::fromStdString(dir).chopped(1);
    auto d = open(dir + "c.3ds");
    EXPECT_EQ(d->windowTitle(), "Dialog Box - [" + QDir::toNativeSeparators(folder) + "]");
    EXPECT_GE(child<QComboBox>(*d, "Drive1")->findData(QStringLiteral("/")), 0);
    EXPECT_EQ(FileOpenDialog::nameFilters(QStringLiteral("*.3ds;*.obj; *.dae")),
              (QStringList{"*.3ds", "*.obj", "*.dae"}));
    // Without a usable last path it opens in the current folder.
    for (const std::string& last : {std::string(), dir + "gone/x.obj", std::string("x.obj")})
        EXPECT_EQ(open(last)->folder(), QDir::currentPath()) << last;
    // Every label names its control: the "&" marks a mnemonic, never shows.
    for (QLabel* l : d->findChildren<QLabel*>())
        EXPECT_NE(l->buddy(), nullptr) << l->text().toStdString();
}
