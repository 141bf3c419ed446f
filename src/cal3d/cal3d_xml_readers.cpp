#include "cal3d/cal3d_xml_readers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "cal3d/cal3d_store.h"
#include "cal3d/xml_tag.h"
#include "core/diagnostics.h"
#include "core/settings.h"
#include "model/io_env.h"
#include "model/skeleton.h"
#include "model/store.h"
#include "model/store_fill.h"
#include "util/assoc_array.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

// The fewest bytes an element takes ("<FACE VERTEXID="0 1 2"/>" is 24,
// "<BONE ID="0">" 12): a count above the file's bytes over this is a lie.
constexpr std::int64_t kMinElementBytes = 10;

// The words of an element's text, split at blanks and tabs.
std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

// One element after another, with the line each came from.
class Walk {
public:
    Walk(ReadEnv& env, std::string_view text, const std::string& source)
        : env_(env), src_(text), source_(source), size_(static_cast<std::int64_t>(text.size())) {}
    // False at the end or when a tag could not be read (failed() then says so).
    bool next() {
        if (!readXmlTag(env_.diag, src_, name, text, closing, attrs, false)) {
            bad_ = !src_.atEnd();
            return false;
        }
        upper = name;
        for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        return true;
    }
    bool failed() const { return bad_; }
    std::int64_t line() const { return src_.where().no; }
    const SourceLine& where() const { return src_.where(); }
    ReadResult fail(const std::string& what) const {
        return ReadResult::failed(source_ + " line " + std::to_string(line()) + ": " + what + "\r\n" +
                                      src_.where().text,
                                  source_, line());
    }
    ReadResult tagError() const { return fail("cannot read the tag: " + src_.error()); }
    // The most elements the file can hold.
    std::int64_t room() const { return size_ / kMinElementBytes + 1; }
    // An attribute as a whole number; `dst` keeps its value when it is missing.
    bool attrInt(std::string_view key, std::int32_t& dst) const {
        const std::string* v = attrs.findValue(key);
        if (!v || trimView(*v).empty()) return true;
        const auto d = parseWholeNumber(trimView(*v), INT32_MIN, INT32_MAX);
        if (!d) return false;
        dst = static_cast<std::int32_t>(*d);
        return true;
    }
    // The element's text as n numbers; false when it holds fewer, non-numbers
    // or numbers a float cannot hold (they would be stored as infinities).
    bool numbers(float* out, int n) const {
        const std::vector<std::string_view> t = words(text);
        if (static_cast<int>(t.size()) < n) return false;
        for (int i = 0; i < n; ++i) {
            const std::optional<double> d = parseNumber(t[static_cast<std::size_t>(i)]);
            if (!d || std::fabs(*d) > std::numeric_limits<float>::max()) return false;
            out[i] = static_cast<float>(*d);
        }
        return true;
    }
    bool wholeNumbers(std::int32_t* out, int n, std::string_view from) const {
        const std::vector<std::string_view> t = words(from);
        if (static_cast<int>(t.size()) < n) return false;
        for (int i = 0; i < n; ++i) {
            const auto d = parseWholeNumber(t[static_cast<std::size_t>(i)], INT32_MIN, INT32_MAX);
            if (!d) return false;
            out[i] = static_cast<std::int32_t>(*d);
        }
        return true;
    }

    std::string name, upper, text, closing;
    AssocArray attrs;

private:
    ReadEnv& env_;
    XmlSource src_;
    std::string source_;
    std::int64_t size_;
    bool bad_ = false;
};

ReadResult readText(const std::string& path, std::string& text) {
    std::string err;
    if (!fileExists(path) || !readWholeFile(path, text, err)) return ReadResult::failed("Not found: " + path, path);
    return {};
}

// --- mesh --------------------------------------------------------------------

struct XmfVertex {
    std::int32_t id = -1, numInfl = 0;
    float pos[3] = {0, 0, 0}, normal[3] = {0, 0, 0};
    std::int32_t cid = -1, ccount = 0;
    std::vector<UV> uvs;
    std::vector<Influence> infl;
};

