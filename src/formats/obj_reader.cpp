// Wavefront .obj reader.
//
// The whole file is read into memory and parsed there. The text is walked
// twice: a counting pass sizes the store's arrays (so a million-face file
// is not grown step by step) and detects files that number their vertices
// from 0; the second pass tokenises the lines into numbers and takes them
// into the store. The counts only size arrays: every number the parse
// takes from the file is checked on its own.
//
// One thread: a second one for counting and tokenising saved at most a
// few percent of a whole conversion.
#include "formats/obj_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "formats/mtl_reader.h"
#include "formats/obj_tokens.h"
#include "core/diagnostics.h"
#include "core/settings.h"
#include "model/io_env.h"
#include "model/store.h"
#include "model/store_fill.h"
#include "model/triangulate.h"
#include "util/encoding.h"
#include "util/fileio.h"
#include "util/fspath.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

using namespace wavefront;

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Room the store keeps above its counters (it grows in steps of 1000).
constexpr std::int64_t kStoreSlack = 2002;
constexpr int kReportedFacesMax = 10;
// Unknown material names logged one by one; the rest are counted.
constexpr std::size_t kListedNamesMax = 10;

// Large pages under a big array's reserved storage (see adviseLargePages):
// a million vertices then cost a few dozen page faults. Only for arrays
// that will hold many megabytes, as the last large page is resident whole.
template <class T>
void largePages(std::vector<T>& v, std::size_t expected) {
    if (expected * sizeof(T) >= (std::size_t{16} << 20)) adviseLargePages(v.data(), v.capacity() * sizeof(T));
}

struct Corner {
    std::int32_t vtx;  // store vertex index
    std::int32_t src;  // source vertex index (0-based)
    std::int32_t tex;  // texture vertex index (0-based), -1 for none
    std::int32_t nrm;  // normal index (0-based), -1 for none
};

class ObjReader {
public:
    ObjReader(ReadEnv& env, const std::string& path)
        : env_(env), ctx_(env.diag), m_(env.model), fill_(env), path_(path), flipV_(env.settings.flip_OBJ_UV_Vs) {}

    // Sizes the store from the counts; false when the file is too large.
    bool prepare(const ObjCounts& counts) {
        counts_ = &counts;
        zeroBased_ = counts.zeroBased;
        const std::int64_t splitsAtMost = std::min(counts.texCorners, counts.v + counts.vt);
        if (counts.v + splitsAtMost > kInt32Max - kStoreSlack || counts.tris > kInt32Max - kStoreSlack) {
            fail(path_ + ": too large to read (more than " + std::to_string(kInt32Max) + " vertices or faces)", 0);
            return false;
        }
        fill_.readPos = 0;
        firstFace_ = m_.ttlnum_Faces;
        std::int16_t mesh = fill_.dssAddMesh("OBJ_Mesh_0", 0);
        if (mesh < 0) {
            // The store told the user.
            result_ = ReadResult::failed({}, path_);
            return false;
        }
        mesh_ = mesh;
        // Reserving does not touch the memory: the store's own growth steps
        // then stay inside it and never copy the arrays.
        const auto nv = static_cast<std::size_t>(m_.ttlnum_Vertices + counts.v + splitsAtMost + kStoreSlack);
        m_.Vertices.reserve(nv);
        m_.VFaces.reserve(static_cast<std::size_t>(m_.ttlnum_Faces + counts.tris + kStoreSlack));
        m_.FaceGrps.reserve(m_.FaceGrps.size() + counts.runTris.size() + 1);
        srcVtx_.reserve(static_cast<std::size_t>(counts.v));
        tex_.reserve(static_cast<std::size_t>(counts.vt));
        normals_.reserve(static_cast<std::size_t>(counts.vn));
        largePages(m_.Vertices, static_cast<std::size_t>(counts.v));
        largePages(m_.VFaces, static_cast<std::size_t>(counts.tris));
        return true;
    }

