// Cal3D viewer configurations, in developer mode so binary names are
// followed too. The run's folder holds a small XML skeleton, mesh and
// material named a.xsf, a.xmf and a.xrf for the configuration to name.
// seeds: cfg
#include "cal3d/cfg_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

namespace {

constexpr std::string_view kSkeleton = R"(<SKELETON VERSION="1100" NUMBONES="2">
<BONE ID="0" NAME="root" NUMCHILDS="1"><TRANSLATION>0 0 0</TRANSLATION><ROTATION>0 0 0 1</ROTATION>
<LOCALTRANSLATION>0 0 0</LOCALTRANSLATION><LOCALROTATION>0 0 0 1</LOCALROTATION><PARENTID>-1</PARENTID><CHILDID>1</CHILDID></BONE>
<BONE ID="1" NAME="tip" NUMCHILDS="0"><TRANSLATION>0 0 1</TRANSLATION><ROTATION>0 0 0 1</ROTATION>
<LOCALTRANSLATION>0 0 -1</LOCALTRANSLATION><LOCALROTATION>0 0 0 1</LOCALROTATION><PARENTID>0</PARENTID></BONE>
</SKELETON>
)";

constexpr std::string_view kMesh = R"(<MESH VERSION="1100" NUMSUBMESH="1">
<SUBMESH NUMVERTICES="3" NUMFACES="1" MATERIAL="1" NUMLODSTEPS="0" NUMSPRINGS="0" NUMTEXCOORDS="1">
<VERTEX ID="0" NUMINFLUENCES="1"><POS>0 0 0</POS><NORM>0 0 1</NORM><TEXCOORD>0 0</TEXCOORD><INFLUENCE ID="0">1</INFLUENCE></VERTEX>
<VERTEX ID="1" NUMINFLUENCES="1"><POS>1 0 0</POS><NORM>0 0 1</NORM><TEXCOORD>1 0</TEXCOORD><INFLUENCE ID="1">1</INFLUENCE></VERTEX>
<VERTEX ID="2" NUMINFLUENCES="1"><POS>0 1 0</POS><NORM>0 0 1</NORM><TEXCOORD>0 1</TEXCOORD><INFLUENCE ID="0">1</INFLUENCE></VERTEX>
<FACE VERTEXID="0 1 2" />
</SUBMESH>
</MESH>
)";

constexpr std::string_view kMaterial = R"(<MATERIAL VERSION="1100" NUMMAPS="1">
<AMBIENT>51 51 51 255</AMBIENT><DIFFUSE>204 128 0 255</DIFFUSE><SPECULAR>0 0 0 255</SPECULAR>
<SHININESS>25</SHININESS><MAP>wood.png</MAP>
</MATERIAL>
)";

}  // namespace

void fuzzOne(Run& run, std::string_view input) {
    run.put("a.xsf", kSkeleton);
    run.put("a.xmf", kMesh);
    run.put("a.xrf", kMaterial);
    ReadEnv env = run.source("model.cfg");
    env.devMode = true;
    readCfgText(env, input, env.srcFile);
    checkStore(run);
}

}  // namespace molv::fuzz
