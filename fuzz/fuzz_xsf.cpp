// Cal3D XML skeletons. What was read is written as a binary skeleton, which
// must read again and write the same bytes.
// seeds: xsf
#include "cal3d/cal3d_set.h"
#include "cal3d/cal3d_xml_readers.h"
#include "cal3d/csf_reader.h"
#include "fuzz/harness.h"
#include "model/skeleton.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.xsf");
    SkeletonStore& skel = run.ctx.skel;
    if (!readXsfText(env, input, env.srcFile, skel).ok()) return;
    if (skel.num_Bones < 0 || static_cast<std::size_t>(skel.num_Bones) >= skel.Bones.size()) fault("bone count past its array");
    const std::string first = skeletonCsfBytes(skel);
    const ReadResult r = readCsfBytes(env, first, env.srcFile, skel);
    if (!r.ok()) fault("the skeleton written from a read XML skeleton does not read: " + r.message);
    if (skeletonCsfBytes(skel) != first) fault("an XML skeleton written, read and written again changed");
}

}  // namespace molv::fuzz