    // Takes one tokenised block into the store; false once reading was
    // given up.
    bool replay(const TokBlock& b) {
        const float* num = b.nums.data();
        const RawCorner* cs = b.corners.data();
        for (const Op& op : b.ops) {
            if (!result_.ok()) break;
            lineNo_ = op.lineNo;
            if (ctx_.statusDue()) {
                status();
                progress();
            }
            Kw k = Kw::Other;
            switch (op.kind) {
                case OpKind::V:
                    k = Kw::V;
                    for (std::uint32_t i = 0; i < op.n && result_.ok(); ++i, num += 3) {
                        lineNo_ = op.lineNo + i;
                        vertex(num);
                        prev_ = k;
                    }
                    break;
                case OpKind::VT:
                    k = Kw::VT;
                    for (std::uint32_t i = 0; i < op.n; ++i, num += 2) {
                        lineNo_ = op.lineNo + i;
                        texVertex(num);
                        prev_ = k;
                    }
                    break;
                case OpKind::VN:
                    k = Kw::VN;
                    for (std::uint32_t i = 0; i < op.n; ++i) {
                        lineNo_ = op.lineNo + i;
                        normal(num);
                        num += 3;
                        prev_ = k;
                    }
                    break;
                case OpKind::F:
                    k = Kw::F;
                    face(cs, op.n);
                    cs += op.n;
                    break;
                case OpKind::BadFace:
                    k = Kw::F;
                    startFaces();
                    badFace(op.part, b.text.substr(op.off, op.len));
                    break;
                case OpKind::MtlLib:
                    k = Kw::MtlLib;
                    mtllib(b.text.substr(op.off, op.len));
                    break;
                case OpKind::UseMtl:
                    k = Kw::UseMtl;
                    usemtl(b.text.substr(op.off, op.len));
                    break;
                case OpKind::Other: break;
            }
            prev_ = k;
        }
        return result_.ok();
    }

    const ReadResult& result() const { return result_; }
    // Normal values are kept: they become the corners' normals.
    static bool keepNormals() { return true; }

    void finish() {
        // The vertex run takes in the split copies too.
        Mesh& me = m_.meshAt(mesh_);
        me.num_Vertices = m_.ttlnum_Vertices - me.vtx_ndx_stt;
        me.vtx_ndx_end = me.vtx_ndx_stt + me.num_Vertices - 1;
        me.num_Faces = m_.ttlnum_Faces - me.face_ndx_stt;
        me.face_ndx_end = me.face_ndx_stt + me.num_Faces - 1;
        linkUnlinkedGroups();
        if (badFaces_ > kReportedFacesMax || (badFaces_ > 1 && ctx_.logWanted(0))) {
            ctx_.logMsg(std::to_string(badFaces_) + " faces skipped in " + path_ +
                            " (they name vertices, texture vertices or normals that do not exist)",
                        0);
        }
        if (badNormals_ > 0)
            ctx_.logMsg(std::to_string(badNormals_) + " faces in " + path_ +
                            " name normals that do not exist; their normals are computed",
                        0);
        if (badFaces_ > 0)
            ctx_.recordWarning(std::to_string(badFaces_) + (badFaces_ == 1 ? " face" : " faces") + " dropped in " + path_ +
                               " (naming vertices, texture vertices or normals that do not exist)");
        for (const auto& [line, level] : cuts_.report(path_)) {
            if (ctx_.logWanted(level)) ctx_.logMsg(line, level);
            if (level == 0) ctx_.recordWarning(line);
        }
        if (!notFound_.empty())
            ctx_.recordWarning(std::to_string(notFound_.size()) + " material name" + (notFound_.size() == 1 ? "" : "s") +
                               " in " + path_ + " not in its material libraries; their faces use material 0");
        if (!librariesMissing_.empty())
            ctx_.recordWarning(std::to_string(librariesMissing_.size()) + " material librar" +
                               (librariesMissing_.size() == 1 ? "y" : "ies") + " named in " + path_ + " not found");
        if (librariesMissing_.size() > 1) {
            ctx_.logMsg(std::to_string(librariesMissing_.size()) + " material libraries named in " + path_ +
                            " were not found",
                        0);
        }
        if (notFound_.size() > 1) {
            ctx_.logMsg(std::to_string(notFound_.size()) + " material names in " + path_ +
                            " are not in its material libraries; their faces use material 0",
                        0);
        }
        if (ctx_.logWanted(1)) {
            ctx_.logMsg("nSubMeshes=" + std::to_string(m_.nSubMeshes) +
                            "   ttlnum_Vertices=" + std::to_string(m_.ttlnum_Vertices) +
                            "   num_texverts=" + std::to_string(tex_.size()) +
                            "   num_normals=" + std::to_string(nNormals_) +
                            "   num_faces=" + std::to_string(m_.ttlnum_Faces) + "   material_fname=" + libName_ +
                            "   material_name=" + mtlName_ + "   group_name=",
                        1);
        }
    }

private:
    void status() {
        switch (prev_) {
            case Kw::V: ctx_.showStatus("V: " + std::to_string(m_.ttlnum_Vertices)); break;
            case Kw::VN: ctx_.showStatus("N: " + std::to_string(nNormals_)); break;
            case Kw::VT: ctx_.showStatus("TV: " + std::to_string(tex_.size())); break;
            default: ctx_.showStatus("L:" + std::to_string(lineNo_)); break;
        }
    }

