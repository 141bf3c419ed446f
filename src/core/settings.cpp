#include "core/settings.h"

#include <cmath>
#include <limits>

#include "util/numfmt.h"
#include "util/text.h"

namespace molv {

namespace {

using T = SettingType;

// Designated initializers leave the rest at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
constexpr double kMaxFloat = std::numeric_limits<float>::max();

// The configuration file's order. Menu places: 1x the automatic fix-ups,
// 2x the reading and writing options, 3x the two numbers.
constexpr SettingDef kSettings[] = {
    {.key = "switch_obj_yz", .type = T::Flag, .flag = &Settings::switch_obj_yz, .dflt = 0, .byDefaults = true,
     .menuId = "m_s_switch_obj_yz", .caption = "Rotate 90 up", .menuPos = 20,
     .help = "store the model turned 90 degrees up (y and z exchanged)"},
    {.key = "switch_xz", .type = T::Flag, .flag = &Settings::switch_xz, .dflt = 0,
     .menuId = "m_s_switch_xz", .caption = "Rotate 90 right", .menuPos = 21,
     .help = "store the model turned 90 degrees right (x and z exchanged)"},
    {.key = "autoZeroBsHt", .type = T::Flag, .flag = &Settings::autoZeroBsHt, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_autozerobsht", .caption = "Auto-zero base height", .menuPos = 11, .whenRaw = 0,
     .help = "put the model's lowest point at height 0"},
    {.key = "ignore_3ds_ofs", .type = T::Flag, .flag = &Settings::ignore_3ds_ofs, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_ignore_3ds_ofs", .caption = "Ignore 3DS offsets", .menuPos = 24, .whenRaw = 1,
     .help = "ignore the pivot offsets of 3DS objects"},
    {.key = "full_paths_in_cfg", .type = T::Flag, .flag = &Settings::full_paths_in_cfg, .dflt = 0,
     .byDefaults = true, .menuId = "m_s_full_paths_cfg", .caption = "Full Paths in CFG file", .menuPos = 27,
     .help = "name the set's files with their folders in the .cfg"},
    {.key = "flip_3DS_UV_Vs", .type = T::Flag, .flag = &Settings::flip_3DS_UV_Vs, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_flipUV", .caption = "Flip 3DS UV vertically", .menuPos = 22, .whenRaw = 0,
     .help = "flip the V texture coordinate of 3DS and Collada sources"},
    {.key = "autoCullUnUsedMaterials", .type = T::Flag, .flag = &Settings::autoCullUnUsedMaterials, .dflt = 0,
     .byDefaults = true, .menuId = "m_s_autocullmatls", .caption = "Auto-cull unused materials", .menuPos = 14,
     .whenRaw = 0, .help = "leave out materials that no face uses"},
    {.key = "autoCentre", .type = T::Flag, .flag = &Settings::autoCentre, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_autocentre", .caption = "Auto-Centre", .menuPos = 10, .whenRaw = 0,
     .help = "centre the model in the horizontal axes"},
    {.key = "autoResize", .type = T::Flag, .flag = &Settings::autoResize, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_autoresize", .caption = "Auto-resize", .menuPos = 12, .whenRaw = 0,
     .help = "resize the model so that its largest extent is dflt_autosize cm"},
    {.key = "reCalcNormals", .type = T::Flag, .flag = &Settings::reCalcNormals, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_recalcnormals", .caption = "Recalc Normals", .menuPos = 25,
     .help = "recalculate the vertex normals"},
    {.key = "dflt_autosize", .type = T::Size, .size = &Settings::dflt_autosize, .dflt = 100, .byDefaults = true,
     .min = 0, .max = kMaxFloat, .help = "the size in cm of the largest extent after resizing (above 0)"},
    {.key = "dflt_boneID", .type = T::Integer, .integer = &Settings::dflt_boneID, .dflt = 0, .byDefaults = true,
     .min = std::numeric_limits<std::int32_t>::min(), .max = std::numeric_limits<std::int32_t>::max(),
     .help = "the bone that vertices without a bone of their own are tied to"},
    {.key = "autoscale_UVs", .type = T::Flag, .flag = &Settings::autoscale_UVs, .dflt = 0,
     .menuId = "m_s_autoscale_UVs", .caption = "Auto-scale UVs", .menuPos = 13, .whenRaw = 0,
     .help = "scale Collada texture coordinates into 0..1"},
    {.key = "forceAuto", .type = T::Flag, .flag = &Settings::forceAuto, .dflt = 0, .whenRaw = 0,
     .help = "run the automatic fix-ups on Cal3D sources too"},
    {.key = "rawDataLoad", .type = T::Flag, .flag = &Settings::rawDataLoad, .dflt = 0, .stored = false,
     .menuId = "m_s_rawdataload", .caption = "Raw data load", .menuPos = 28,
     .help = "read the model as it is: no fix-ups, no flips, 3DS offsets ignored"},
    {.key = "lastLoadPath", .type = T::Text, .text = &Settings::lastLoadPath},
    {.key = "workdir", .type = T::Text, .text = &Settings::workdir},
    {.key = "keepOwnNormals", .type = T::Flag, .flag = &Settings::keepOwnNormals, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_keepnormals", .caption = "Keep the model's own normals", .menuPos = 26,
     .help = "write the normals the source carries as they are (hard edges stay hard)"},
    {.key = "flip_OBJ_UV_Vs", .type = T::Flag, .flag = &Settings::flip_OBJ_UV_Vs, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_flipObjUV", .caption = "Flip OBJ UV vertically", .menuPos = 23, .whenRaw = 0,
     .help = "flip the V texture coordinate of Wavefront sources"},
    {.key = "copyTextures", .type = T::Flag, .flag = &Settings::copyTextures, .dflt = 1, .byDefaults = true,
     .menuId = "m_s_copytextures", .caption = "Copy textures with the set", .menuPos = 29,
     .help = "put every texture the set names beside it (copied, or written out when embedded)"},
};

std::string numberField(std::string t) {
    if (t.empty() || t[0] != '-') t.insert(t.begin(), ' ');
    return t + " ";
}

}  // namespace

std::span<const SettingDef> settingsTable() { return kSettings; }

const SettingDef* settingNamed(std::string_view key) {
    const std::string k = toLowerAscii(std::string(key));
    for (const SettingDef& d : kSettings)
        if (toLowerAscii(d.key) == k) return &d;
    return nullptr;
}

std::string settingFileValue(const Settings& s, const SettingDef& d) {
    switch (d.type) {
        case T::Flag: return s.*d.flag ? "True" : "False";
        case T::Size: return numberField(numText(s.*d.size));
        case T::Integer: return numberField(numText(s.*d.integer));
        case T::Text: return s.*d.text;
    }
    return {};
}

void setDefault(Settings& s, const SettingDef& d) {
    switch (d.type) {
        case T::Flag: s.*d.flag = d.dflt != 0; break;
        case T::Size: s.*d.size = static_cast<float>(d.dflt); break;
        case T::Integer: s.*d.integer = static_cast<std::int32_t>(d.dflt); break;
        case T::Text: (s.*d.text).clear(); break;
    }
}

bool setFromUser(Settings& s, const SettingDef& d, std::string_view value, std::string& err) {
    const std::string v = toUpperAscii(std::string(trimView(value)));
    if (d.type == T::Flag) {
        if (v == "Y" || v == "YES" || v == "TRUE" || v == "1" || v == "ON") {
            s.*d.flag = true;
        } else if (v == "N" || v == "NO" || v == "FALSE" || v == "0" || v == "OFF") {
            s.*d.flag = false;
        } else {
            err = std::string(d.key) + " takes true or false, not \"" + std::string(value) + "\"";
            return false;
        }
        return true;
    }
    if (d.type == T::Text) {
        s.*d.text = std::string(value);
        return true;
    }
    const std::optional<double> n = parseNumber(trimView(value));
    // A size must be above its minimum; a whole number may reach its limits.
    const bool inRange = n && std::isfinite(*n) &&
                         (d.type == T::Size ? *n > d.min && *n <= d.max
                                            : *n >= d.min && *n <= d.max && *n == std::floor(*n));
    if (!inRange) {
        err = std::string(d.key) + (d.type == T::Size ? " takes a number above " + numText(d.min)
                                                        : " takes a whole number") +
              ", not \"" + std::string(value) + "\"";
        return false;
    }
    if (d.type == T::Size)
        s.*d.size = static_cast<float>(*n);
    else
        s.*d.integer = static_cast<std::int32_t>(*n);
    return true;
}

}  // namespace molv
