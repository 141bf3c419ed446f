// Anim8or reader.
//
// The file is a tree of chunks: a name, then the chunk's contents in braces;
// strings in double quotes (a backslash escapes a quote or a backslash),
// points and face corners in parentheses, C block comments. Each chunk is
// known by its path, the names from the outside in joined with "__"
// ("material__surface__diffuse__rgb"); chunks not in the table are passed
// over whole. An object's chunks are read as if they stood at the top, so a
// mesh inside an object has the path "mesh".
//
// The counts of a mesh come from the comment line our Anim8or writer puts
// into it ("/* 12 points, 10 faces, 24 uvCoords */"): the tokenizer turns
// that line into a chunk "PtFcUVinfo { 12 points 10 faces 24 uvCoords */ }".
// A mesh without it is refused.
//
// Every object becomes one store mesh; each Anim8or mesh in it adds its
// points as a run of store vertices (its faces number points from the start
// of that run) and its own face groups, one per local material number.
// Faces of more than three corners are fanned from the first corner.
#include "formats/an8_reader.h"

#include <cstdint>
#include <limits>
#include <map>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/store.h"
#include "model/store_fill.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Chunks nested deeper than this are passed over without being looked into.
constexpr int kMaxDepth = 64;
// Bad faces shown one by one (the first in a box); the rest are counted.
constexpr int kReportedFacesMax = 10;
// Room the store keeps above its counters.
constexpr std::int64_t kStoreSlack = 2002;

enum class Tok { End, Word, String, LBrace, RBrace, LParen, RParen };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    std::int64_t line = 0;
};

// Tokens of an Anim8or text, line by line.
class An8Tokens {
public:
    explicit An8Tokens(std::string_view text) : lines_(text) {}

    // The next token (kind End at the end of the text). False when a
    // string runs past the end of its line; error() says where.
    bool next(Token& t) {
        for (;;) {
            while (pos_ < line_.size() && static_cast<unsigned char>(line_[pos_]) <= ' ') ++pos_;
            if (pos_ >= line_.size()) {
                if (!nextLine()) {
                    t.kind = Tok::End;
                    t.text.clear();
                    t.line = lineNo_;
                    return true;
                }
                continue;
            }
            if (line_[pos_] == '/' && pos_ + 1 < line_.size() && line_[pos_ + 1] == '*') {
                pos_ += 2;
                skipComment();
                continue;
            }
            break;
        }
        t.line = lineNo_;
        t.text.clear();
        const char c = line_[pos_];
        switch (c) {
            case '{': return single(t, Tok::LBrace);
            case '}': return single(t, Tok::RBrace);
            case '(': return single(t, Tok::LParen);
            case ')': return single(t, Tok::RParen);
            case '"': return string(t);
            default: break;
        }
        std::size_t e = pos_;
        while (e < line_.size() && static_cast<unsigned char>(line_[e]) > ' ' && !isDelimiter(line_[e])) ++e;
        t.kind = Tok::Word;
        t.text.assign(line_.substr(pos_, e - pos_));
        pos_ = e;
        return true;
    }

    const std::string& error() const { return error_; }

private:
    static bool isDelimiter(char c) { return c == '{' || c == '}' || c == '(' || c == ')' || c == '"'; }

    bool single(Token& t, Tok k) {
        t.kind = k;
        t.text.assign(1, line_[pos_]);
        ++pos_;
        return true;
    }

    bool string(Token& t) {
        t.kind = Tok::String;
        std::size_t i = pos_ + 1;
        for (; i < line_.size() && line_[i] != '"'; ++i) {
            if (line_[i] == '\\' && i + 1 < line_.size() && (line_[i + 1] == '"' || line_[i + 1] == '\\')) ++i;
            t.text.push_back(line_[i]);
        }
        if (i >= line_.size()) {
            error_ = "a string is not closed before the end of its line";
            return false;
        }
        pos_ = i + 1;
        return true;
    }

    // Inside a block comment: on to the character after its end.
    void skipComment() {
        for (;;) {
            const std::size_t end = line_.find("*/", pos_);
            if (end != std::string_view::npos) {
                pos_ = end + 2;
                return;
            }
            if (!lines_.next(line_)) {
                line_ = {};
                pos_ = 0;
                return;
            }
            ++lineNo_;
            pos_ = 0;
        }
    }