    // Vertices, texture vertices, normals and triangles taken so far, of
    // those the count found.
    void progress() {
        if (!counts_) return;
        const std::int64_t done = static_cast<std::int64_t>(srcVtx_.size() + tex_.size()) + nNormals_ +
                                  (m_.ttlnum_Faces - firstFace_);
        ctx_.progress(done, counts_->v + counts_->vt + counts_->vn + counts_->tris);
    }

    void header(Kw k, const char* text) {
        if (prev_ != k && ctx_.logWanted(1)) ctx_.logMsg(text, 1);
    }

    void vertex(const float* c) {
        header(Kw::V, "  #####        Vertices ##### : ");
        if (m_.ttlnum_Vertices >= kInt32Max - kStoreSlack) return tooLarge();
        if (!finite(c, 3)) return notFinite();
        std::int32_t idx = -1;
        fill_.AddVertex(idx, c[0], c[1], -c[2], c[0], -c[2], c[1], 0, false);
        srcVtx_.push_back(idx);
    }

    void texVertex(const float* c) {
        header(Kw::VT, "  ##### Vertex UVs ##### : ");
        if (!finite(c, 2)) return notFinite();
        // The same texture origin as the other formats: v runs up.
        tex_.push_back(UV{c[0], flipV_ ? 1 - c[1] : c[1]});
        if (ctx_.detailWanted(static_cast<std::int32_t>(tex_.size()))) {
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + ":[" + std::to_string(tex_.size() - 1) + "] " + fmt2(c[0]) +
                                " " + fmt2(c[1]));
        }
    }

    void normal(const float* c) {
        header(Kw::VN, "  ##### Vertex Normals ##### : ");
        ++nNormals_;
        normals_.push_back(Vec3{c[0], c[1], -c[2]});  // the positions' z is turned too
        if (ctx_.detailWanted(static_cast<std::int32_t>(std::min<std::int64_t>(nNormals_, kInt32Max)))) {
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + ":[" + std::to_string(nNormals_ - 1) + "] " + fmt2(c[0]) +
                                " " + fmt2(c[1]) + " " + fmt2(c[2]));
        }
    }

    // Resolves a corner number (1-based, 0-based in files that use 0,
    // negative counting back from the last one read) to a 0-based index;
    // -1 when it names nothing read so far.
    std::int64_t resolve(std::int64_t n, std::int64_t count) const {
        std::int64_t i = n < 0 ? count + n : (zeroBased_ ? n : n - 1);
        return (i >= 0 && i < count) ? i : -1;
    }

    // A line of faces: a run of them shares one face group.
    void startFaces() {
        header(Kw::F, "  #####   Faces    ##### : ");
        if (prev_ != Kw::F) {
            ++run_;
            groupOpen_ = false;
        }
    }

    void face(const RawCorner* cs, std::uint32_t n) {
        startFaces();
        corners_.clear();
        bool textured = false, withNormals = false, badNormal = false;
        const auto nv = static_cast<std::int64_t>(srcVtx_.size());
        const auto nt = static_cast<std::int64_t>(tex_.size());
        for (std::uint32_t i = 0; i < n; ++i) {
            const RawCorner& c = cs[i];
            std::int64_t vi = resolve(c.v, nv);
            if (vi < 0) return badFace(0, std::to_string(c.v));
            std::int64_t ti = -1;
            // In a file counting from 1, number 0 means none.
            if ((c.has & kHasT) && (c.t != 0 || zeroBased_)) {
                ti = resolve(c.t, nt);
                if (ti < 0) return badFace(1, std::to_string(c.t));
                textured = true;
            }
            std::int64_t ni = -1;
            if ((c.has & kHasN) && (c.n != 0 || zeroBased_)) {
                ni = resolve(c.n, static_cast<std::int64_t>(normals_.size()));
                // The triangles are sound without it: kept, normals computed.
                if (ni < 0) badNormal = true;
                else withNormals = true;
            }
            corners_.push_back(Corner{srcVtx_[static_cast<std::size_t>(vi)], static_cast<std::int32_t>(vi),
                                      static_cast<std::int32_t>(ti), static_cast<std::int32_t>(ni)});
        }
        if (badNormal) {
            ++badNormals_;
            withNormals = false;
        }
        if (corners_.size() < 3) return;
        const std::int64_t tris = static_cast<std::int64_t>(corners_.size()) - 2;
        if (m_.ttlnum_Faces > kInt32Max - kStoreSlack - tris) return tooLarge();
        if (!groupOpen_) openGroup(textured);
        if (textured)
            for (Corner& c : corners_)
                if (c.tex >= 0) c.vtx = vertexWithUV(c);
        const std::int32_t faceBase = m_.meshAt(mesh_).face_ndx_stt;
        auto add = [&](const Corner& a, const Corner& b, const Corner& c) {
            std::int32_t global = m_.ttlnum_Faces;
            fill_.AddFace(mesh_, 0, a.vtx, b.vtx, c.vtx);
            fill_.AddFaceToGroup(mesh_, group_, textured, global - faceBase, global);
            if (withNormals) fill_.SetFaceNormals(global, normalOf(a), normalOf(b), normalOf(c));
        };
        if (corners_.size() == 3) return add(corners_[0], corners_[1], corners_[2]);
        cornerPos_.clear();
        for (const Corner& c : corners_) cornerPos_.push_back(m_.vertexAt(c.vtx).pos);
        cuts_.add(triangulatePolygon(cornerPos_, tris_, &cuts_.workLeft));
        for (const CornerTri& t : tris_)
            add(corners_[static_cast<std::size_t>(t[0])], corners_[static_cast<std::size_t>(t[1])],
                corners_[static_cast<std::size_t>(t[2])]);
    }

    // A corner without a normal gets zero: computed like the rest.
    Vec3 normalOf(const Corner& c) const {
        return c.nrm >= 0 ? normals_[static_cast<std::size_t>(c.nrm)] : Vec3{};
    }

    void openGroup(bool textured) {
        std::int32_t mtl = mtl_.currMtlID;
        bool linked = mtl >= 0 && mtl < m_.nMaterials;
        std::int32_t g = fill_.AddFaceGroup(textured, linked ? mtl : -1, 0);
        group_ = g;
        if (!linked) unlinked_.push_back(g);
        groupOpen_ = true;
        // The run's size is known from the counting pass: size its lists once.
        const auto r = static_cast<std::size_t>(run_ - 1);
        if (counts_ && r < counts_->runTris.size()) {
            FaceGroup& fg = m_.groupAt(g);
            const auto n = static_cast<std::size_t>(counts_->runTris[r]);
            fg.FgFaces.reserve(n + std::min<std::size_t>(n, 100) + 2);
            fg.FgGlblFaces.reserve(n + std::min<std::size_t>(n, 100) + 2);
        }
    }

    // The store vertex that carries this corner's position and texture
    // vertex: the source vertex itself when free or already carrying it,
    // else an earlier copy carrying it, else a new copy. Found through a
    // hash of (source vertex, texture vertex), so a vertex that faces give
    // thousands of texture vertices costs no search through its copies.
    std::int32_t vertexWithUV(const Corner& c) {
        const std::int32_t uvId = c.tex + (zeroBased_ ? 0 : 1);
        const std::uint64_t key = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(c.src)) << 32) |
                                  static_cast<std::uint32_t>(uvId);
        const std::int32_t first = srcVtx_[static_cast<std::size_t>(c.src)];
        // A vertex keeps the texture vertex it took first: only copies need the hash.
        if (m_.vertexAt(first).uv_id == uvId) return first;
        if (auto it = carrying_.find(key); it != carrying_.end()) return it->second;
        const UV uv = tex_[static_cast<std::size_t>(c.tex)];
        const bool free = m_.vertexAt(first).uv_id == -1;
        const std::int32_t v = fill_.SetVertexUV(0, first, uvId, uv);
        if (!free) carrying_.emplace(key, v);
        if (!free && ctx_.detailWanted(fill_.cursor().meshVtxCount)) {
            const Vec3& p = m_.vertexAt(v).pos;
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + "AddVtx[" + std::to_string(v) + "] " + fmt2(p.x) +
                                  " " + fmt2(p.y) + " " + fmt2(p.z));
        }
        return v;
    }

    void badFace(int part, std::string_view number) {
        static const char* const what[] = {"vertex", "texture vertex", "normal"};
        const std::int64_t count = part == 0   ? static_cast<std::int64_t>(srcVtx_.size())
                                   : part == 1 ? static_cast<std::int64_t>(tex_.size())
                                               : nNormals_;
        ++badFaces_;
        if (badFaces_ > kReportedFacesMax) return;
        std::string text = path_ + " line " + std::to_string(lineNo_) + ": face skipped, " + what[part] + " number \"" +
                           std::string(number) + "\" names none of the " + std::to_string(count) + " read so far";
        if (badFaces_ == 1)
            ctx_.msgBox(text, Buttons::Ok);
        else
            ctx_.logMsg(text, 0);
    }

    void tooLarge() {
        fail(path_ + " line " + std::to_string(lineNo_) + ": too large to read (more than " +
                 std::to_string(kInt32Max) + " vertices or faces)",
             lineNo_);
    }

    static bool finite(const float* c, int n) {
        for (int i = 0; i < n; ++i)
            if (!std::isfinite(c[i])) return false;
        return true;
    }
    void notFinite() {
        fail(path_ + " line " + std::to_string(lineNo_) + ": a number that is not finite (or beyond a float's range)",
             lineNo_);
    }

    // Gives the read up; the driver shows the message.
    void fail(const std::string& message, long line) {
        result_ = ReadResult::failed(message, path_, line);
    }

    // The user gave the file up at a question.
    void cancel() {
        result_ = ReadResult::cancelled();
    }

    void mtllib(std::string_view names) {
        libName_ = std::string(names);
        // Libraries sit beside the object file; a bare file name is in the
        // current folder.
        std::string folder = folderOf(path_);
        if (folder.empty()) folder = env_.currentFolder;
        if (!findLibrary(folder, names).empty() || names.find_first_of(" \t") == std::string_view::npos) {
            loadLibrary(folder, names);
            return;
        }
        // Several libraries on one line.
        Fields fl(names);
        std::string_view one;
        while (result_.ok() && fl.next(one)) loadLibrary(folder, one);
    }

    // Only inside the model's folder (see companionPath): a name that points
    // elsewhere is looked for there by its file name.
    static std::string findLibrary(const std::string& folder, std::string_view name) {
        const std::string inside = companionPath(folder, name);
        if (!inside.empty() && fileExists(inside)) return inside;
        // Exporters often write the author's own folder; the library usually
        // sits beside the object file.
        const std::string beside = companionPath(folder, companionFileName(name));
        if (beside != inside && !beside.empty() && fileExists(beside)) return beside;
        return {};
    }

    bool loadLibrary(const std::string& folder, std::string_view name) {
        const std::string found = findLibrary(folder, name);
        // Each library is read once: an object file that repeats its mtllib
        // line must not make the read cost the library's size times the
        // repeats.
        std::string key;
        if (!found.empty()) {
            std::error_code ec;
            key = std::filesystem::weakly_canonical(found, ec).string();
            if (ec) key = found;
            if (librariesRead_.count(key)) {
                if (ctx_.logWanted(1)) ctx_.logMsg("Material library already read: " + found, 1);
                return true;
            }
        }
        // Materials are a few lines each; a library of hundreds of megabytes
        // is no library (a sparse file of gigabytes would be read whole).
        constexpr long long kMaxLibraryBytes = 256ll << 20;
        if (!found.empty() && fileSize(found) > kMaxLibraryBytes) {
            ctx_.logMsg("Material file " + found + " is larger than 256 MB; its materials are left out", 0);
            return false;
        }
        std::string text, err;
        if (found.empty() || !readWholeFile(found, text, err)) {
            std::string shown = companionPath(folder, name);
            if (shown.empty()) shown = folder + std::string(name);
            // As with material names: the first missing library asks, a few
            // more are logged, the rest counted.
            if (!librariesMissing_.insert(shown).second) return false;
            const std::string message = "Cannot find material file: (" + shown + ")";
            if (librariesMissing_.size() == 1) {
                if (ctx_.msgBox(message, Buttons::OkCancel, Answer::Ok) == Answer::Cancel) cancel();
            } else if (librariesMissing_.size() <= kListedNamesMax) {
                ctx_.logMsg(message, 0);
            }
            return false;
        }
        librariesRead_.insert(key);
        readMtlLibrary(env_, text, found, mtl_);
        return true;
    }

    void usemtl(std::string_view name) {
        if (ctx_.logWanted(1)) ctx_.logMsg("  #####   Use Material ##### : " + std::string(name), 1);
        mtlName_ = std::string(name);
        std::string low = toLowerAscii(name);
        std::int32_t id = materialNamed(low);
        if (id < 0 && (low.find("default") != std::string::npos || low == "off")) {
            // Files without a library often still name a default material:
            // that is the synthesised one.
            if (mtl_.dfltMtlID < 0 && m_.nMaterials == 0) readMtlLibrary(env_, "", path_, mtl_);
            id = mtl_.dfltMtlID;
        }
        if (id < 0) {
            // The first unknown name asks whether to go on; once the user
            // has said yes, further names are only logged, a few by name and
            // the rest as a count at the end.
            if (notFound_.insert(std::move(low)).second) {
                const std::string text = "Material not found (" + std::string(name) + ")";
                if (notFound_.size() == 1) {
                    if (ctx_.msgBox(text, Buttons::OkCancel, Answer::Ok) == Answer::Cancel) {
                        cancel();
                        return;
                    }
                } else if (notFound_.size() <= kListedNamesMax) {
                    ctx_.logMsg(text, 0);
                }
            }
            id = 0;
        }
        mtl_.currMtlID = id;
    }

    // The last material of the store with this lower-case name, -1 when
    // none. Materials are only ever appended while reading, so the index
    // takes in the new ones as they come.
    std::int32_t materialNamed(const std::string& low) {
        for (; indexed_ < m_.nMaterials; ++indexed_)
            byName_[toLowerAscii(m_.materialAt(indexed_).name)] = indexed_;
        auto it = byName_.find(low);
        return it == byName_.end() ? -1 : it->second;
    }

    // Face groups opened without an existing material take material 0, or
    // the synthesised "Default" when the model has no material at all, so
    // no group points at a material that is not there.
    void linkUnlinkedGroups() {
        if (unlinked_.empty()) return;
        if (m_.nMaterials == 0) {
            std::int32_t keep = mtl_.currMtlID;
            readMtlLibrary(env_, "", path_, mtl_);
            mtl_.currMtlID = keep;
        }
        for (std::int32_t g : unlinked_) m_.SetFaceGroupMaterial(g, 0);
    }

    ReadEnv& env_;
    Diagnostics& ctx_;
    ModelStore& m_;
    StoreFill fill_;
    const std::string& path_;
    const bool flipV_;
    const ObjCounts* counts_ = nullptr;
    std::int16_t mesh_ = 0;
    std::int32_t firstFace_ = 0;
    bool zeroBased_ = false;
    long lineNo_ = 0;
    Kw prev_ = Kw::None;
    std::int64_t nNormals_ = 0;  // vn lines read
    std::int64_t run_ = 0;
    bool groupOpen_ = false;
    std::int64_t badFaces_ = 0;
    std::int64_t badNormals_ = 0;
    std::vector<Vec3> normals_;  // vn lines, in the store's axes before the axis-switch settings
    MtlState mtl_;
    std::int32_t group_ = 0;  // the face group faces go to
    std::vector<std::int32_t> srcVtx_;   // store index of each source vertex
    std::vector<UV> tex_;
    std::unordered_map<std::uint64_t, std::int32_t> carrying_;  // (source vertex, uv_id) -> store vertex
    std::vector<Corner> corners_;        // reused by every face line
    std::vector<Vec3> cornerPos_;        // their positions, for faces of more than three corners
    std::vector<CornerTri> tris_;
    PolygonCutTally cuts_;
    std::vector<std::int32_t> unlinked_;
    std::unordered_set<std::string> notFound_;    // lower-case usemtl names the store lacks
    std::unordered_map<std::string, std::int32_t> byName_;  // lower-case material name -> last index
    std::int32_t indexed_ = 0;                    // materials taken into byName_
    std::unordered_set<std::string> librariesRead_;
    std::unordered_set<std::string> librariesMissing_;
    std::string libName_, mtlName_;
    ReadResult result_;
};

