// The store as readers fill it and the steps after a read (normals, mesh
// links, measuring, centring, resizing, culling materials, the check before
// writing), as scripts under tests/data/model/scripts/: each line a step on
// a fresh store (those step() knows), and NAME.expect the script again with
// what each step left: the extents, the meshes, points or store it shows,
// and what the user was told or asked. A new case is one script;
// MOLV_UPDATE_GOLDEN=1 writes the listings, to be reviewed before they are
// committed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "convert/fixups.h"
#include "model/checks.h"
#include "model/extents.h"
#include "model/material_cull.h"
#include "model/normals.h"
#include "model/store_fill.h"
#include "model/transform.h"
#include "support/harness.h"
#include "support/store_listing.h"
#include "support/test_support.h"

namespace molv {
namespace {

std::string text(const Vec3& v) {
    std::ostringstream s;
    s << v.x << ' ' << v.y << ' ' << v.z;
    return s.str();
}

// A worked-out vertex normal in a listing line to five places, so that a
// last bit of a maths library's angle does not show.
std::string roundNormal(const std::string& line) {
    const std::size_t at = line.find(" n ");
    Vec3 n;
    std::istringstream in(line.substr(at == std::string::npos ? line.size() : at + 3));
    if (line.rfind("v ", 0) != 0 || !(in >> n.x >> n.y >> n.z)) return line;
    char b[64];
    std::snprintf(b, sizeof b, " n %.5f %.5f %.5f", n.x + 0.0, n.y + 0.0, n.z + 0.0);
    return line.substr(0, at) + b;
}

// A box or a question as one line, quoted, its line breaks shown as " | ".
std::string quoted(std::string t) {
    for (const char* br : {"\r\n", "\r", "\n"}) {
        for (std::size_t at = t.find(br); at != std::string::npos; at = t.find(br, at))
            t.replace(at, std::strlen(br), " | ");
    }
    return '"' + t + '"';
}

struct StoreScript : ::testing::TestWithParam<std::string>, test::TestContext {
    std::ostringstream out;
    std::size_t boxes = 0, prompts = 0, logs = 0;
    // Through StoreFill, which tells the user what the store refused.
    std::optional<StoreFill> fill{std::in_place, m, ctx, AxisSwitch{}};

    StoreScript() {
        // The fix-ups off, as in a plain resize; a script switches them on where needed.
        ctx.settings.autoResize = false;
        ctx.settings.autoZeroBsHt = false;
        ctx.settings.autoCentre = false;
    }

    // The twin is the same point with the height third, as the readers store it.
    void vertex(float x, float y, float z) {
        std::int32_t i = -1;
        m.AddVertex(i, x, y, z, x, z, y);
    }

    void extents() {
        out << "  pos " << text(m.minPos) << " .. " << text(m.maxPos) << ", centre " << text(m.ctrPos) << ", span "
            << text(m.spanPos) << "\n  zup " << text(m.minZup) << " .. " << text(m.maxZup) << ", centre "
            << text(m.ctrZup) << ", span " << text(m.spanZup) << "\n  largest span " << m.maxSpan << "\n";
    }