    bool nextLine() {
        std::string_view raw;
        if (!lines_.next(raw)) return false;
        ++lineNo_;
        pos_ = 0;
        const std::string_view l = trimView(raw, " \t\r");
        // The writer's counts comment becomes a chunk of its own.
        if (startsWith(l, "/*") && l.find("uvCoords") != std::string_view::npos) {
            counts_ = "PtFcUVinfo {";
            for (char c : l.substr(2))
                if (c != ',') counts_.push_back(c);
            counts_ += " }";
            line_ = counts_;
        } else {
            line_ = l;
        }
        return true;
    }

    LineCursor lines_;
    std::string_view line_;
    std::string counts_;  // the rewritten counts line, when line_ shows it
    std::size_t pos_ = 0;
    std::int64_t lineNo_ = 0;
    std::string error_;
};

// Per Anim8or mesh.
struct MeshState {
    bool haveCounts = false;
    std::int64_t nPoints = 0, nFaces = 0, nUVs = 0;  // from the counts line
    std::int32_t base = 0;                             // store vertex of point 0
    std::int32_t points = 0;                           // points read
    std::vector<UV> uvs;
    std::vector<std::int32_t> texOf;  // per point: the texture coordinate it carries, -1 none yet
    std::unordered_map<std::uint64_t, std::int32_t> copies;  // (point, texture coordinate) -> store vertex
    std::vector<std::int32_t> matList;                       // local material number -> store material
    std::map<std::int64_t, std::int32_t> groups;             // local material number -> face group
};

class An8Reader {
public:
    An8Reader(ReadEnv& env, std::string_view text, const std::string& path)
        : env_(env), diag_(env.diag), m_(env.model), fill_(env), path_(path), toks_(text) {}

    ReadResult run() {
        m_.num_Normals = m_.nSubMeshes = 0;
        Token t;
        while (ok() && next(t) && t.kind != Tok::End) {
            if (t.kind == Tok::RBrace) {
                fail(t.line, "Bad }: a closing brace without its opening one");
                break;
            }
            if (t.kind == Tok::Word && peekIs(Tok::LBrace)) chunk(t, "", 0);
            // A stray value between chunks is passed over.
        }
        if (ok()) finish();
        diag_.logMsg("DONE", 0);
        return result_;
    }

private:
    bool ok() const { return result_.ok(); }

    void fail(std::int64_t line, const std::string& text) {
        if (!ok()) return;
        result_ = ReadResult::failed(path_ + " line " + std::to_string(line) + ": " + text, path_, line);
    }

    std::string at(std::int64_t line) const {
        return "\r\n(at line " + std::to_string(line) + " in " + path_ + ")";
    }

    bool next(Token& t) {
        if (havePeek_) {
            std::swap(t, peek_);
            havePeek_ = false;
        } else if (!toks_.next(t)) {
            fail(t.line, toks_.error());
            t.kind = Tok::End;
            return false;
        }
        if (t.line != statusLine_ && diag_.statusDue()) {
            statusLine_ = t.line;
            diag_.showStatus("L:" + std::to_string(t.line));
        }
        return true;
    }

    bool peekIs(Tok k) {
        if (!havePeek_) {
            if (!toks_.next(peek_)) {
                fail(peek_.line, toks_.error());
                return false;
            }
            havePeek_ = true;
        }
        return peek_.kind == k;
    }

    // The text ended inside the chunks still open.
    void truncated(std::int64_t line) {
        std::string what = "the file ends";
        if (!open_.empty())
            what += " before chunk " + open_.back().first + " (opened at line " + std::to_string(open_.back().second) +
                    ") is closed";
        fail(line, what);
    }

    // Reads the chunks inside one chunk, up to and including its closing brace.
    void chunks(const std::string& parent, int depth) {
        Token t;
        while (ok() && next(t)) {
            if (t.kind == Tok::End) return truncated(t.line);
            if (t.kind == Tok::RBrace) return;
            if (t.kind == Tok::LBrace) {
                skipBody(t.line);
            } else if (t.kind == Tok::Word && peekIs(Tok::LBrace)) {
                chunk(t, parent, depth);
            }
        }
    }

