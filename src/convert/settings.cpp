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

const char* flagText(bool v) { return v ? "True" : "False"; }

// " 100 " for 100, "-5 " for -5: the sign's place holds a blank when the
// number is not negative, and one blank follows.
std::string numberField(std::string t) {
    if (t.empty() || t[0] != '-') t.insert(t.begin(), ' ');
    return t + " ";
}

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
    auto line = [&t](const char* key, const std::string& value) {
        t += key;
        t += '=';
        t += value;
        t += "\r\n";
    };
    line("switch_obj_yz", flagText(s.switch_obj_yz));
    line("switch_xz", flagText(s.switch_xz));
    line("autoZeroBsHt", flagText(s.autoZeroBsHt));
    line("ignore_3ds_ofs", flagText(s.ignore_3ds_ofs));
    line("full_paths_in_cfg", flagText(s.full_paths_in_cfg));
    line("flip_3DS_UV_Vs", flagText(s.flip_3DS_UV_Vs));
    line("autoCullUnUsedMaterials", flagText(s.autoCullUnUsedMaterials));
    line("autoCentre", flagText(s.autoCentre));
    line("autoResize", flagText(s.autoResize));
    line("reCalcNormals", flagText(s.reCalcNormals));
    line("dflt_autosize", numberField(numText(s.dflt_autosize)));
    line("dflt_boneID", numberField(numText(s.dflt_boneID)));
    line("autoscale_UVs", flagText(s.autoscale_UVs));
    line("forceAuto", flagText(s.forceAuto));
    line("lastLoadPath", s.lastLoadPath);
    line("workdir", s.workdir);
    line("keepOwnNormals", flagText(s.keepOwnNormals));
    line("flip_OBJ_UV_Vs", flagText(s.flip_OBJ_UV_Vs));
    return t;
}

void applyDefaults(Context& ctx) {
    Settings& s = ctx.settings;
    s.switch_obj_yz = false;
    s.full_paths_in_cfg = false;
    s.autoCullUnUsedMaterials = false;
    s.dflt_boneID = 0;
    s.autoZeroBsHt = true;
    s.ignore_3ds_ofs = true;
    s.flip_3DS_UV_Vs = true;
    s.autoCentre = true;
    s.autoResize = true;
    s.reCalcNormals = true;
    s.dflt_autosize = 100.0f;
    s.keepOwnNormals = true;
    s.flip_OBJ_UV_Vs = true;
}

void showSettingsInMenus(Context& ctx) {
    if (ctx.app.dbgTrace) ctx.logFile("L12");
    const Settings& s = ctx.settings;
    SettingsMenu& m = ctx.menu;
    m.m_s_switch_obj_yz = s.switch_obj_yz;
    m.m_s_switch_xz = s.switch_xz;
    m.m_s_ignore_3ds_ofs = s.ignore_3ds_ofs;
    m.m_s_flipUV = s.flip_3DS_UV_Vs;
    m.m_s_autocullmatls = s.autoCullUnUsedMaterials;
    m.m_s_autocentre = s.autoCentre;
    m.m_s_autozerobsht = s.autoZeroBsHt;
    m.m_s_recalcnormals = s.reCalcNormals;
    m.m_s_autoresize = s.autoResize;
    m.m_s_full_paths_cfg = s.full_paths_in_cfg;
    m.m_s_rawdataload = s.rawDataLoad;
    m.m_s_autoscale_UVs = s.autoscale_UVs;
    m.m_s_keepnormals = s.keepOwnNormals;
    m.m_s_flipObjUV = s.flip_OBJ_UV_Vs;
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
        a.statsFlag = m.chStats;
        a.devNum1 = roundToInt32(numOrZero(m.tKF1));
        a.devNum2 = roundToInt32(numOrZero(m.tKF2));
        ctx.model.detailLimit = a.devNum2;  // the second number caps detail lines per mesh
        ctx.dbgLevel = intOrZero(m.tDbgLvl);
        a.extraLog = m.chDbgLog || m.chDbgLog2 || m.chDbgLog3;
    }
    s.switch_obj_yz = m.m_s_switch_obj_yz;
    s.switch_xz = m.m_s_switch_xz;
    s.full_paths_in_cfg = m.m_s_full_paths_cfg;
    s.reCalcNormals = m.m_s_recalcnormals;
    s.rawDataLoad = m.m_s_rawdataload;
    s.keepOwnNormals = m.m_s_keepnormals;
    if (s.rawDataLoad) {
        s.ignore_3ds_ofs = true;
        s.flip_3DS_UV_Vs = false;
        s.flip_OBJ_UV_Vs = false;
        s.autoCullUnUsedMaterials = false;
        s.autoCentre = false;
        s.autoZeroBsHt = false;
        s.autoResize = false;
        s.autoscale_UVs = false;
        s.forceAuto = false;
    } else {
        s.ignore_3ds_ofs = m.m_s_ignore_3ds_ofs;
        s.flip_3DS_UV_Vs = m.m_s_flipUV;
        s.flip_OBJ_UV_Vs = m.m_s_flipObjUV;
        s.autoCullUnUsedMaterials = m.m_s_autocullmatls;
        s.autoCentre = m.m_s_autocentre;
        s.autoZeroBsHt = m.m_s_autozerobsht;
        s.reCalcNormals = m.m_s_recalcnormals;
        s.autoResize = m.m_s_autoresize;
        s.autoscale_UVs = m.m_s_autoscale_UVs;
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
    ctx.lastErrText = err;
    ctx.logMsg("Settings not saved: " + path + ": " + err);
    return false;
}

