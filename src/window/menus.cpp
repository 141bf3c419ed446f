#include "window/menus.h"

#include <algorithm>

#include "convert/registry.h"

namespace molv {

namespace {

MenuItem command(std::string id, std::string caption, std::string shortcut = {}, bool idleOnly = true) {
    MenuItem m;
    m.id = std::move(id);
    m.caption = std::move(caption);
    m.shortcut = std::move(shortcut);
    m.idleOnly = idleOnly;
    return m;
}

MenuItem separator(std::string id) {
    MenuItem m;
    m.kind = MenuItem::Kind::Separator;
    m.id = std::move(id);
    return m;
}

MenuItem outputItem(std::string id, std::string caption, std::string ext) {
    MenuItem m = command(std::move(id), std::move(caption));
    m.kind = MenuItem::Kind::Radio;
    m.outputType = std::move(ext);
    return m;
}

}  // namespace

std::vector<Menu> buildMenus(bool devMode) {
    std::vector<Menu> menus;

    Menu file{"m_file", "&File", false, {}};
    file.items.push_back(command("m_f_open", "&Open and Convert\u2026", "Ctrl+O"));
    // The model opened from the desktop, converted on this command.
    file.items.push_back(command("m_f_convert", "&Convert", "F5"));
    file.items.push_back(command("m_f_folder", "Convert &Folder\u2026", "Ctrl+Shift+O"));
    file.items.push_back(command("m_f_savesettings", "&Save Settings", "Ctrl+S"));
    file.items.push_back(separator("m_f_1"));
    file.items.push_back(command("m_f_exit", "E&xit", "Ctrl+Q", false));
    menus.push_back(std::move(file));

    // The check marks come from the settings table, in their menu places;
    // the whole menu rests while a conversion runs, as it changes settings.
    Menu settings{"m_settings", "&Settings", true, {}};
    std::vector<const SettingDef*> marked;
    for (const SettingDef& d : settingsTable())
        if (d.menuId) marked.push_back(&d);
    std::stable_sort(marked.begin(), marked.end(), [](auto* x, auto* y) { return x->menuPos < y->menuPos; });
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (i > 0 && marked[i]->menuPos / 10 != marked[i - 1]->menuPos / 10)
            settings.items.push_back(separator("m_s_" + std::to_string(marked[i - 1]->menuPos / 10)));
        MenuItem m = command(marked[i]->menuId, marked[i]->caption);
        m.kind = MenuItem::Kind::Check;
        m.setting = marked[i];
        settings.items.push_back(std::move(m));
    }
    settings.items.push_back(command("m_s_setsize", "Set auto size"));
    settings.items.push_back(command("m_s_setbone", "Set prop Bone"));
    settings.items.push_back(separator("m_s_2"));
    settings.items.push_back(command("m_s_defaults", "&Default settings"));
    settings.items.push_back(command("m_s_savesettings", "Save settings"));
    menus.push_back(std::move(settings));

    if (devMode) {
        // Every type a writer exists for; outside developer mode the set is the only output.
        Menu output{"m_output", "&Output", true, {}};
        output.items.push_back(outputItem("m_o_auto", "&As the source says", ""));
        for (const FormatEntry& f : formats())
            if (f.write)
                output.items.push_back(
                    outputItem(std::string("m_o_") + f.ext, std::string(".") + f.ext + "  " + f.description, f.ext));
        menus.push_back(std::move(output));
    }

    Menu help{"m_help", "&Help", false, {}};
    help.items.push_back(command("m_h_help", "&Help", "F1"));
    help.items.push_back(command("m_h_cls", "&Clear Screen"));
    help.items.push_back(separator("m_h_1"));
    help.items.push_back(command("m_h_about", "&About", {}, false));
    menus.push_back(std::move(help));
    return menus;
}

std::string plainCaption(const std::string& caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        else if (caption[i] == '&') continue;
        out += caption[i];
    }
    return out;
}

const std::vector<DevField>& devPanelFields() {
    static const std::vector<DevField> fields = {
        {"tSrcFile", "Source", &SettingsMenu::tSrcFile, nullptr},
        {"chStats", "Statistics", nullptr, &SettingsMenu::chStats},
        {"tKF1", "First number", &SettingsMenu::tKF1, nullptr},
        {"tKF2", "Detail lines per mesh", &SettingsMenu::tKF2, nullptr},
        {"tDbgLvl", "Debug level", &SettingsMenu::tDbgLvl, nullptr},
        {"chDbgLog", "Debug log", nullptr, &SettingsMenu::chDbgLog},
        {"chDbgLog2", "Debug log 2", nullptr, &SettingsMenu::chDbgLog2},
        {"chDbgLog3", "Debug log 3", nullptr, &SettingsMenu::chDbgLog3},
    };
    return fields;
}

}  // namespace molv