    // Passes over the rest of a chunk whose opening brace was read.
    void skipBody(std::int64_t openLine) {
        std::int64_t depth = 1;
        Token t;
        while (ok() && depth > 0 && next(t)) {
            if (t.kind == Tok::End) {
                if (open_.empty()) open_.emplace_back("{", openLine);
                return truncated(t.line);
            }
            if (t.kind == Tok::LBrace) ++depth;
            if (t.kind == Tok::RBrace) --depth;
        }
    }

    // The plain values of a chunk, up to its closing brace (nested chunks
    // are passed over). At most `keep` are kept.
    bool values(std::vector<Token>& out, std::size_t keep) {
        out.clear();
        Token t;
        while (ok() && next(t)) {
            switch (t.kind) {
                case Tok::End: truncated(t.line); return false;
                case Tok::RBrace: return true;
                case Tok::LBrace: skipBody(t.line); break;
                case Tok::LParen:
                case Tok::RParen: break;
                default:
                    if (out.size() < keep) out.push_back(t);
            }
        }
        return false;
    }

    std::string firstValue() {
        std::vector<Token> v;
        if (!values(v, 1) || v.empty()) return {};
        return v[0].text;
    }

    // A chunk whose name (t) and opening brace (peeked) follow.
    void chunk(const Token& name, const std::string& parent, int depth) {
        Token brace;
        next(brace);
        if (depth > kMaxDepth) return skipBody(brace.line);
        const std::string path = parent.empty() ? toLowerAscii(name.text) : parent + "__" + toLowerAscii(name.text);
        if (env_.extraLog) diag_.logMsg(std::to_string(name.line) + ": " + path, 1);
        open_.emplace_back(name.text, name.line);
        dispatch(path, name.line, depth);
        if (ok()) open_.pop_back();
    }

    void dispatch(const std::string& path, std::int64_t line, int depth) {
        std::vector<Token> v;
        if (path == "texture") {
            textureName_ = leadingString();
            chunks("texture", depth + 1);
        } else if (path == "texture__file") {
            // Anim8or stores the full path of the artist's machine; like the
            // other readers, only a name inside the model's folder is kept whole.
            std::string file = firstValue();
            if (!staysInside(file)) file = std::string(companionFileName(file));
            if (!textureName_.empty()) textureFiles_[textureName_] = file;
        } else if (path == "object") {
            object(leadingString(), line);
            if (ok()) chunks("", depth + 1);
        } else if (path == "material") {
            const std::string name = leadingString();
            mtl_ = fill_.AddMaterial(name);
            if (env_.extraLog) diag_.logMsg("MateriaName (" + name + ")", 0);
            chunks("material", depth + 1);
        } else if (path == "material__surface" || path == "material__surface__ambiant" ||
                   path == "material__surface__diffuse" || path == "material__surface__specular") {
            chunks(path, depth + 1);
        } else if (path == "material__surface__ambiant__rgb" || path == "material__surface__diffuse__rgb" ||
                   path == "material__surface__specular__rgb") {
            if (!values(v, 3)) return;
            if (Material* mt = material()) {
                const std::string_view which = std::string_view(path).substr(std::string_view("material__surface__").size());
                Colour& c = startsWith(which, "ambiant") ? mt->ambient : startsWith(which, "diffuse") ? mt->diffuse : mt->specular;
                std::uint8_t* b[3] = {&c.r, &c.g, &c.b};
                for (std::size_t i = 0; i < 3; ++i) *b[i] = colourByte(i < v.size() ? v[i].text : "");
            }
        } else if (path == "material__surface__diffuse__texturename") {
            const std::string name = firstValue();
            if (Material* mt = material()) {
                // The texture chunk gives the file; a name without one is kept as it stands.
                auto f = textureFiles_.find(name);
                mt->maps.resize(static_cast<std::size_t>(mt->nMaps));
                mt->maps.push_back(f != textureFiles_.end() ? f->second : name);
                mt->nMaps += 1;
            }
        } else if (path == "material__surface__phongsize") {
            const std::string value = firstValue();
            if (Material* mt = material()) mt->shininess = static_cast<float>(numOrZero(value));
        } else if (path == "mesh") {
            startMesh();
            chunks("mesh", depth + 1);
            if (ok()) endMesh();
        } else if (path == "mesh__name") {
            const std::string name = firstValue();
            if (const std::int32_t mesh = fill_.cursor().MeshNdx; m_.validMesh(mesh))
                m_.meshAt(mesh).name = name;
        } else if (path == "mesh__ptfcuvinfo") {
            counts(line);
        } else if (path == "mesh__materiallist") {
            mesh_.matList.clear();
            chunks(path, depth + 1);
        } else if (path == "mesh__materiallist__materialname") {
            materialName(line);
        } else if (path == "mesh__points") {
            points(line);
            if (diag_.logWanted(1)) diag_.logMsg("submesh_num_vertices=" + std::to_string(mesh_.points), 1);
        } else if (path == "mesh__texcoords") {
            texCoords(line);
            if (diag_.logWanted(1)) diag_.logMsg("submesh_num_text_vertices=" + std::to_string(mesh_.uvs.size()), 1);
        } else if (path == "mesh__faces") {
            const std::int32_t before = m_.ttlnum_Faces;
            faces();
            if (diag_.logWanted(1))
                diag_.logMsg("submesh_num_faces=" + std::to_string(m_.ttlnum_Faces - before), 1);
        } else {
            skipBody(line);
        }
    }