class XmfReader {
public:
    XmfReader(ReadEnv& env, std::string_view text, const std::string& source)
        : env_(env), m_(env.model), fill_(env), w_(env, text, source) {
        fill_.line = &w_.where();
    }

    ReadResult run() {
        while (w_.next()) {
            const std::string& u = w_.upper;
            ReadResult r;
            if (u == "MESH") r = mesh();
            else if (u == "SUBMESH") r = submesh();
            else if (u == "VERTEX") r = vertex();
            else if (u == "/VERTEX") r = endVertex();
            else if (u == "FACE") r = face();
            else if (u == "SPRING") {
                if (!springTold_) env_.diag.msgBox("Spring not handled");
                springTold_ = true;
            } else if (inVertex_) r = vertexPart(u);
            if (!r.ok()) return r;
        }
        if (w_.failed()) return w_.tagError();
        if (mesh_ < 0) return w_.fail("no MESH element: not a Cal3D XML mesh");
        return {};
    }

private:
    ReadResult mesh() {
        if (mesh_ >= 0) return w_.fail("a second MESH element");
        mesh_ = fill_.dssAddMesh("cmf", 0);
        if (mesh_ < 0) return w_.fail("no room for another mesh");
        std::int32_t version = 0;
        w_.attrInt("VERSION", version);
        m_.meshAt(mesh_).cmf_version = version;
        std::int32_t n = 0;
        w_.attrInt("NUMSUBMESH", n);
        m_.nSubMeshes = n;
        return {};
    }

    ReadResult submesh() {
        if (mesh_ < 0) {
            ReadResult r = mesh();
            if (!r.ok()) return r;
        }
        std::int32_t mt = 0, nv = 0, nf = 0, lod = 0, springs = 0, maps = 0;
        if (!w_.attrInt("MATERIAL", mt) || !w_.attrInt("NUMVERTICES", nv) || !w_.attrInt("NUMFACES", nf) ||
            !w_.attrInt("NUMLODSTEPS", lod) || !w_.attrInt("NUMSPRINGS", springs) || !w_.attrInt("NUMTEXCOORDS", maps))
            return w_.fail("a SUBMESH attribute is not a whole number");
        if (mt < -1 || nv < 0 || nf < 0 || lod < 0 || lod > kMaxLodSteps || springs < 0 || maps < 0 ||
            maps > kMaxUvSets || std::int64_t{nv} + nf > w_.room())
            return w_.fail("Bad data:  material_thread_id=" + std::to_string(mt) + " num_submesh_Vertices=" +
                           std::to_string(nv) + " num_submesh_Faces=" + std::to_string(nf) + " num_lod_steps=" +
                           std::to_string(lod) + " num_springs=" + std::to_string(springs) +
                           " num_maps=" + std::to_string(maps));
        if (m_.nMaterials > 0 && (mt < 0 || mt >= m_.nMaterials))
            return w_.fail("submesh names material " + std::to_string(mt) + ", beyond the " +
                           std::to_string(m_.nMaterials) + " materials read");
        inVertex_ = false;
        nv_ = nv;
        nf_ = nf;
        maps_ = maps;
        faces_ = 0;
        base_ = fill_.AddMeshVertices(mesh_, nv);
        // Vertices the file leaves out are there with their texture coordinates zero.
        for (std::int32_t i = 0; i < nv; ++i) {
            Vertex& v = m_.vertexAt(base_ + i);
            v.UVs.clear();
            v.UVs.resize(static_cast<std::uint32_t>(maps));
            v.num_UVs = static_cast<std::int16_t>(maps);
        }
        m_.meshAt(mesh_).num_UVsets = maps;
        group_ = addSubmeshGroup(fill_, mt, nf, maps, lod, springs);
        return {};
    }

