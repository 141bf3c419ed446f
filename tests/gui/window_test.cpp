// The main window: its controls and captions, the Settings menu bound to
// the settings, the close question, Exit, Help and Clear Screen, About and
// the developer panel.
#include <QCheckBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include "convert/settings.h"
#include "gui_support.h"

using namespace molv;
using namespace molv::test;

namespace {

struct Item {
    const char* name;
    const char* caption;  // "-" for a separator
    int checked;          // -1: no check mark
};

void expectItems(QMenu* menu, const std::vector<Item>& want) {
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> got = menu->actions();
    ASSERT_EQ(got.size(), static_cast<qsizetype>(want.size())) << menu->objectName().toStdString();
    for (std::size_t i = 0; i < want.size(); ++i) {
        QAction* a = got[static_cast<qsizetype>(i)];
        const Item& w = want[i];
        EXPECT_EQ(a->objectName().toStdString(), w.name);
        if (std::string(w.caption) == "-") {
            EXPECT_TRUE(a->isSeparator()) << w.name;
            continue;
        }
        EXPECT_EQ(a->text().toStdString(), w.caption) << w.name;
        EXPECT_EQ(a->isCheckable(), w.checked >= 0) << w.name;
        if (w.checked >= 0) {
            EXPECT_EQ(a->isChecked(), w.checked == 1) << w.name;
        }
    }
}

std::vector<std::string> listWidgetLines(Program& p) {
    std::vector<std::string> out;
    auto* list = p.find<QListWidget>("List1");
    for (int i = 0; list && i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
}

}  // namespace

TEST(Window, ControlsAndCaptionsInOrder) {
    // A saved setting shows in the menu as the window loads.
    Start how = Start::commandLine("-molv");
    how.settingsText = "autoCentre=False\r\ndflt_autosize=80\r\n";
    Program p("menus", how);
    EXPECT_EQ(p.window->objectName(), "molvConv");
    EXPECT_EQ(p.window->windowTitle().toStdString(), "molvConv V0.2.49");
    ASSERT_NE(p.find<QListWidget>("List1"), nullptr);
    EXPECT_EQ(listWidgetLines(p).at(0), "-molv");  // the command line is the first line

    std::vector<std::string> bar;
    for (QAction* a : p.window->menuBar()->actions()) bar.push_back(a->text().toStdString());
    EXPECT_EQ(bar, (std::vector<std::string>{"File", "Settings", "Help", "."}));
    EXPECT_EQ(p.window->menuBar()->actions().back(), p.action("mStat"));

    expectItems(p.find<QMenu>("m_file"), {{"m_f_open", "Open and Convert", -1},
                                          {"m_f_folder", "Convert Folder\u2026", -1},
                                          {"m_f_savesettings", "Save Settings", -1},
                                          {"m_f_exit", "E&xit", -1}});
    expectItems(p.find<QMenu>("m_settings"), {{"m_s_autocentre", "Auto-Centre", 0},
                                              {"m_s_autozerobsht", "Auto-zero base height", 1},
                                              {"m_s_autoresize", "Auto-resize", 1},
                                              {"m_s_autoscale_UVs", "Auto-scale UVs", 0},
                                              {"m_s_autocullmatls", "Auto-cull unused materials", 0},
                                              {"m_s_1", "-", -1},
                                              {"m_s_switch_obj_yz", "Rotate 90 up", 0},
                                              {"m_s_switch_xz", "Rotate 90 right", 0},
                                              {"m_s_flipUV", "Flip 3DS UV vertically", 1},
                                              {"m_s_flipObjUV", "Flip OBJ UV vertically", 1},
                                              {"m_s_ignore_3ds_ofs", "Ignore 3DS offsets", 1},
                                              {"m_s_recalcnormals", "Recalc Normals", 1},
                                              {"m_s_keepnormals", "Keep the model's own normals", 1},
                                              {"m_s_full_paths_cfg", "Full Paths in CFG file", 0},
                                              {"m_s_rawdataload", "Raw data load", 0},
                                              {"m_s_copytextures", "Copy textures with the set", 1},
                                              {"m_s_setsize", "Set size for resize (80)", -1},
                                              {"m_s_setbone", "Set prop Bone (0)", -1},
                                              {"m_s_2", "-", -1},
                                              {"m_s_defaults", "Default settings", -1},
                                              {"m_s_savesettings", "Save settings", -1}});
    expectItems(p.find<QMenu>("m_help"),
                {{"m_h_help", "Help", -1}, {"m_h_cls", "Clear Screen", -1}, {"m_h_about", "About", -1}});
    // No developer panel outside developer mode.
    EXPECT_EQ(p.find<QDockWidget>("devPanel"), nullptr);
}

TEST(Window, SettingsMenuCommands) {
    Program p("toggles");
    Boxes boxes;
    QAction* centre = p.action("m_s_autocentre");
    centre->trigger();
    EXPECT_FALSE(centre->isChecked());
    EXPECT_FALSE(p.ctx.menu.marks.autoCentre);
    EXPECT_TRUE(p.ctx.settings.autoCentre);  // the value follows at the next read or write
    EXPECT_TRUE(p.ctx.settingsDirty);
    // Raw data load is never stored: toggling it leaves nothing to save.
    p.ctx.settingsDirty = false;
    p.action("m_s_rawdataload")->trigger();
    EXPECT_TRUE(p.ctx.menu.marks.rawDataLoad);
    EXPECT_FALSE(p.ctx.settingsDirty);
    p.action("m_s_rawdataload")->trigger();
    p.action("m_s_switch_xz")->trigger();
    p.action("m_s_switch_obj_yz")->trigger();
    EXPECT_TRUE(p.ctx.menu.marks.switch_obj_yz);
    EXPECT_TRUE(p.ctx.settingsDirty);

    // The two input boxes: an answer changes value and caption, Cancel nothing.
    boxes.type("80").type("7").type(nullptr);
    p.action("m_s_setsize")->trigger();
    p.action("m_s_setbone")->trigger();
    p.action("m_s_setsize")->trigger();
    ASSERT_TRUE(boxes.settle());
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Enter size to auto-resize to:",
                                                       "Enter Bone ID to tie prop vertices to:",
                                                       "Enter size to auto-resize to:"}));
    EXPECT_EQ(p.ctx.settings.dflt_autosize, 80.0f);
    EXPECT_EQ(p.action("m_s_setsize")->text().toStdString(), "Set size for resize (80)");
    EXPECT_EQ(p.action("m_s_setbone")->text().toStdString(), "Set prop Bone  (7)");

    // File > Save Settings writes the check marks' values.
    p.action("m_f_savesettings")->trigger();
    EXPECT_FALSE(p.ctx.settingsDirty);
    const std::string saved = readFile(p.cfgDir + "molvconv.cfg");
    EXPECT_NE(saved.find("autoCentre=False\r\n"), std::string::npos);
    EXPECT_NE(saved.find("dflt_autosize= 80 \r\n"), std::string::npos);

    // Default settings: marks and captions back, saved; Rotate 90 right
    // keeps its saved value.
    p.action("m_s_defaults")->trigger();
    EXPECT_TRUE(centre->isChecked());
    EXPECT_TRUE(p.action("m_s_switch_xz")->isChecked());
    EXPECT_EQ(p.action("m_s_setsize")->text().toStdString(), "Set size for resize (100)");
    EXPECT_EQ(p.action("m_s_setbone")->text().toStdString(), "Set prop Bone (0)");
    EXPECT_FALSE(p.ctx.settingsDirty);
    EXPECT_NE(readFile(p.cfgDir + "molvconv.cfg").find("autoCentre=True\r\n"), std::string::npos);
}