    // A chunk's name string, when it starts with one.
    std::string leadingString() {
        if (!peekIs(Tok::String)) return {};
        Token t;
        next(t);
        return t.text;
    }

    Material* material() {
        if (mtl_ < 0 || mtl_ >= m_.nMaterials) return nullptr;
        return &m_.materialAt(mtl_);
    }

    static std::uint8_t colourByte(std::string_view text) {
        const std::int32_t v = roundToInt32(numOrZero(text));
        return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }

    void object(const std::string& name, std::int64_t line) {
        if (fill_.dssAddMesh(name, 0) < 0) fail(line, "too many objects");
    }

    void startMesh() {
        m_.nSubMeshes += 1;
        // A mesh outside any object gets a store mesh of its own.
        if (m_.meshCount == 0) fill_.dssAddMesh(env_.modelName.empty() ? "An8_Object" : env_.modelName, 0);
        mesh_ = MeshState{};
        mesh_.base = m_.ttlnum_Vertices;
    }

    void endMesh() {
        if (mesh_.haveCounts && mesh_.nFaces != facesThisMesh_ && diag_.logWanted(1))
            diag_.logMsg("mesh " + std::to_string(m_.nSubMeshes) + ": " + std::to_string(facesThisMesh_) +
                             " faces read, its counts line says " + std::to_string(mesh_.nFaces),
                         1);
        facesThisMesh_ = 0;
    }

    bool wholeNumber(const Token& t, std::int64_t lo, std::int64_t hi, std::int64_t& out, const char* what) {
        const auto v = t.kind == Tok::Word ? parseWholeNumber(t.text, lo, hi) : std::nullopt;
        if (!v) {
            fail(t.line, std::string(what) + " \"" + t.text + "\" is not a whole number from " + std::to_string(lo) +
                             " to " + std::to_string(hi));
            return false;
        }
        out = *v;
        return true;
    }

    bool coordinate(const Token& t, float& out) {
        const auto v = parseNumber(t.text);
        if (t.kind != Tok::Word || !v || !roundsToFiniteFloat(*v)) {
            fail(t.line, "\"" + t.text + "\" is not a coordinate");
            return false;
        }
        out = static_cast<float>(*v);
        return true;
    }

    void counts(std::int64_t line) {
        std::vector<Token> v;
        if (!values(v, 7)) return;
        if (v.size() < 5) return fail(line, "the points, faces and uvCoords counts line is incomplete");
        std::int64_t n[3];
        for (int i = 0; i < 3; ++i)
            if (!wholeNumber(v[static_cast<std::size_t>(2 * i)], 0, kInt32Max, n[i], "count")) return;
        mesh_.nPoints = n[0];
        mesh_.nFaces = n[1];
        mesh_.nUVs = n[2];
        mesh_.haveCounts = true;
    }