    // One step; false when the line is none. `quiet` leaves out what it would show.
    bool step(const std::string& op, std::istringstream& args, bool quiet = false) {
        std::string rest;
        std::getline(args >> std::ws, rest);
        std::istringstream in(rest);
        float x = 0, y = 0, z = 0, zx = 0, zy = 0, zz = 0;
        std::int32_t a = 0, b = 0, c = 0, n = 0;
        const std::int32_t mesh = fill->cursor().MeshNdx;
        if (op == "cube") {  // from (-1, 0, -1) to (1, 4, 1), as one mesh
            m.dssAddMesh("cube", 0);
            for (float cx : {-1.0f, 1.0f})
                for (float cy : {0.0f, 4.0f})
                    for (float cz : {-1.0f, 1.0f}) vertex(cx, cy, cz);
        } else if (op == "mesh") {  // NAME [VERTICES]
            const std::size_t gap = rest.find(' ');
            n = fill->dssAddMesh(rest.substr(0, gap), gap == std::string::npos ? 0 : std::stoi(rest.substr(gap)));
            if (!quiet) out << "  mesh " << n << "\n";
        } else if (op == "vertices" && in >> n) {  // as many more in the current mesh
            n = fill->AddMeshVertices(mesh, n);
            if (!quiet) out << "  vertices " << n << "\n";
        } else if (op == "v" && in >> x >> y >> z) {  // X Y Z [a twin of its own: X Y Z]
            std::int32_t i = -1;
            const bool own = static_cast<bool>(in >> zx >> zy >> zz);
            fill->AddVertex(i, x, y, z, own ? zx : x, own ? zy : z, own ? zz : y, 0, false);
        } else if (op == "uv" && in >> a >> b) {  // vertex (from the current mesh's first), UV set
            out << "  vertex " << fill->SetVertexUV(fill->cursor().currVtxBase, a, b, UV{}) << "\n";
        } else if (op == "vertex-normal" && in >> a >> x >> y >> z) {
            fill->SetVertexNormal(a, Vec3{x, y, z});
        } else if (op == "cursor") {  // where the read is
            const FillCursor& at = fill->cursor();
            out << "  mesh " << at.MeshNdx << " from vertex " << at.currVtxBase << ", group " << at.currFgnum
                << "; added " << at.meshVtxCount << " vertices, " << at.meshFaceCount << " faces, " << at.meshFgCount
                << " groups\n";
        } else if (op == "another" && rest == "fill") {  // a second read into the same store
            fill.emplace(m, ctx, AxisSwitch{});
        } else if (op == "f" && in >> a >> b >> c) {  // in the current mesh, or the one named
            fill->AddFace(in >> n ? n : mesh, 0, a, b, c);
        } else if (op == "group" && in >> n) {  // of a material
            fill->AddFaceGroup(false, n, 0);
        } else if (op == "member" && in >> a >> b) {  // group, face
            fill->AddFaceToGroup(mesh, a, false, b, in >> c ? c : -1);
        } else if (op == "material") {
            fill->AddMaterial(rest);
        } else if (op == "smoothing" && in >> n) {  // the last face's smoothing group
            m.faceSmoothing.push_back(static_cast<std::uint32_t>(n));
        } else if (op == "corner-normals" && in >> a >> x >> y >> z >> zx >> zy >> zz) {  // of a face's corners
            Vec3 third;
            in >> third.x >> third.y >> third.z;  // none given: the corner has none
            fill->SetFaceNormals(a, Vec3{x, y, z}, Vec3{zx, zy, zz}, third);
        } else if (op == "collapse" && in >> a >> b >> c) {  // vertex, collapse id, face collapse count
            m.setCollapse(a, b, c);
        } else if (op == "influence" && in >> a >> b >> x) {  // vertex, bone, weight
            m.skinAt(a).Influences.push_back(Influence{b, x});
            m.skinAt(a).num_Influences += 1;
        } else if (op == "sides" && in >> a) {  // what a vertex carries beside its record
            out << "  vertex " << a << ": collapse " << m.collapseId(a) << " count " << m.faceCollapseCount(a);
            for (const Influence& i : m.skinOf(a).Influences) out << ", bone " << i.boneId << " weight " << i.weight;
            out << "\n";
        } else if (op == "normals") {  // resolved, the source's kept or not
            out << "  copies " << resolveNormals(ctx, m, NormalChoice{rest != "recomputed", true}) << "\n";
        } else if ((op == "position" || op == "scale") && in >> a >> x >> y >> z) {  // of a mesh
            (op == "scale" ? m.meshAt(a).scale : m.meshAt(a).position) = Vec3{x, y, z};
        } else if (op == "parent" && in >> a >> b) {  // mesh, parent
            out << "  " << (SetMeshParent(m, a, b) ? "linked" : "refused") << "\n";
        } else if (op == "parents") {  // pairs of mesh and parent, in one batch
            std::vector<MeshLink> links;
            while (in >> a >> b) links.push_back({a, b});
            out << " ";
            for (bool made : SetMeshParents(m, links)) out << (made ? " linked" : " refused");
            out << "\n";
        } else if (op == "meshes") {  // where each is, from its parent and in the world
            for (std::int32_t i = 0; i < m.meshCount; ++i)
                out << "  mesh " << i << ": parent " << m.meshAt(i).parent << ", at " << text(m.meshAt(i).position)
                    << ", world " << text(MeshWorldOrigin(m, i)) << "\n";
        } else if (op == "set-material" && in >> a >> b) {  // of a group, past the store's own checks
            m.FaceGrps[static_cast<std::size_t>(a)].MtlID = b;
        } else if (op == "set-member" && in >> a >> b >> c) {  // group, place, face
            m.FaceGrps[static_cast<std::size_t>(a)].FgFaces[static_cast<std::size_t>(b)] = c;
        } else if (op == "set-member-count" && in >> a >> b) {
            m.FaceGrps[static_cast<std::size_t>(a)].nFcs = b;
        } else if (op == "set-last-group" && in >> a >> b) {  // of a mesh
            m.meshAt(a).face_grp_ndx_end = b;
        } else if (op == "set-last-mesh" && in >> a) {
            m.meshRange.last = a;
        } else if (op == "check") {  // as before writing
            const CheckResult r = CheckModel(ctx, m);
            out << "  " << r.badFaces << " bad members, " << r.unused << " unused\n";
        } else if (op == "ranges") {  // the current mesh's runs set to what was added to it
            fill->SetMeshRanges();
        } else if (op == "cull") {  // the materials no written group uses
            out << "  culled:";
            for (const std::string& name : CullUnusedMaterials(m)) out << " " << name;
            out << "\n";
        } else if (op == "repeat" && in >> n >> rest) {
            for (std::int32_t i = 0; i < n; ++i) {
                std::istringstream again(in.str().substr(static_cast<std::size_t>(in.tellg())));
                if (!step(rest, again, true)) return false;
            }
        } else if (op == "new" && rest == "read") {
            fill.reset();
            m.ClearModel();
            fill.emplace(m, ctx, AxisSwitch{});
        } else if (op == "report") {  // the read's summary of what was refused
            ReportBadFaceSummary(ctx, m);
        } else if (op == "listing" || op == "counts") {  // the whole store, or its first line
            std::istringstream listing(test::storeListing(m));
            for (std::string line; std::getline(listing, line) && (op == "listing" || !n++);)
                out << "  " << roundNormal(line) << "\n";
        } else if (op == "zerobase") {
            ctx.settings.autoZeroBsHt = true;
        } else if (op == "debug") {
            ctx.dbgLevel = 1;
        } else if (op == "answer") {  // the next input box's answer, quotes taken off
            ui.inputs.push_back(rest.size() > 1 && rest[0] == '"' ? rest.substr(1, rest.size() - 2) : rest);
        } else if (op == "cancel") {
            ui.inputs.push_back(std::nullopt);
        } else if (op == "show" && in >> a) {
            out << "  vertex " << a << ": " << text(vtx(a).pos) << ", zup " << text(zup(a));
            if (m.vertexNormals.size() > static_cast<std::size_t>(a)) out << ", normal " << text(m.vertexNormals[a]);
            out << "\n";
        } else if (op == "finite" && in >> a) {  // for a point too large to show alike everywhere
            bool finite = true;
            for (int k = 0; k < 3; ++k) finite = finite && std::isfinite(vtx(a).pos[k]) && std::isfinite(zup(a)[k]);
            out << "  vertex " << a << (finite ? " is finite\n" : " is not finite\n");
        } else if (op == "measure") {  // all meshes, or the one named
            SetMaxMinsM(ctx, m, in >> a ? a : -1);
            extents();
        } else if (op == "centre") {  // on all axes, or with the lowest point at a height
            const bool at = in >> rest && rest == "at" && in >> x;
            CentreModel(ctx, m, at, x, at && in >> rest && rest == "measured");
            extents();
        } else if (op == "resize" || op == "resize-in-fixups") {  // the span typed, or none to be asked
            std::string span = "-";
            const bool done = ResizeModel(ctx, rest, false, op != "resize", &span);
            out << "  " << (done ? "resized" : "refused") << ", span " << span << "\n";
            extents();
        } else {
            return false;
        }
        return true;
    }
};

TEST_P(StoreScript, MatchesItsListing) {
    const std::string path = test::dataPath("model/scripts/" + GetParam());
    std::istringstream script(test::readFile(path));
    for (std::string line; std::getline(script, line);) {
        out << line << "\n";
        std::istringstream args(line);
        std::string op;
        if (!(args >> op) || op[0] == '#') continue;
        ASSERT_TRUE(step(op, args)) << line;
        for (; prompts < ui.prompts.size(); ++prompts) out << "  asked: " << quoted(ui.prompts[prompts]) << "\n";
        for (; boxes < ui.boxes.size(); ++boxes) out << "  box: " << quoted(ui.boxes[boxes].text) << "\n";
        for (; logs < ui.log.size(); ++logs) out << "  log: " << ui.log[logs] << "\n";
    }
    const std::string got = out.str();
    test::expectGolden(path + ".expect", got);
}

INSTANTIATE_TEST_SUITE_P(Data, StoreScript,
                         ::testing::ValuesIn(test::filesUnder(test::dataPath("model/scripts"), {".txt"})),
                         [](const auto& info) { return test::testName(info.param); });

}  // namespace
}  // namespace molv