TEST(Window, CloseAsksToSaveChangedSettings) {
    {
        Program p("closeclean");
        Boxes boxes;
        EXPECT_TRUE(p.window->close());  // nothing changed: no question
        EXPECT_TRUE(boxes.seen.empty());
    }
    {
        Program p("closeask");
        Boxes boxes;
        p.action("m_s_autocentre")->trigger();
        boxes.press(QMessageBox::Cancel);
        EXPECT_FALSE(p.window->close());
        EXPECT_TRUE(p.window->isVisible());
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, "Save Settings?");
        EXPECT_EQ(boxes.seen[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(boxes.seen[0].dflt, QMessageBox::Yes);
        boxes.press(QMessageBox::No);
        EXPECT_TRUE(p.window->close());
        EXPECT_FALSE(std::filesystem::exists(p.cfgDir + "molvconv.cfg"));
    }
    {
        Program p("closesave");
        Boxes boxes;
        p.action("m_s_autocentre")->trigger();
        boxes.press(QMessageBox::Yes);
        EXPECT_TRUE(p.window->close());
        EXPECT_NE(readFile(p.cfgDir + "molvconv.cfg").find("autoCentre=False\r\n"), std::string::npos);
    }
}

TEST(Window, ExitNeverAsks) {
    Program p("exit");
    Boxes boxes;
    QSignalSpy ends(p.window.get(), &MainWindow::programEnds);
    p.action("m_s_autocentre")->trigger();
    p.action("m_f_exit")->trigger();
    EXPECT_FALSE(p.window->isVisible());
    EXPECT_TRUE(boxes.seen.empty());
    ASSERT_EQ(ends.count(), 1);
    EXPECT_EQ(ends.at(0).at(0).toInt(), 0);
    EXPECT_FALSE(std::filesystem::exists(p.cfgDir + "molvconv.cfg"));
}

TEST(Window, HelpClearScreenAndAbout) {
    Program p("help");
    p.action("m_h_help")->trigger();
    const std::vector<std::string> lines = p.logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "\t\tmolvConv V0.2.49");  // the list was emptied first
    EXPECT_EQ(listWidgetLines(p), lines);
    for (const char* want : {"( NOT animation data )", "CAL3D Output files:", "    .CSF default prop skeleton",
                             "File Menu:", "Settings Menu: "})
        EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << want;
    EXPECT_NE(std::find(lines.begin(), lines.end(), " Keep the model's own normals:"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), " Flip OBJ UV vertically:"), lines.end());
    for (const std::string& l : lines) EXPECT_FALSE(l.empty());  // empty lines add nothing
    EXPECT_EQ(lines.back(), " ");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(" ")), 1 + 1 + 2 + 1 + 5);

    p.action("m_h_cls")->trigger();
    EXPECT_TRUE(p.logLines().empty());
    EXPECT_TRUE(listWidgetLines(p).empty());

    Boxes boxes;
    boxes.press(QMessageBox::Ok);
    p.action("m_h_about")->trigger();
    ASSERT_TRUE(boxes.settle());
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text.rfind("molvConv V0.2.49\n", 0), 0u);
}