    void materialName(std::int64_t line) {
        const std::string name = firstValue();
        if (!ok()) return;
        std::int32_t found = -1;
        for (std::int32_t i = 0; i < m_.nMaterials && found < 0; ++i)
            if (m_.materialAt(i).name == name) found = i;
        if (found < 0) {
            diag_.msgBox("Material (" + name + ") not found" + at(line));
            found = 0;
        }
        mesh_.matList.push_back(found);
    }

    // "( x y z )" after its opening parenthesis.
    bool point(float* out, std::size_t n) {
        Token t;
        for (std::size_t i = 0; i < n; ++i) {
            if (!next(t)) return false;
            if (t.kind == Tok::End) {
                truncated(t.line);
                return false;
            }
            if (!coordinate(t, out[i])) return false;
        }
        if (!next(t)) return false;
        if (t.kind != Tok::RParen) {
            if (t.kind == Tok::End) truncated(t.line);
            else fail(t.line, "\"" + t.text + "\" where the closing parenthesis of a point belongs");
            return false;
        }
        return true;
    }

    // The entries of a points or texcoords chunk, n numbers each.
    template <class F>
    void entries(std::size_t n, const char* what, F&& take) {
        Token t;
        float c[3] = {0, 0, 0};
        while (ok() && next(t)) {
            if (t.kind == Tok::RBrace) return;
            if (t.kind == Tok::End) return truncated(t.line);
            if (t.kind != Tok::LParen) return fail(t.line, "\"" + t.text + "\" in the " + what + " list");
            if (!point(c, n)) return;
            take(c);
        }
    }

    void points(std::int64_t line) {
        if (!mesh_.haveCounts || mesh_.nPoints == 0) {
            fail(line, "Error, submesh_num_vertices = 0, probably no /* points/faces/UVcoords */ line");
            return;
        }
        std::vector<Vec3> pts;
        pts.reserve(static_cast<std::size_t>(std::min<std::int64_t>(mesh_.nPoints, 1 << 20)));
        entries(3, "points", [&](const float* c) { pts.push_back(Vec3{c[0], c[1], -c[2]}); });
        if (!ok()) return;
        if (static_cast<std::int64_t>(pts.size()) > kInt32Max - kStoreSlack - m_.ttlnum_Vertices)
            return fail(line, "too many points");
        if (static_cast<std::int64_t>(pts.size()) != mesh_.nPoints && diag_.logWanted(0))
            diag_.logMsg(path_ + " line " + std::to_string(line) + ": the points list holds " +
                             std::to_string(pts.size()) + " points, the counts line says " +
                             std::to_string(mesh_.nPoints),
                         0);
        const auto n = static_cast<std::int32_t>(pts.size());
        const std::int32_t first = fill_.AddMeshVertices(fill_.cursor().MeshNdx, n);
        for (std::int32_t i = 0; i < n; ++i) {
            Vertex& vx = m_.vertexAt(first + i);
            vx.pos = pts[static_cast<std::size_t>(i)];
            vx.uv_id = -1;
            vx.UVs.clear();
            vx.UVs.resize(1);
        }
        mesh_.base = first;
        mesh_.points = n;
        mesh_.texOf.assign(static_cast<std::size_t>(n), -1);
        mesh_.copies.clear();
    }

    void texCoords(std::int64_t line) {
        if (!mesh_.haveCounts || mesh_.nUVs == 0) return fail(line, "Error, submesh_num_text_vertices  = 0");
        mesh_.uvs.clear();
        entries(2, "texcoords", [&](const float* c) { mesh_.uvs.push_back(UV{c[0], c[1]}); });
    }

    bool faceNumber(std::int64_t& out, std::int64_t lo, const char* what) {
        Token t;
        if (!next(t)) return false;
        if (t.kind == Tok::End) {
            truncated(t.line);
            return false;
        }
        return wholeNumber(t, lo, kInt32Max, out, what);
    }

