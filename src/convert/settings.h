// The settings of a run: defaults, the menu's view of them, the
// configuration file and the two questions of the Settings menu.
#pragma once
#include <cstdint>
#include <string>

#include "core/settings.h"

namespace molv {

struct Context;

void applyDefaults(Context& ctx);
void showSettingsInMenus(Context& ctx);
void syncSettingsFromMenus(Context& ctx, bool devPanel);
// Syncs from the menu (without the developer panel) and writes the file.
bool saveSettings(Context& ctx);
// Writes the configuration file whole; a failure is logged, never silent,
// and leaves settingsDirty set.
bool writeSettingsFile(Context& ctx);
// configDir + "molvconv.cfg".
std::string settingsFilePath(const Context& ctx);
void loadSettings(Context& ctx);
void askResizeSize(Context& ctx);
void askBoneID(Context& ctx);
// Menu commands: invert a check mark (the value follows at the next sync);
// Default settings.
void toggleMenuItem(Context& ctx, const SettingDef& item);
void defaultSettings(Context& ctx);
// The exact text of the configuration file for the current values.
std::string settingsFileText(const Settings& s);

}  // namespace molv
