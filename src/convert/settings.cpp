#include "convert/settings.h"

#include <cmath>
#include <limits>

#include "convert/context.h"
#include "util/assoc_array.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

// A size as a float; values beyond the float range are refused (0).
float sizeValue(double v) {
    if (!std::isfinite(v) || std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max())) return 0.0f;
    return static_cast<float>(v);
}

std::string sizeCaption(float size) { return "Set size for resize (" + numText(size) + ")"; }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string settingsFileText(const Settings& s) {
    std::string t;
    for (const SettingDef& d : settingsTable()) {
        if (!d.stored) continue;
        t += d.key;
        t += '=';
        t += settingFileValue(s, d);
        t += "\r\n";
    }
    return t;
}

void applyDefaults(Context& ctx) {
    for (const SettingDef& d : settingsTable())
        if (d.byDefaults) setDefault(ctx.settings, d);
}

void showSettingsInMenus(Context& ctx) {
    if (ctx.app.dbgTrace) ctx.logFile("L12");
    const Settings& s = ctx.settings;
    SettingsMenu& m = ctx.menu;
    for (const SettingDef& d : settingsTable())
        if (d.menuId && d.flag) m.marks.*d.flag = s.*d.flag;
    m.m_s_setsize_caption = sizeCaption(s.dflt_autosize);
    m.m_s_setbone_caption = "Set prop Bone (" + numText(s.dflt_boneID) + ")";
}

void syncSettingsFromMenus(Context& ctx, bool devPanel) {
    Settings& s = ctx.settings;
    SettingsMenu& m = ctx.menu;
    if (devPanel) {
        AppState& a = ctx.app;
        std::string src = m.tSrcFile;
        if (!src.empty() && !hasSeparator(src)) {
            src = a.workdir + src;
            m.tSrcFile = src;
        }
        a.srcFile = src;
        a.devNum2 = roundToInt32(numOrZero(m.tKF2));
        ctx.detailLimit = a.devNum2;  // the second number caps detail lines per mesh
        ctx.dbgLevel = intOrZero(m.tDbgLvl);
        a.extraLog = m.chDbgLog || m.chDbgLog2 || m.chDbgLog3;
    }
    const bool raw = m.marks.rawDataLoad;
    for (const SettingDef& d : settingsTable()) {
        if (!d.flag) continue;
        if (raw && d.whenRaw >= 0)
            s.*d.flag = d.whenRaw == 1;
        else if (d.menuId)
            s.*d.flag = m.marks.*d.flag;
    }
}

std::string settingsFilePath(const Context& ctx) { return ctx.app.configDir + "molvconv.cfg"; }

bool writeSettingsFile(Context& ctx) {
    // The work folder in use is the one that is stored.
    if (!ctx.app.workdir.empty()) ctx.settings.workdir = ctx.app.workdir;
    std::string path = settingsFilePath(ctx);
    std::string err;
    if (ctx.app.configDir.empty()) {
        err = "no configuration folder";
    } else if (writeFileAtomic(path, settingsFileText(ctx.settings), err)) {
        ctx.settingsDirty = false;
        return true;
    }
    // Settings stay dirty, so the exit question offers to save them again.
    ctx.logMsg("Settings not saved: " + path + ": " + err);
    return false;
}

bool saveSettings(Context& ctx) {
    syncSettingsFromMenus(ctx, false);
    return writeSettingsFile(ctx);
}

void loadSettings(Context& ctx) {
    AssocArray kv;
    if (!readNameValueFile(settingsFilePath(ctx), kv)) return;
    Settings& s = ctx.settings;
    for (const SettingDef& d : settingsTable()) {
        if (!d.stored) continue;
        const std::string* v = kv.findValue(d.key);
        if (!v || v->empty()) continue;
        switch (d.type) {
            case SettingType::Flag: kv.getIfNotMTB(d.key, s.*d.flag); break;
            case SettingType::Size: {
                // A size of 0 or below would fail every later conversion.
                const float size = sizeValue(leadingNumber(*v));
                if (size > d.min && size <= d.max) {
                    s.*d.size = size;
                } else {
                    setDefault(s, d);
                    ctx.msgBox(settingsFilePath(ctx) + ": " + d.key + " takes a number above " + numText(d.min) +
                               ", not \"" + trim(*v, " \t") + "\"; the default " + numText(d.dflt) + " is used");
                }
                break;
            }
            case SettingType::Integer: s.*d.integer = roundToInt32(leadingNumber(*v)); break;
            case SettingType::Text:
                if (d.text != &Settings::workdir) {
                    s.*d.text = *v;
                } else if (!ctx.app.devMode) {
                    // A hand-edited folder without its closing separator still works.
                    std::string w = *v;
                    if (!isSeparator(w.back())) w += pathSep();
                    s.workdir = w;
                    ctx.app.workdir = w;
                }
                break;
        }
    }
}

void askResizeSize(Context& ctx) {
    auto answer = ctx.inputBox("Enter size to auto-resize to:", "Auto-resize size",
                               numText(ctx.settings.dflt_autosize));
    if (!answer || answer->empty()) return;
    // Refused with the reason; the size in use stays.
    std::string err;
    if (!setFromUser(ctx.settings, *settingNamed("dflt_autosize"), *answer, err)) {
        ctx.msgBox(err);
        return;
    }
    ctx.menu.m_s_setsize_caption = sizeCaption(ctx.settings.dflt_autosize);
    ctx.settingsDirty = true;
}

void askBoneID(Context& ctx) {
    auto answer =
        ctx.inputBox("Enter Bone ID to tie prop vertices to:", "Bone ID", numText(ctx.settings.dflt_boneID));
    if (!answer || answer->empty()) return;
    // A fraction rounds; anything but a number is refused and the bone stays.
    const std::optional<double> n = parseNumber(trimView(*answer, " \t"));
    if (!n || !std::isfinite(*n)) {
        ctx.msgBox("dflt_boneID takes a whole number, not \"" + *answer + "\"");
        return;
    }
    ctx.settings.dflt_boneID = roundToInt32(*n);
    ctx.menu.m_s_setbone_caption = "Set prop Bone  (" + numText(ctx.settings.dflt_boneID) + ")";
    ctx.settingsDirty = true;
}

void toggleMenuItem(Context& ctx, const SettingDef& d) {
    if (!d.flag) return;
    ctx.menu.marks.*d.flag = !(ctx.menu.marks.*d.flag);
    // An unstored setting leaves nothing to save.
    if (d.stored) ctx.settingsDirty = true;
}

void defaultSettings(Context& ctx) {
    applyDefaults(ctx);
    showSettingsInMenus(ctx);
    saveSettings(ctx);
}

}  // namespace molv