    void faces() {
        Token t;
        std::vector<std::int64_t> tuple;
        while (ok() && next(t)) {
            if (t.kind == Tok::RBrace) return;
            if (t.kind == Tok::End) return truncated(t.line);
            const std::int64_t line = t.line;
            std::int64_t n = 0, flags = 0, mat = 0, flat = 0;
            if (!wholeNumber(t, 0, kInt32Max, n, "corner count") || !faceNumber(flags, 0, "face flags") ||
                !faceNumber(mat, -kInt32Max, "material number") || !faceNumber(flat, -kInt32Max, "normal number"))
                return;
            const bool hasTex = (flags & 4) != 0, hasNormal = (flags & 2) != 0;
            const std::size_t width = 1 + (hasTex ? 1 : 0) + (hasNormal ? 1 : 0);
            if (!next(t)) return;
            if (t.kind != Tok::LParen) return fail(t.line, "\"" + t.text + "\" where a face's corner list belongs");
            corners_.clear();
            for (;;) {
                if (!next(t)) return;
                if (t.kind == Tok::RParen) break;
                if (t.kind == Tok::End) return truncated(t.line);
                if (t.kind != Tok::LParen) return fail(t.line, "\"" + t.text + "\" where a face corner belongs");
                tuple.clear();
                for (;;) {
                    if (!next(t)) return;
                    if (t.kind == Tok::RParen) break;
                    if (t.kind == Tok::End) return truncated(t.line);
                    std::int64_t v = 0;
                    if (!wholeNumber(t, -kInt32Max, kInt32Max, v, "corner number")) return;
                    if (tuple.size() == width)
                        return fail(t.line, "a corner with more numbers than the face's flags " +
                                                std::to_string(flags) + " give");
                    tuple.push_back(v);
                }
                if (tuple.size() != width)
                    return fail(t.line, "a corner with fewer numbers than the face's flags " + std::to_string(flags) +
                                            " give");
                corners_.push_back(Corner{tuple[0], hasTex ? tuple[1] : -1});
            }
            face(line, mat, hasTex);
        }
    }

    struct Corner {
        std::int64_t point, tex;
    };

    void badFace(std::int64_t line, const std::string& why) {
        ++badFaces_;
        if (badFaces_ > kReportedFacesMax) return;
        const std::string text = path_ + " line " + std::to_string(line) + ": face skipped, " + why;
        if (badFaces_ == 1)
            diag_.msgBox(text);
        else
            diag_.logMsg(text, 0);
    }

    void face(std::int64_t line, std::int64_t mat, bool textured) {
        if (corners_.size() < 3) return badFace(line, "it has fewer than three corners");
        for (const Corner& c : corners_) {
            if (c.point < 0 || c.point >= mesh_.points)
                return badFace(line, "point number " + std::to_string(c.point) + " names none of the " +
                                         std::to_string(mesh_.points) + " points of its mesh");
            if (textured && (c.tex < 0 || c.tex >= static_cast<std::int64_t>(mesh_.uvs.size())))
                return badFace(line, "texture coordinate number " + std::to_string(c.tex) + " names none of the " +
                                         std::to_string(mesh_.uvs.size()) + " of its mesh");
        }
        if (static_cast<std::int64_t>(m_.ttlnum_Faces) + static_cast<std::int64_t>(corners_.size()) >
            kInt32Max - kStoreSlack)
            return fail(line, "too many faces");
        const std::int32_t group = groupFor(line, mat, textured);
        vtx_.clear();
        for (const Corner& c : corners_) vtx_.push_back(textured ? vertexWithUV(c) : mesh_.base + static_cast<std::int32_t>(c.point));
        for (std::size_t k = 0; k + 2 < vtx_.size(); ++k) {
            const std::int32_t global = m_.ttlnum_Faces;
            const std::int32_t mesh = fill_.cursor().MeshNdx;
            fill_.AddFace(mesh, 0, vtx_[0], vtx_[k + 1], vtx_[k + 2]);
            // Read after AddFace: the mesh's first face sets the start of its run.
            const std::int32_t stt = m_.meshAt(mesh).face_ndx_stt;
            fill_.AddFaceToGroup(mesh, group, textured, global - stt, global);
            ++facesThisMesh_;
        }
    }

