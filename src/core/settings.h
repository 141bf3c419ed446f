// Setting values, named by their configuration keys, and the Settings menu's
// view model (check marks and captions) that the window binds to. Plain data:
// readers and writers take the values they need from here.
#pragma once
#include <cstdint>
#include <string>

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
};

// Check marks and captions of the Settings menu, plus the developer panel's
// fields. Commands change these; the values follow at the next sync.
struct SettingsMenu {
    bool m_s_switch_obj_yz = false;
    bool m_s_switch_xz = false;
    bool m_s_autozerobsht = true;
    bool m_s_ignore_3ds_ofs = true;
    bool m_s_full_paths_cfg = false;
    bool m_s_flipUV = true;
    bool m_s_autocullmatls = false;
    bool m_s_autocentre = true;
    bool m_s_autoresize = true;
    bool m_s_recalcnormals = true;
    bool m_s_rawdataload = false;
    bool m_s_autoscale_UVs = false;
    bool m_s_keepnormals = true;
    bool m_s_flipObjUV = true;
    std::string m_s_setsize_caption = "Set size for resize (100)";
    std::string m_s_setbone_caption = "Set prop Bone (0)";
    // Developer panel.
    std::string tSrcFile;
    bool chStats = false;
    std::string tKF1, tKF2, tDbgLvl;
    bool chDbgLog = false, chDbgLog2 = false, chDbgLog3 = false;
};

}  // namespace molv