    ReadResult vertex() {
        if (group_ < 0) return w_.fail("VERTEX outside a SUBMESH");
        v_ = XmfVertex{};
        if (!w_.attrInt("ID", v_.id) || v_.id < 0 || v_.id >= nv_)
            return w_.fail("vertex ID \"" + w_.attrs.getValue("ID") + "\" is not one of the submesh's " +
                           std::to_string(nv_) + " vertices");
        if (!w_.attrInt("NUMINFLUENCES", v_.numInfl) || v_.numInfl < 0 || v_.numInfl > kMaxInfluences)
            return w_.fail("Bad number influences: " + w_.attrs.getValue("NUMINFLUENCES"));
        inVertex_ = true;
        return {};
    }

    ReadResult vertexPart(const std::string& u) {
        float f[3] = {0, 0, 0};
        if (u == "POS") {
            if (!w_.numbers(v_.pos, 3)) return w_.fail("POS needs three numbers");
        } else if (u == "NORM" || u == "NORMFLOAT") {
            if (!w_.numbers(v_.normal, 3)) return w_.fail(u + " needs three numbers");
        } else if (u == "COLLAPSEID") {
            if (!w_.wholeNumbers(&v_.cid, 1, w_.text)) return collapseFail(u);
        } else if (u == "COLLAPSECOUNT") {
            if (!w_.wholeNumbers(&v_.ccount, 1, w_.text)) return collapseFail(u);
        } else if (u == "TEXCOORD") {
            if (static_cast<std::int32_t>(v_.uvs.size()) >= maps_)
                return w_.fail("more TEXCOORD elements than the submesh's " + std::to_string(maps_));
            if (!w_.numbers(f, 2)) return w_.fail("TEXCOORD needs two numbers");
            v_.uvs.push_back(UV{f[0], f[1]});
        } else if (u == "INFLUENCE") {
            if (static_cast<std::int32_t>(v_.infl.size()) >= v_.numInfl)
                return w_.fail("more INFLUENCE elements than the " + std::to_string(v_.numInfl) + " announced");
            std::int32_t bone = 0;
            if (!w_.attrInt("ID", bone) || !w_.numbers(f, 1)) return w_.fail("INFLUENCE needs a bone ID and a weight");
            v_.infl.push_back(Influence{bone, f[0]});
        }
        return {};
    }

    // The binary mesh holds both as 32-bit integers.
    ReadResult collapseFail(const std::string& u) const {
        return w_.fail("vertex " + std::to_string(v_.id) + ": " + u + " \"" + std::string(trimView(w_.text)) +
                       "\" is not a whole number from -2147483648 to 2147483647");
    }

    ReadResult endVertex() {
        if (!inVertex_) return {};
        inVertex_ = false;
        std::int32_t v = base_ + v_.id;
        const float X = v_.pos[0], Y = v_.pos[1], Z = v_.pos[2];
        if (env_.settings.rawDataLoad)
            fill_.AddVertex(v, X, Y, Z, X, Z, Y, v_.id, false);
        else
            fill_.AddVertex(v, X, Z, Y, X, Y, Z, v_.id, false);
        Vertex& vx = m_.vertexAt(v);
        m_.normalAt(v) = Vec3{v_.normal[0], v_.normal[2], v_.normal[1]};
        m_.num_Normals += 1;
        m_.setCollapse(v, v_.cid, v_.ccount);
        vx.UVs.clear();
        vx.UVs.resize(static_cast<std::uint32_t>(maps_));
        for (std::size_t k = 0; k < v_.uvs.size(); ++k) vx.UVs[static_cast<std::uint32_t>(k)] = v_.uvs[k];
        vx.num_UVs = static_cast<std::int16_t>(maps_);
        VertexSkin& skin = m_.skinAt(v);
        skin.Influences.clear();
        for (const Influence& i : v_.infl) skin.Influences.push_back(i);
        skin.num_Influences = static_cast<std::int32_t>(v_.infl.size());
        return {};
    }