    // The face group of a local material number in this mesh.
    std::int32_t groupFor(std::int64_t line, std::int64_t mat, bool textured) {
        auto g = mesh_.groups.find(mat);
        if (g != mesh_.groups.end()) return g->second;
        std::int32_t material = 0;
        if (mat >= 0 && mat < static_cast<std::int64_t>(mesh_.matList.size())) {
            material = mesh_.matList[static_cast<std::size_t>(mat)];
        } else {
            diag_.msgBox("Bad Local MatlNum: " + std::to_string(mat) + "( max=" +
                         std::to_string(static_cast<std::int64_t>(mesh_.matList.size()) - 1) + ")" + at(line));
        }
        const std::int32_t group = fill_.AddFaceGroup(textured, material < m_.nMaterials ? material : -1, 0);
        mesh_.groups.emplace(mat, group);
        return group;
    }

    // The store vertex carrying this point with this texture coordinate:
    // the point itself while it carries none or the same one, else a copy.
    std::int32_t vertexWithUV(const Corner& c) {
        const auto p = static_cast<std::size_t>(c.point);
        const auto t = static_cast<std::int32_t>(c.tex);
        const std::int32_t v = mesh_.base + static_cast<std::int32_t>(c.point);
        const UV uv = mesh_.uvs[static_cast<std::size_t>(c.tex)];
        if (mesh_.texOf[p] == -1) {
            mesh_.texOf[p] = t;
            setUV(v, uv);
            return v;
        }
        if (mesh_.texOf[p] == t) return v;
        const std::uint64_t key = (static_cast<std::uint64_t>(p) << 32) | static_cast<std::uint32_t>(t);
        auto found = mesh_.copies.find(key);
        if (found != mesh_.copies.end()) return found->second;
        const std::int32_t copy = m_.ttlnum_Vertices;
        m_.growVertices(static_cast<std::size_t>(copy) + 2);
        m_.copyVertex(copy, v);
        m_.ttlnum_Vertices += 1;
        Mesh& me = m_.meshAt(fill_.cursor().MeshNdx);
        me.num_Vertices += 1;
        me.vtx_ndx_end = me.vtx_ndx_stt + me.num_Vertices - 1;
        setUV(copy, uv);
        mesh_.copies.emplace(key, copy);
        return copy;
    }

    // Our writer stores v flipped (1 - v); so does Anim8or's convention.
    void setUV(std::int32_t v, UV uv) {
        Vertex& vx = m_.vertexAt(v);
        vx.UVs.clear();
        vx.UVs.resize(1);
        vx.UVs[0] = UV{uv.u, 1.0f - uv.v};
        vx.num_UVs = 1;
    }

    void finish() {
        if (badFaces_ > kReportedFacesMax || (badFaces_ > 1 && diag_.logWanted(0)))
            diag_.logMsg(std::to_string(badFaces_) + " faces skipped in " + path_ +
                             " (they name points or texture coordinates that do not exist)",
                         0);
    }

    ReadEnv& env_;
    Diagnostics& diag_;
    ModelStore& m_;
    StoreFill fill_;
    const std::string& path_;
    An8Tokens toks_;
    Token peek_;
    bool havePeek_ = false;
    std::int64_t statusLine_ = 0;
    ReadResult result_;
    std::vector<std::pair<std::string, std::int64_t>> open_;  // chunks open: name, line
    std::string textureName_;
    std::map<std::string, std::string> textureFiles_;  // texture name -> file
    std::int32_t mtl_ = -1;                            // material being read
    MeshState mesh_;
    std::int64_t facesThisMesh_ = 0;
    std::int64_t badFaces_ = 0;
    std::vector<Corner> corners_;
    std::vector<std::int32_t> vtx_;
};

}  // namespace

ReadResult LoadAn8Text(ReadEnv& env, std::string_view text, const std::string& path) {
    try {
        An8Reader r(env, text, path);
        return r.run();
    } catch (const std::bad_alloc&) {
        return ReadResult::failed("Not enough memory to read " + path, path);
    } catch (const std::length_error&) {
        return ReadResult::failed("Not enough memory to read " + path, path);
    }
}

ReadResult LoadAn8(ReadEnv& env, const std::string& path) {
    std::string text, err;
    if (!readWholeFile(path, text, err)) return ReadResult::failed("Cannot read " + path + ": " + err, path);
    return LoadAn8Text(env, text, path);
}

}  // namespace molv