TEST(Window, DeveloperPanelInDeveloperMode) {
    Start how;
    how.programName = "vtm3";
    how.devMarker = true;
    Program p("dev", how);
    ASSERT_TRUE(p.ctx.app.devMode);
    auto* panel = p.find<QDockWidget>("devPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    // Every type is read, and the log file is named.
    EXPECT_TRUE(p.ctx.app.knownTypes.empty());
    const std::vector<std::string> lines = p.logLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) { return l.rfind("logfile=", 0) == 0; }));

    // The panel edits the settings view model.
    QTest::keyClicks(p.find<QLineEdit>("tKF2"), "7");
    QTest::keyClicks(p.find<QLineEdit>("tDbgLvl"), "2");
    p.find<QCheckBox>("chDbgLog3")->setChecked(true);
    p.find<QCheckBox>("chStats")->setChecked(true);
    EXPECT_EQ(p.ctx.menu.tKF2, "7");
    EXPECT_EQ(p.ctx.menu.tDbgLvl, "2");
    EXPECT_TRUE(p.ctx.menu.chDbgLog3);
    EXPECT_TRUE(p.ctx.menu.chStats);
    syncSettingsFromMenus(p.ctx, true);
    EXPECT_EQ(p.ctx.dbgLevel, 2);
    EXPECT_TRUE(p.ctx.app.extraLog);
    EXPECT_EQ(p.ctx.model.detailLimit, 7);
}