    ReadResult face() {
        if (group_ < 0) return w_.fail("FACE outside a SUBMESH");
        if (faces_ >= nf_) return w_.fail("more FACE elements than the submesh's " + std::to_string(nf_));
        std::int32_t c[3] = {0, 0, 0};
        const std::string* ids = w_.attrs.findValue("VERTEXID");
        if (!ids || !w_.wholeNumbers(c, 3, *ids)) return w_.fail("FACE needs three vertex numbers in VERTEXID");
        for (std::int32_t k : c)
            if (k < 0 || k >= nv_)
                return w_.fail("face names vertex " + std::to_string(k) + " of the submesh's " + std::to_string(nv_));
        fill_.AddFace(mesh_, base_, c[0], c[1], c[2]);
        const std::int32_t global = m_.ttlnum_Faces - 1;
        FaceGroup& fg = m_.groupAt(group_);
        fg.FgFaces[static_cast<std::size_t>(faces_)] = global - m_.meshAt(mesh_).face_ndx_stt;
        fg.FgGlblFaces[static_cast<std::size_t>(faces_)] = global;
        faces_ += 1;
        fg.nFcs = faces_;
        return {};
    }

    ReadEnv& env_;
    ModelStore& m_;
    StoreFill fill_;
    Walk w_;
    std::int32_t mesh_ = -1, group_ = -1, base_ = 0, nv_ = 0, nf_ = 0, maps_ = 0, faces_ = 0;
    bool inVertex_ = false, springTold_ = false;
    XmfVertex v_;
};

}  // namespace

ReadResult readXmfText(ReadEnv& env, std::string_view text, const std::string& source) {
    return XmfReader(env, text, source).run();
}

ReadResult readXmf(ReadEnv& env, const std::string& path) {
    std::string text;
    ReadResult r = readText(path, text);
    return r.ok() ? readXmfText(env, text, path) : r;
}

// --- skeleton ----------------------------------------------------------------

ReadResult readXsfText(ReadEnv& env, std::string_view text, const std::string& source, SkeletonStore& out) {
    Walk w(env, text, source);
    SkeletonStore sk;
    bool root = false;
    Bone* bone = nullptr;
    std::int32_t announced = -1;  // NUMCHILDS of the selected bone; -1 when absent
    std::string boneName;
    while (w.next()) {
        const std::string& u = w.upper;
        if (u == "HEADER") {
            w.attrInt("VERSION", sk.skl_version);
        } else if (u == "SKELETON") {
            if (root) return w.fail("a second SKELETON element");
            root = true;
            w.attrInt("VERSION", sk.skl_version);
            std::int32_t n = 0;
            if (!w.attrInt("NUMBONES", n) || n < 0 || n > w.room())
                return w.fail("bone count \"" + w.attrs.getValue("NUMBONES") + "\" does not fit the file");
            sk.num_Bones = n;
            sk.Bones.assign(static_cast<std::size_t>(n) + 1, Bone{});
            env.diag.logMsg("SKL: " + source + ", " + std::to_string(n) + " bones");
        } else if (u == "BONE") {
            std::int32_t id = -1;
            if (!w.attrInt("ID", id) || id < 0 || id >= sk.num_Bones)
                return w.fail("bone ID \"" + w.attrs.getValue("ID") + "\" is not one of the " +
                              std::to_string(sk.num_Bones) + " bones");
            bone = &sk.Bones[static_cast<std::size_t>(id)];
            *bone = Bone{};
            bone->name = decodeXmlText(w.attrs.getValue("NAME"));
            bone->name_len = static_cast<std::int32_t>(bone->name.size() + 1);
            announced = -1;
            if (!w.attrInt("NUMCHILDS", announced) || announced > w.room())
                return w.fail("child count \"" + w.attrs.getValue("NUMCHILDS") + "\" does not fit the file");
            if (announced >= 0) bone->chldrn.reserve(static_cast<std::size_t>(announced));
        } else if (u == "/BONE") {
            bone = nullptr;
        } else if (bone) {
            if (u == "TRANSLATION" && !w.numbers(bone->TrXYZ, 3)) return w.fail("TRANSLATION needs three numbers");
            if (u == "ROTATION" && !w.numbers(bone->RotXYZW, 4)) return w.fail("ROTATION needs four numbers");
            if (u == "LOCALTRANSLATION" && !w.numbers(bone->LocTrXYZ, 3))
                return w.fail("LOCALTRANSLATION needs three numbers");
            if (u == "LOCALROTATION" && !w.numbers(bone->LocRotXYZ, 4)) return w.fail("LOCALROTATION needs four numbers");
            if (u == "PARENTID" && !w.wholeNumbers(&bone->PBID, 1, w.text)) return w.fail("PARENTID needs a number");
            if (u == "CHILDID") {
                std::int32_t c = 0;
                if (!w.wholeNumbers(&c, 1, w.text)) return w.fail("CHILDID needs a number");
                if (announced >= 0 && bone->num_chldrn >= announced)
                    return w.fail("more CHILDID elements than the " + std::to_string(announced) + " NUMCHILDS announces");
                bone->chldrn.push_back(c);
                bone->num_chldrn += 1;
            }
        }
    }
    if (w.failed()) return w.tagError();
    if (!root) return w.fail("no SKELETON element: not a Cal3D XML skeleton");
    out = std::move(sk);
    return {};
}