bool saveSettings(Context& ctx) {
    syncSettingsFromMenus(ctx, false);
    return writeSettingsFile(ctx);
}

void loadSettings(Context& ctx) {
    AssocArray kv;
    if (!readNameValueFile(settingsFilePath(ctx), kv, &ctx.lastErrText)) return;
    Settings& s = ctx.settings;
    kv.getIfNotMTB("switch_obj_yz", s.switch_obj_yz);
    kv.getIfNotMTB("switch_xz", s.switch_xz);
    kv.getIfNotMTB("autoZeroBsHt", s.autoZeroBsHt);
    kv.getIfNotMTB("ignore_3ds_ofs", s.ignore_3ds_ofs);
    kv.getIfNotMTB("full_paths_in_cfg", s.full_paths_in_cfg);
    kv.getIfNotMTB("flip_3DS_UV_Vs", s.flip_3DS_UV_Vs);
    kv.getIfNotMTB("autoCullUnUsedMaterials", s.autoCullUnUsedMaterials);
    kv.getIfNotMTB("autoCentre", s.autoCentre);
    kv.getIfNotMTB("autoResize", s.autoResize);
    kv.getIfNotMTB("reCalcNormals", s.reCalcNormals);
    if (const std::string* v = kv.findValue("dflt_autosize"); v && !v->empty())
        s.dflt_autosize = sizeValue(leadingNumber(*v));
    if (const std::string* v = kv.findValue("dflt_boneID"); v && !v->empty())
        s.dflt_boneID = roundToInt32(leadingNumber(*v));
    kv.getIfNotMTB("autoscale_UVs", s.autoscale_UVs);
    kv.getIfNotMTB("forceAuto", s.forceAuto);
    kv.getIfNotMT("lastLoadPath", s.lastLoadPath);
    if (!ctx.app.devMode) {
        std::string w;
        if (kv.getIfNotMT("workdir", w)) {
            // A hand-edited folder without its closing separator still works.
            if (!isSeparator(w.back())) w += pathSep();
            s.workdir = w;
            ctx.app.workdir = w;
        }
    }
    kv.getIfNotMTB("keepOwnNormals", s.keepOwnNormals);
    kv.getIfNotMTB("flip_OBJ_UV_Vs", s.flip_OBJ_UV_Vs);
}

void askResizeSize(Context& ctx) {
    auto answer = ctx.inputBox("Enter size to auto-resize to:", "Auto-resize size",
                               numText(ctx.settings.dflt_autosize));
    if (!answer || answer->empty()) return;
    ctx.settings.dflt_autosize = sizeValue(numOrZero(*answer));
    ctx.menu.m_s_setsize_caption = sizeCaption(ctx.settings.dflt_autosize);
    ctx.settingsDirty = true;
}

void askBoneID(Context& ctx) {
    auto answer =
        ctx.inputBox("Enter Bone ID to tie prop vertices to:", "Bone ID", numText(ctx.settings.dflt_boneID));
    if (!answer || answer->empty()) return;
    ctx.settings.dflt_boneID = roundToInt32(numOrZero(*answer));
    ctx.menu.m_s_setbone_caption = "Set prop Bone  (" + numText(ctx.settings.dflt_boneID) + ")";
    ctx.settingsDirty = true;
}

void toggleMenuItem(Context& ctx, bool SettingsMenu::*item) {
    ctx.menu.*item = !(ctx.menu.*item);
    ctx.settingsDirty = true;
}

void defaultSettings(Context& ctx) {
    applyDefaults(ctx);
    showSettingsInMenus(ctx);
    saveSettings(ctx);
}

}  // namespace molv