ReadResult outOfMemory(const std::string& path) {
    std::string message = "Not enough memory to read " + path;
    return ReadResult::failed(message, path);
}

// A failure before reading began.
ReadResult cannotRead(const std::string& message, const std::string& path) {
    return ReadResult::failed(message, path);
}

bool canOpen(const std::string& path) {
    std::FILE* f = openFile(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace

ReadResult LoadObjText(ReadEnv& env, std::string_view text, const std::string& path) {
    try {
        std::string wide;
        if (utf16Mark(text) != Utf16Mark::None) text = wide = utf16ToUtf8(text);
        text = stripUtf8Bom(text);
        const char eol = eolOf(text);
        const ObjCounts counts = countObj(text, eol);
        ObjReader r(env, path);
        if (r.prepare(counts)) {
            tokeniseBlocks(text, eol, r.keepNormals(), [&r](const TokBlock& b) { return r.replay(b); });
            r.finish();
        }
        return r.result();
    } catch (const std::bad_alloc&) {
        return outOfMemory(path);
    } catch (const std::length_error&) {
        return outOfMemory(path);
    }
}

ReadResult LoadObj(ReadEnv& env, const std::string& path) {
    if (!fileExists(path)) return cannotRead("Can't find: " + path, path);
    if (!canOpen(path)) return cannotRead("Cannot read " + path + ": " + std::strerror(errno), path);
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) return cannotRead("Cannot read " + path + ": " + err, path);
    return LoadObjText(env, bytes, path);
}

}  // namespace molv