ReadResult readXsf(ReadEnv& env, const std::string& path) {
    std::string text;
    ReadResult r = readText(path, text);
    if (!r.ok()) return r;
    if (!env.skel) return ReadResult::failed("No skeleton store to read " + path + " into", path);
    return readXsfText(env, text, path, *env.skel);
}

// --- material ----------------------------------------------------------------

ReadResult readXrfText(ReadEnv& env, std::string_view text, const std::string& source, std::int32_t n) {
    if (n < 0 || n > kMaxMaterialNumber) return ReadResult::failed("Material number " + std::to_string(n) + " is out of range", source);
    Walk w(env, text, source);
    Material mt;
    mt.id = n;
    mt.name = baseName(source);
    bool root = false;
    std::int32_t announced = -1;
    while (w.next()) {
        const std::string& u = w.upper;
        if (u == "HEADER") {
            w.attrInt("VERSION", mt.version);
        } else if (u == "MATERIAL") {
            if (root) return w.fail("a second MATERIAL element");
            root = true;
            w.attrInt("VERSION", mt.version);
            if (!w.attrInt("NUMMAPS", announced) || announced > w.room())
                return w.fail("map count \"" + w.attrs.getValue("NUMMAPS") + "\" does not fit the file");
        } else if (u == "AMBIENT" || u == "DIFFUSE" || u == "SPECULAR") {
            std::int32_t c[4] = {0, 0, 0, 0};
            if (!w.wholeNumbers(c, 4, w.text)) return w.fail(u + " needs four whole numbers");
            Colour& col = u == "AMBIENT" ? mt.ambient : u == "DIFFUSE" ? mt.diffuse : mt.specular;
            auto byte = [](std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
            col = Colour{byte(c[0]), byte(c[1]), byte(c[2]), byte(c[3])};
        } else if (u == "SHININESS") {
            if (!w.numbers(&mt.shininess, 1)) return w.fail("SHININESS needs a number");
        } else if (u == "MAP") {
            if (announced >= 0 && mt.nMaps >= announced)
                return w.fail("more MAP elements than the " + std::to_string(announced) + " NUMMAPS announces");
            // Only the file's own name: maps are looked for in the model's folder.
            mt.maps.emplace_back(lastComponent(decodeXmlText(w.text)));
            mt.nMaps += 1;
        }
    }
    if (w.failed()) return w.tagError();
    if (!root) return w.fail("no MATERIAL element: not a Cal3D XML material");
    mt.maps.resize(static_cast<std::size_t>(mt.nMaps) + 1);
    env.diag.logMsg("Materials[" + std::to_string(n) + "]  XRF file: " + source + "    Name:" + mt.name);
    storeMaterial(env.model, n, std::move(mt));
    return {};
}

ReadResult readXrf(ReadEnv& env, const std::string& path, std::int32_t number) {
    std::string text;
    ReadResult r = readText(path, text);
    return r.ok() ? readXrfText(env, text, path, number) : r;
}

}  // namespace molv
