// The main window's menus as data: every view (Qt, Win32, the tests) builds
// its menus from these rows, so ids, captions, mnemonics, shortcuts, check
// marks and what a running conversion disables are decided once.
#pragma once
#include <string>
#include <vector>

#include "core/settings.h"

namespace molv {

struct MenuItem {
    enum class Kind { Command, Check, Radio, Separator };
    Kind kind = Kind::Command;
    std::string id;       // object name in the Qt view, the command's name
    std::string caption;  // "&" marks the mnemonic ("&&" a literal one)
    std::string shortcut;  // "Ctrl+O", "F1"; empty: none
    bool idleOnly = false;  // disabled while a conversion runs
    const SettingDef* setting = nullptr;  // Check: the flag it shows
    std::string outputType;               // Radio: the output type it picks ("" = as the source says)
};

struct Menu {
    std::string id;
    std::string caption;
    bool idleOnly = false;  // the whole menu is disabled while a conversion runs
    std::vector<MenuItem> items;
};

// File, Settings, Output (developer mode) and Help, in menu-bar order.
std::vector<Menu> buildMenus(bool devMode);

// A caption without its mnemonic marks: "E&xit" -> "Exit", "&&" -> "&".
std::string plainCaption(const std::string& caption);

// One field of the developer panel, bound to a member of SettingsMenu.
struct DevField {
    const char* id;
    const char* label;
    std::string SettingsMenu::*text = nullptr;  // a text box
    bool SettingsMenu::*check = nullptr;        // a check box
};
const std::vector<DevField>& devPanelFields();

}  // namespace molv
