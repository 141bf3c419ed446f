// Setting values, named by their configuration keys, and the one table that
// says everything else about each: its key, type, default, range, menu item
// and help. The configuration file, the Settings menu, Default settings,
// Help and `--set` are all derived from the table.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace molv {

struct Settings {
    bool switch_obj_yz = false;
    bool switch_xz = false;
    bool autoZeroBsHt = true;
    bool ignore_3ds_ofs = true;
    bool full_paths_in_cfg = false;
    bool flip_3DS_UV_Vs = true;
    bool autoCullUnUsedMaterials = false;
    bool autoCentre = true;
    bool autoResize = true;
    bool reCalcNormals = true;
    float dflt_autosize = 100.0f;
    std::int32_t dflt_boneID = 0;
    bool autoscale_UVs = false;
    bool forceAuto = false;
    bool rawDataLoad = false;  // never stored
    std::string lastLoadPath;
    std::string workdir;
    bool keepOwnNormals = true;  // normals the source carries are written as they are
    bool flip_OBJ_UV_Vs = true;
    bool copyTextures = true;
};

enum class SettingType { Flag, Size, Integer, Text };

struct SettingDef {
    const char* key;  // configuration key, also the name `--set` takes
    SettingType type;
    bool Settings::*flag = nullptr;
    float Settings::*size = nullptr;
    std::int32_t Settings::*integer = nullptr;
    std::string Settings::*text = nullptr;
    double dflt = 0;           // flags: 0 or 1
    bool byDefaults = false;   // Default settings puts the default back
    bool stored = true;        // in the configuration file
    double min = 0, max = 0;   // accepted range of a number given by the user
    const char* menuId = nullptr;   // the Settings menu item; nullptr: none
    const char* caption = nullptr;  // its caption
    int menuPos = 0;                // place in the menu: tens are groups, a separator between groups
    // While raw data load is on: -1 the value follows its check mark, 0 or
    // 1 it is forced off or on (the check mark stays as it is).
    int whenRaw = -1;
    const char* help = nullptr;  // one line for Help and --help; nullptr: not shown
};

// Every setting, in the configuration file's order.
std::span<const SettingDef> settingsTable();
// The entry of a key, matched without regard to case; nullptr when none.
const SettingDef* settingNamed(std::string_view key);

// A setting's value as the configuration file writes it: "True"/"False",
// " 100 " or "-5 " (the sign's place and one blank after), or the text.
std::string settingFileValue(const Settings& s, const SettingDef& d);
// Puts the default back.
void setDefault(Settings& s, const SettingDef& d);
// Sets a value typed by a user (`--set KEY=VALUE`, a dialog): flags take
// Y/TRUE/1/ON or N/FALSE/0/OFF, numbers must be numbers inside the
// setting's range. False with the reason in `err` when refused; the value
// is then unchanged.
bool setFromUser(Settings& s, const SettingDef& d, std::string_view value, std::string& err);

// Check marks and captions of the Settings menu, plus the developer panel's
// fields. Commands change these; the values follow at the next sync.
struct SettingsMenu {
    Settings marks;  // the check marks of the flags that have a menu item
    std::string m_s_setsize_caption = "Set size for resize (100)";
    std::string m_s_setbone_caption = "Set prop Bone (0)";
    // Developer panel.
    std::string tSrcFile;
    bool chStats = false;
    std::string tKF1, tKF2, tDbgLvl;
    bool chDbgLog = false, chDbgLog2 = false, chDbgLog3 = false;
};

}  // namespace molv
