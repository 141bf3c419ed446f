// 3D Studio reader: walks the chunk tree of a .3ds file held in memory.
// Every chunk gets its own bounded cursor, so a length or count that lies
// can cut a chunk short but never lets a read leave its chunk or the file.
#include "formats/tds_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/store.h"
#include "model/store_fill.h"
#include "model/transform.h"
#include "core/diagnostics.h"
#include "core/read_result.h"
#include "core/settings.h"
#include "model/io_env.h"
#include "util/binio.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

struct ChunkInfo {
    std::uint16_t id;
    const char* name;
    int indent;
};

// Sorted by id for the binary search in lookup().
constexpr ChunkInfo kChunks[] = {
    {0x0002, "3DS_VERSION", 8},
    {0x0010, "COL_RGB", 8},
    {0x0011, "COL_TRU", 12},
    {0x0013, "COL_UNK", 8},
    {0x0030, "?Percentage", 12},
    {0x0100, "EDIT_CONFIG1", 8},
    {0x1100, "EDIT_UNKNW01", 8},
    {0x1200, "EDIT_BACKGR", 8},
    {0x1201, "EDIT_UNKNW02", 8},
    {0x1300, "EDIT_UNKNW03", 8},
    {0x1400, "EDIT_UNKNW04", 8},
    {0x1420, "EDIT_UNKNW05", 8},
    {0x1450, "EDIT_UNKNW06", 8},
    {0x1500, "EDIT_UNKNW07", 8},
    {0x2100, "EDIT_AMBIENT", 8},
    {0x2200, "EDIT_UNKNW08", 8},
    {0x2201, "EDIT_UNKNW09", 8},
    {0x2210, "EDIT_UNKNW10", 8},
    {0x2300, "EDIT_UNKNW11", 8},
    {0x2302, "EDIT_UNKNW12", 8},
    {0x3000, "EDIT_UNKNW13", 8},
    {0x3D3D, "EDIT3DS", 4},
    {0x3E3D, "EDIT_CONFIG2", 8},
    {0x4000, "EDIT_OBJECT", 8},
    {0x4010, "OBJ_UNKNWN01", 8},
    {0x4012, "OBJ_UNKNWN02", 8},
    {0x4100, "OBJ_TRIMESH", 8},
    {0x4110, "TRI_VERTEXL vertices", 8},
    {0x4111, "TRI_FACEL2 point flags", 8},
    {0x4120, "TRI_FACEL1 faces", 8},
    {0x4130, "Material face group", 8},
    {0x4140, "UV_MAPPING text verts", 8},
    {0x4150, "TRI_SMOOTH ??normals", 8},
    {0x4160, "TRI_LOCAL_Axis/Origin", 8},
    {0x4165, "TRI_VISIBLE", 8},
    {0x4600, "OBJ_LIGHT", 8},
    {0x4610, "LIT_SPOT", 8},
    {0x4620, "LIT_OFF", 8},
    {0x465A, "LIT_UNKNWN01", 8},
    {0x4700, "OBJ_CAMERA", 8},
    {0x4710, "CAM_UNKNWN01", 8},
    {0x4720, "CAM_UNKNWN02", 8},
    {0x4D4D, "MAIN", 0},
    {0x7001, "EDIT_VIEW1", 8},
    {0x7011, "EDIT_VIEW_P2", 8},
    {0x7012, "EDIT_VIEW_P1", 8},
    {0x7020, "EDIT_VIEW_P3", 8},
    {0xA000, "Material name", 8},
    {0xA010, "Ambient color", 8},
    {0xA020, "Diffuse color", 8},
    {0xA030, "Specular color", 8},
    {0xA040, "Shininess percent", 8},
    {0xA041, "Shininess strength percent", 8},
    {0xA050, "Transparency percent", 8},
    {0xA052, "Transparency falloff percent", 8},
    {0xA053, "Reflection blur percent", 8},
    {0xA081, "2 sided", 8},
    {0xA083, "Add trans", 8},
    {0xA084, "Self illum", 8},
    {0xA085, "Wire frame on", 8},
    {0xA087, "Wire thickness", 8},
    {0xA088, "Face map", 8},
    {0xA08A, "In tranc", 8},
    {0xA08C, "Soften", 8},
    {0xA08E, "Wire in units", 8},
    {0xAFFF, "EDIT_MATERIAL", 8},
    {0xB000, "KEYF3DS", 8},
    {0xB002, "KEYF_OBJDES", 8},
    {0xB008, "KEYF_FRAMES", 8},
    {0xB009, "KEYF_UNKNWN01", 8},
    {0xB00A, "KEYF_UNKNWN02", 8},
};

const ChunkInfo* lookup(std::uint16_t id) {
    std::size_t lo = 0, hi = sizeof kChunks / sizeof kChunks[0];
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (kChunks[mid].id < id)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < sizeof kChunks / sizeof kChunks[0] && kChunks[lo].id == id ? &kChunks[lo] : nullptr;
}

// Chunk IDs the reader acts on.
enum : std::uint16_t {
    kMain = 0x4D4D,
    kEditor = 0x3D3D,
    kMeshVersion = 0x3D3E,
    kMaterial = 0xAFFF,
    kMatName = 0xA000,
    kMatAmbient = 0xA010,
    kMatDiffuse = 0xA020,
    kMatSpecular = 0xA030,
    kMatShininess = 0xA040,
    kMatShinStrength = 0xA041,
    kMatTransparency = 0xA050,
    kMatTransFalloff = 0xA052,
    kMatReflectBlur = 0xA053,
    kMatSelfIllum = 0xA084,
    kMatTexMap = 0xA200,
    kMatMapFile = 0xA300,
    kColourFloat = 0x0010,
    kColourBytes = 0x0011,
    kPercentInt = 0x0030,
    kPercentFloat = 0x0031,
    kObject = 0x4000,
    kTriMesh = 0x4100,
    kVertices = 0x4110,
    kFaces = 0x4120,
    kFaceGroup = 0x4130,
    kTexVerts = 0x4140,
    kSmoothing = 0x4150,
    kLocalAxis = 0x4160,
    kKeyframer = 0xB000,
    kNodeFirst = 0xB001,  // object, camera, target, light, ... descriptions
    kNodeObject = 0xB002,
    kNodeLast = 0xB007,
    kNodeHeader = 0xB010,
    kNodeId = 0xB030,
};

// A 3DS mesh has one texture vertex list; a file that piles up more is
// not allowed to multiply the memory of every vertex without end.
constexpr std::int32_t kMaxUvSets = 8;
// The warning lists every map; past this many it would only grow the log.
constexpr std::int32_t kMaxMapWarnings = 8;

std::string hexPos(std::size_t v, int width = 6) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[v & 15]);
        v >>= 4;
    } while (v != 0);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

std::string hexId(std::uint16_t id) { return hexPos(id, 4); }

// Little-endian fields of a block the caller has already cut to size: the
// hot loops read whole lists without a bounds test per field.
inline std::uint16_t ld16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ld32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline float ldf32(const unsigned char* p) {
    const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
// The next n records of `size` bytes of a cursor, as bytes.
inline const unsigned char* block(ByteReader& r, std::size_t n, std::size_t size) {
    return reinterpret_cast<const unsigned char*>(r.bytes(n * size).data());
}

std::uint8_t colourByte(float f) {
    if (!std::isfinite(f)) return 0;
    double v = std::nearbyint(static_cast<double>(f) * 255.0);
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

struct Chunk {
    std::uint16_t id = 0;
    std::uint32_t len = 0;
    std::size_t at = 0;      // file offset of the header
    std::size_t dataAt = 0;  // file offset of the data
    ByteReader data;         // the data and sub-chunks, cut to what the file holds
    std::size_t end() const { return dataAt + data.size(); }
    std::size_t pos() const { return dataAt + data.pos(); }
};

struct KfNode {
    std::uint16_t id = 0;
    std::uint16_t parent = 0xFFFF;
    std::string name;
    bool object = false;
    bool hasHeader = false;
};

// Adds up the vertices and faces the mesh chunks announce (cut to what
// their chunks hold), so the store can make room once instead of moving
// its arrays as they grow. Damage is left for the real walk to report.
void countGeometry(ByteReader r, int level, std::int64_t& vertices, std::int64_t& faces) {
    // Only the path MAIN > EDIT3DS > EDIT_OBJECT > OBJ_TRIMESH is followed,
    // so nesting in a hostile file cannot deepen the recursion.
    static constexpr std::uint16_t kPath[] = {kMain, kEditor, kObject, kTriMesh};
    while (r.left() >= 6) {
        const std::uint16_t id = r.u16();
        const std::uint32_t len = r.u32();
        if (len < 6) return;
        ByteReader c = r.sub(std::min<std::size_t>(len - 6, r.left()));
        if (level < 4 && id == kPath[level]) {
            if (id == kObject) c.cstring();
            if (c.ok()) countGeometry(c, level + 1, vertices, faces);
        } else if (level == 4 && id == kVertices) {
            vertices += std::min<std::size_t>(c.u16(), c.left() / 12);
        } else if (level == 4 && id == kFaces) {
            faces += std::min<std::size_t>(c.u16(), c.left() / 8);
        }
    }
}

class Reader3DS {
public:
    Reader3DS(ReadEnv& env, std::string_view bytes, const std::string& source)
        : env_(env), diag_(env.diag), m_(env.model), fill_(env), bytes_(bytes), source_(source) {
        m_.defaultCollapseId = -1;  // every vertex of a 3DS file
    }

    ReadResult run();

private:
    // Reporting.
    void damage(std::size_t at, const std::string& what);
    void chunkDamage(const Chunk& ck, const std::string& what) {
        damage(ck.at, "chunk 0x" + hexId(ck.id) + " (" + ChunkName(ck.id) + "): " + what);
    }
    void tell(const std::string& text);
    void log(int level, const std::string& text) { diag_.logMsg(text, level); }

    bool next(ByteReader& parent, std::size_t parentAt, Chunk& ck);
    void skipped(const Chunk&) {
        if (diag_.logWanted(2)) log(2, indent_ + "SkipChunk");
    }

    void readMain(Chunk& ck);
    void readEditor(Chunk& ck);
    void readVersion(Chunk& ck);
    void readMaterial(Chunk& ck);
    void readColour(Chunk& ck, Colour& c);
    bool readPercent(Chunk& ck, float& out);
    void readMapContainer(Chunk& ck, Material& mt);
    void readObject(Chunk& ck);
    void readMesh(Chunk& ck, const std::string& name);
    void readVertices(Chunk& ck);
    void readFaces(Chunk& ck);
    void readFaceGroup(Chunk& ck);
    void readSmoothing(Chunk& ck, std::size_t firstFace, std::uint32_t n);
    void readTexVertices(Chunk& ck);
    void readLocalAxis(Chunk& ck);
    void finishMesh();
    void readKeyframer(Chunk& ck);
    void linkHierarchy(const std::vector<KfNode>& nodes);
    void bindMaterials();

    std::int32_t findMaterial(std::string_view name) const;
    std::int32_t defaultMaterial();
    bool textureExists(const std::string& name) const;
    Vec3 toStore(float x, float y, float z) const;

    ReadEnv& env_;
    Diagnostics& diag_;
    ModelStore& m_;
    StoreFill fill_;
    std::string_view bytes_;
    std::string source_;
    std::string indent_;
    bool aborted_ = false;
    bool boxedDamage_ = false;
    int damageLines_ = 0;
    int boxes_ = 0;

    // Current mesh.
    std::int32_t mesh_ = -1;
    std::int32_t texVertices_ = 0;  // texture vertices of the current mesh
    std::vector<std::int32_t> faceMap_;  // file face number -> store face number in the mesh, -1 = skipped
    std::vector<std::uint8_t> claimed_;  // per file face: a group holds it
    bool haveOrigin_ = false;
    Vec3 origin_;

    // Face groups whose material is bound once the whole file is read.
    struct Pending {
        std::int32_t group;
        std::string name;  // empty: the default material
    };
    std::vector<Pending> pending_;
    std::int32_t dfltMtl_ = -1;
    std::unordered_map<std::string, std::int32_t> mtlByName_;  // lower-cased name -> first material
};

void Reader3DS::damage(std::size_t at, const std::string& what) {
    std::string text = source_ + ": byte offset 0x" + hexPos(at) + ": " + what;
    if (damageLines_ < 50)
        log(0, text);
    else if (damageLines_ == 50)
        log(0, source_ + ": further problems not listed");
    ++damageLines_;
    if (!boxedDamage_) {
        boxedDamage_ = true;
        if (diag_.msgBox(text, Buttons::OkCancel) == Answer::Cancel) aborted_ = true;
    }
}

// Messages the user sees in a box; a file full of them stops boxing after
// a few and only logs the rest.
void Reader3DS::tell(const std::string& text) {
    log(0, text);
    if (boxes_ < 10) diag_.msgBox(text);
    ++boxes_;
}

// Reads the next chunk header inside parent. A length below 6 ends the
// parent's reading; a length past the parent's end is cut to it. Either way
// the user is told where.
bool Reader3DS::next(ByteReader& parent, std::size_t parentAt, Chunk& ck) {
    if (aborted_ || parent.atEnd()) return false;
    const std::size_t at = parentAt + parent.pos();
    if (parent.left() < 6) {
        damage(at, std::to_string(parent.left()) + " bytes left where a chunk header of 6 was expected");
        parent.skip(parent.left());
        return false;
    }
    ck.id = parent.u16();
    ck.len = parent.u32();
    ck.at = at;
    ck.dataAt = at + 6;
    if (ck.len < 6) {
        chunkDamage(ck, "length " + std::to_string(ck.len) + " is below the header's 6 bytes; rest of the enclosing chunk skipped");
        parent.skip(parent.left());
        return false;
    }
    std::size_t dataLen = ck.len - 6;
    if (dataLen > parent.left()) {
        chunkDamage(ck, "length " + std::to_string(ck.len) + " runs past the end of its enclosing chunk or the file (at 0x" +
                            hexPos(parentAt + parent.size()) + "); read up to there");
        dataLen = parent.left();
    }
    ck.data = parent.sub(dataLen);
    const ChunkInfo* info = lookup(ck.id);
    indent_.assign(static_cast<std::size_t>(info ? info->indent : 8), ' ');
    fill_.readPos = static_cast<std::int32_t>(std::min<std::size_t>(at, 0x7FFFFFFF));
    if (diag_.logWanted(1)) {
        if (ck.id == kKeyframer || ck.id == kObject) log(1, "=================");
        log(1, indent_ + hexPos(at) + ": ChunkTyp: x" + hexId(ck.id) + " " + (info ? info->name : "") + " L=" +
                   std::to_string(ck.len) + " DL=" + std::to_string(ck.len - 6) + " (L=x" + hexPos(ck.len) + " -> " +
                   hexPos(at + ck.len) + ")");
    }
    return true;
}

ReadResult Reader3DS::run() {
    if (bytes_.empty()) return ReadResult::failedAt("The 3DS file " + source_ + " is empty", source_, 0);
    if (diag_.logWanted(1)) log(1, "FileSize=" + hexPos(bytes_.size()));
    std::int64_t vertices = 0, faces = 0;
    countGeometry(ByteReader(bytes_), 0, vertices, faces);
    m_.reserveFor(vertices, faces);
    ByteReader file(bytes_);
    bool sawMain = false;
    while (!aborted_ && !file.atEnd()) {
        const std::size_t at = file.pos();
        if (!sawMain) {
            // Before MAIN a bad header means this is no 3DS file; say that
            // once below rather than report the garbage.
            if (file.left() < 6) break;
            ByteReader peek = file;
            peek.u16();
            std::uint32_t len = peek.u32();
            if (len < 6 || len - 6 > peek.left()) {
                if (static_cast<std::uint16_t>(static_cast<unsigned char>(bytes_[at]) |
                                               (static_cast<unsigned char>(bytes_[at + 1]) << 8)) != kMain)
                    break;
            }
        }
        Chunk ck;
        if (!next(file, 0, ck)) break;
        if (ck.id == kMain) {
            sawMain = true;
            readMain(ck);
        } else {
            skipped(ck);
        }
    }
    if (aborted_) {
        log(0, "Reading of " + source_ + " cancelled");
        return ReadResult::cancelled();
    }
    if (!sawMain)
        return ReadResult::failedAt("The file " + source_ + " is not a 3DS file: it holds no MAIN chunk (0x4D4D)",
                                    source_, 0);
    bindMaterials();
    if (diag_.logWanted(2)) log(2, "=================");
    return {};
}

void Reader3DS::readMain(Chunk& ck) {
    if (diag_.logWanted(2)) log(2, "Readck_Main: limit=" + hexPos(ck.end()));
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        switch (c.id) {
            case kKeyframer: readKeyframer(c); break;
            case kEditor: readEditor(c); break;
            case kMeshVersion: readVersion(c); break;
            default: skipped(c);
        }
    }
}

void Reader3DS::readEditor(Chunk& ck) {
    if (diag_.logWanted(2)) log(2, "Readck_Editor: limit=" + hexPos(ck.end()));
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        switch (c.id) {
            case kMaterial: readMaterial(c); break;
            case kMeshVersion: readVersion(c); break;
            case kObject: readObject(c); break;
            default: skipped(c);
        }
    }
}

void Reader3DS::readVersion(Chunk& ck) {
    ck.data.i32();  // not used
    if (!ck.data.ok()) chunkDamage(ck, "shorter than its 4-byte version");
}

// ---------------------------------------------------------------- materials

void Reader3DS::readMaterial(Chunk& ck) {
    const std::int32_t idx = m_.nMaterials;
    m_.nMaterials += 1;
    m_.Materials.resize(static_cast<std::size_t>(m_.nMaterials) + 1);
    {
        Material& mt = m_.materialAt(idx);
        mt = Material{};
        mt.id = idx;
        mt.use_count = 0;
    }
    if (diag_.logWanted(2)) log(2, "Readck_Material: " + std::to_string(idx) + " limit=" + hexPos(ck.end()));
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        // Re-fetched each time: nothing below grows Materials, but keep the
        // reference short-lived all the same.
        Material& mt = m_.materialAt(idx);
        switch (c.id) {
            case kMatName: {
                std::string_view raw = c.data.bytes(c.data.left());
                mt.name.clear();
                for (char ch : raw)
                    if (ch != '\0') mt.name.push_back(ch);
                if (diag_.logWanted(2)) log(2, indent_ + "Material name=" + mt.name);
                break;
            }
            case kMatAmbient: readColour(c, mt.ambient); break;
            case kMatDiffuse: readColour(c, mt.diffuse); break;
            case kMatSpecular: readColour(c, mt.specular); break;
            case kMatShininess: readPercent(c, mt.shininess); break;
            case kMatTransparency: readPercent(c, mt.transparency); break;
            case kMatShinStrength:
            case kMatTransFalloff:
            case kMatReflectBlur:
            case kMatSelfIllum: {
                float unused = 0;
                readPercent(c, unused);
                break;
            }
            case kMatTexMap: readMapContainer(c, mt); break;
            default: skipped(c);
        }
    }
    // The first material of a name is the one face groups find.
    mtlByName_.emplace(toLowerAscii(m_.materialAt(idx).name), idx);
}

// A colour container: the 24-bit colour when there is one, else the float
// colour (some exporters write only that).
void Reader3DS::readColour(Chunk& ck, Colour& colour) {
    bool haveBytes = false;
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        if (c.id == kColourBytes) {
            std::uint8_t r = c.data.u8(), g = c.data.u8(), b = c.data.u8();
            if (!c.data.ok()) {
                chunkDamage(c, "shorter than its three colour bytes");
                continue;
            }
            colour.r = r;
            colour.g = g;
            colour.b = b;
            haveBytes = true;
        } else if (c.id == kColourFloat && !haveBytes) {
            float r = c.data.f32(), g = c.data.f32(), b = c.data.f32();
            if (!c.data.ok()) {
                chunkDamage(c, "shorter than its three colour floats");
                continue;
            }
            colour.r = colourByte(r);
            colour.g = colourByte(g);
            colour.b = colourByte(b);
        } else {
            skipped(c);
            continue;
        }
        if (diag_.logWanted(2))
            log(2, indent_ + "Colour: " + std::to_string(colour.r) + " " + std::to_string(colour.g) + " " +
                       std::to_string(colour.b));
    }
}

// A percentage container: the 16-bit percentage, or a float fraction
// (kept as a percentage like the 16-bit form).
bool Reader3DS::readPercent(Chunk& ck, float& out) {
    bool got = false;
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        float v = 0;
        if (c.id == kPercentInt) {
            std::int16_t p = c.data.i16();
            if (!c.data.ok()) {
                chunkDamage(c, "shorter than its 16-bit percentage");
                continue;
            }
            v = static_cast<float>(p);
        } else if (c.id == kPercentFloat) {
            float f = c.data.f32();
            if (!c.data.ok() || !std::isfinite(f)) {
                chunkDamage(c, "no valid float percentage");
                continue;
            }
            v = static_cast<float>(static_cast<double>(f) * 100.0);
        } else {
            skipped(c);
            continue;
        }
        out = v;
        got = true;
        if (diag_.logWanted(2)) log(2, indent_ + "Percentage: " + numText(v));
    }
    return got;
}

void Reader3DS::readMapContainer(Chunk& ck, Material& mt) {
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        if (c.id != kMatMapFile) {
            skipped(c);
            continue;
        }
        // Up to the NUL or the end of the chunk.
        std::string_view raw = c.data.bytes(c.data.left());
        std::string name(raw.substr(0, raw.find('\0')));
        if (diag_.logWanted(2)) log(2, indent_ + "TEX_FILENAME: " + name);
        if (!textureExists(name)) log(0, "*** Texture file not found: " + name + " ***");
        mt.nMaps += 1;
        mt.maps.resize(static_cast<std::size_t>(mt.nMaps) + 1);
        mt.maps[static_cast<std::size_t>(mt.nMaps - 1)] = name;
        if (mt.nMaps > 1 && mt.nMaps <= kMaxMapWarnings) {
            std::string w = "Warning 101: More than one Map in a material: ";
            for (std::int32_t i = 0; i < mt.nMaps; ++i) w += "(" + mt.maps[static_cast<std::size_t>(i)] + ") ";
            log(0, w);
        }
    }
}

bool Reader3DS::textureExists(const std::string& name) const {
    std::string folder = env_.currentFolder;
    if (folder.empty()) folder = folderOf(source_);
    // Only inside the model's folder: a name that points elsewhere is looked
    // for there by its file name.
    const std::string inside = companionPath(folder, name);
    return !inside.empty() && fileExists(inside);
}

std::int32_t Reader3DS::findMaterial(std::string_view name) const {
    auto it = mtlByName_.find(toLowerAscii(name));
    return it == mtlByName_.end() ? -1 : it->second;
}

// The material for faces no named material claims: the file's own "Default"
// if it has one, else a synthesised grey one.
std::int32_t Reader3DS::defaultMaterial() {
    if (dfltMtl_ >= 0) return dfltMtl_;
    dfltMtl_ = findMaterial("Default");
    if (dfltMtl_ >= 0) return dfltMtl_;
    const std::int32_t idx = m_.nMaterials;
    m_.nMaterials += 1;
    m_.Materials.resize(static_cast<std::size_t>(m_.nMaterials) + 1);
    Material& mt = m_.materialAt(idx);
    mt = Material{};
    mt.id = idx;
    mt.name = "Default";
    mt.ambient = Colour{178, 178, 178, 0};
    mt.diffuse = Colour{178, 178, 178, 0};
    mt.specular = Colour{255, 255, 255, 0};
    mt.shininess = 10.0f;
    mt.transparency = 0;
    mt.use_count = 0;
    log(0, "    Synthesising Material " + std::to_string(idx) + " Default");
    mtlByName_.emplace("default", idx);
    dfltMtl_ = idx;
    return idx;
}

// Face groups are bound after the whole file is read, so a material
// defined after the object that uses it is still found.
void Reader3DS::bindMaterials() {
    std::unordered_set<std::string> told;
    for (const Pending& p : pending_) {
        std::int32_t mtl = p.name.empty() ? -1 : findMaterial(p.name);
        if (mtl < 0 && !p.name.empty() && told.insert(toLowerAscii(p.name)).second)
            tell("Cannot find material(" + p.name + ")");
        if (mtl < 0) mtl = defaultMaterial();
        m_.SetFaceGroupMaterial(p.group, mtl);
    }
    pending_.clear();
}

// ---------------------------------------------------------------- objects

void Reader3DS::readObject(Chunk& ck) {
    std::string name = ck.data.cstring();
    if (!ck.data.ok()) {
        chunkDamage(ck, "object name has no terminating zero byte");
        return;
    }
    if (diag_.logWanted(1)) log(1, "Readck_Object: (" + name + ") limit=" + hexPos(ck.end()));
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        if (c.id == kTriMesh)
            readMesh(c, name);
        else
            skipped(c);
    }
}

void Reader3DS::readMesh(Chunk& ck, const std::string& name) {
    const std::int16_t idx = fill_.dssAddMesh(name, 0);
    if (idx < 0) {
        aborted_ = true;  // the store said why
        return;
    }
    mesh_ = idx;
    texVertices_ = 0;
    faceMap_.clear();
    claimed_.clear();
    haveOrigin_ = false;
    if (diag_.logWanted(1))
        log(1, "Readck_Mesh#: " + std::to_string(idx) + "  fPos=" + hexPos(ck.at) + " limit=" + hexPos(ck.end()));
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        switch (c.id) {
            case kVertices: readVertices(c); break;
            case kFaces: readFaces(c); break;
            case kFaceGroup: readFaceGroup(c); break;
            case kTexVerts: readTexVertices(c); break;
            case kLocalAxis: readLocalAxis(c); break;
            default: skipped(c);
        }
    }
    finishMesh();
}

void Reader3DS::readVertices(Chunk& ck) {
    diag_.showStatus("M:" + std::to_string(mesh_) + " V");
    std::uint32_t n = ck.data.u16();
    if (!ck.data.ok()) {
        chunkDamage(ck, "no vertex count");
        return;
    }
    const std::uint32_t fits = static_cast<std::uint32_t>(ck.data.left() / 12);
    if (n > fits) {
        chunkDamage(ck, "vertex count " + std::to_string(n) + " runs past the chunk's end; " + std::to_string(fits) +
                            " vertices read");
        n = fits;
    }
    const std::int32_t first = fill_.AddMeshVertices(mesh_, static_cast<std::int32_t>(n));
    const bool detail = env_.extraLog;
    const std::size_t at0 = ck.pos();
    const unsigned char* p = block(ck.data, n, 12);
    for (std::uint32_t i = 0; i < n; ++i, p += 12) {
        const float x = ldf32(p), y = ldf32(p + 4), z = ldf32(p + 8);
        std::int32_t v = first + static_cast<std::int32_t>(i);
        fill_.readPos = static_cast<std::int32_t>(at0 + 12 * static_cast<std::size_t>(i));
        fill_.AddVertex(v, x, z, y, x, y, z, static_cast<std::int32_t>(i), detail);
    }
}

void Reader3DS::readFaces(Chunk& ck) {
    diag_.showStatus("M:" + std::to_string(mesh_) + " F");
    std::uint32_t n = ck.data.u16();
    if (!ck.data.ok()) {
        chunkDamage(ck, "no face count");
        return;
    }
    const std::uint32_t fits = static_cast<std::uint32_t>(ck.data.left() / 8);
    if (n > fits) {
        chunkDamage(ck, "face count " + std::to_string(n) + " runs past the chunk's end; " + std::to_string(fits) +
                            " faces read");
        n = fits;
    }
    const Mesh& ms = m_.meshAt(mesh_);
    const std::uint32_t nv = static_cast<std::uint32_t>(ms.num_Vertices);
    const std::int32_t base = ms.vtx_ndx_stt;
    if (diag_.logWanted(1))
        log(1, indent_ + "Readck_Faces: mesh " + std::to_string(mesh_) + " nFaces=" + std::to_string(n) + " from " +
                   std::to_string(m_.ttlnum_Faces) + " limit=" + hexPos(ck.end()));
    // A second face list in one mesh continues the numbering.
    const std::size_t firstFace = faceMap_.size();
    faceMap_.reserve(faceMap_.size() + n);
    claimed_.resize(claimed_.size() + n, 0);
    std::uint32_t bad = 0;
    std::size_t firstBadAt = 0;
    std::int32_t stored = ms.num_Faces;
    const std::size_t at0 = ck.pos();
    const unsigned char* p = block(ck.data, n, 8);
    for (std::uint32_t i = 0; i < n; ++i, p += 8) {
        const std::size_t at = at0 + 8 * static_cast<std::size_t>(i);
        // The fourth field holds edge flags, not used.
        const std::uint32_t a = ld16(p), b = ld16(p + 2), c = ld16(p + 4);
        if (a >= nv || b >= nv || c >= nv) {
            if (bad++ == 0) firstBadAt = at;
            faceMap_.push_back(-1);
            continue;
        }
        faceMap_.push_back(stored++);
        fill_.readPos = static_cast<std::int32_t>(at);
        fill_.AddFace(mesh_, base, static_cast<std::int32_t>(a), static_cast<std::int32_t>(b), static_cast<std::int32_t>(c));
    }
    if (bad > 0)
        damage(firstBadAt, "mesh " + std::to_string(mesh_) + " (" + ms.name + "): " + std::to_string(bad) +
                               " face(s) name a vertex beyond its " + std::to_string(nv) + " vertices; skipped");
    // Material groups and smoothing follow the face list inside this chunk.
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        if (c.id == kFaceGroup)
            readFaceGroup(c);
        else if (c.id == kSmoothing)
            readSmoothing(c, firstFace, n);
        else
            skipped(c);
    }
}

// One 32-bit group mask per face of the list: faces that share a group
// share their normals where they meet; mask 0 is a faceted face.
void Reader3DS::readSmoothing(Chunk& ck, std::size_t firstFace, std::uint32_t n) {
    const std::uint32_t fits = static_cast<std::uint32_t>(ck.data.left() / 4);
    if (n > fits) {
        chunkDamage(ck, "smoothing groups for " + std::to_string(fits) + " of " + std::to_string(n) + " faces");
        n = fits;
    }
    const std::int32_t faceBase = m_.meshAt(mesh_).face_ndx_stt;
    const unsigned char* p = block(ck.data, n, 4);
    // Faces of sources or meshes without groups smooth with every face.
    if (m_.faceSmoothing.size() < static_cast<std::size_t>(m_.ttlnum_Faces))
        m_.faceSmoothing.resize(static_cast<std::size_t>(m_.ttlnum_Faces), ~std::uint32_t{0});
    for (std::uint32_t i = 0; i < n; ++i, p += 4) {
        const std::size_t k = firstFace + i;
        if (k >= faceMap_.size() || faceMap_[k] < 0) continue;
        const std::int64_t f = std::int64_t{faceBase} + faceMap_[k];
        if (f >= 0 && f < m_.ttlnum_Faces) m_.faceSmoothing[static_cast<std::size_t>(f)] = ld32(p);
    }
}

void Reader3DS::readFaceGroup(Chunk& ck) {
    diag_.showStatus("M:" + std::to_string(mesh_) + " FG");
    std::string name = ck.data.cstring();
    if (!ck.data.ok()) {
        chunkDamage(ck, "material name has no terminating zero byte");
        return;
    }
    std::uint32_t n = ck.data.u16();
    if (!ck.data.ok()) {
        chunkDamage(ck, "no face count after the material name");
        return;
    }
    const std::uint32_t fits = static_cast<std::uint32_t>(ck.data.left() / 2);
    if (n > fits) {
        chunkDamage(ck, "face count " + std::to_string(n) + " runs past the chunk's end; " + std::to_string(fits) +
                            " read");
        n = fits;
    }
    const std::int32_t mtl = findMaterial(name);
    if (n == 0) tell("Zero faces in FaceGroup " + std::to_string(m_.nFaceGrps));
    const Mesh& ms = m_.meshAt(mesh_);
    const bool uv = texVertices_ >= 1;
    const std::int32_t g = fill_.AddFaceGroup(uv, mtl, ms.face_ndx_stt);
    if (mtl < 0) pending_.push_back({g, name});
    std::uint32_t outside = 0, twice = 0;
    std::size_t firstBadAt = 0;
    const std::size_t at0 = ck.pos();
    const unsigned char* p = block(ck.data, n, 2);
    for (std::uint32_t i = 0; i < n; ++i, p += 2) {
        const std::size_t at = at0 + 2 * static_cast<std::size_t>(i);
        const std::uint32_t f = ld16(p);
        if (f >= faceMap_.size()) {
            if (outside++ == 0 && twice == 0) firstBadAt = at;
            continue;
        }
        if (faceMap_[f] < 0) continue;  // a face already reported and skipped
        if (claimed_[f]) {
            if (twice++ == 0 && outside == 0) firstBadAt = at;
            continue;
        }
        claimed_[f] = 1;
        fill_.AddFaceToGroup(mesh_, g, uv, faceMap_[f], -1);
    }
    if (outside > 0)
        damage(firstBadAt, "face group (" + name + ") of mesh " + std::to_string(mesh_) + ": " +
                               std::to_string(outside) + " face number(s) beyond the mesh's " +
                               std::to_string(faceMap_.size()) + " faces; skipped");
    if (twice > 0)
        log(0, source_ + ": face group (" + name + ") of mesh " + std::to_string(mesh_) + ": " + std::to_string(twice) +
                   " face(s) already in another group; kept in the first");
}

void Reader3DS::readTexVertices(Chunk& ck) {
    diag_.showStatus("M:" + std::to_string(mesh_) + " TV");
    std::uint32_t n = ck.data.u16();
    if (!ck.data.ok()) {
        chunkDamage(ck, "no texture vertex count");
        return;
    }
    texVertices_ = static_cast<std::int32_t>(n);
    if (diag_.logWanted(1)) log(1, indent_ + std::to_string(n) + "  ##### Readck_TextVertices ##### : ");
    Mesh& ms = m_.meshAt(mesh_);
    if (static_cast<std::int32_t>(n) != ms.num_Vertices)
        tell("Num tex verts (" + std::to_string(n) + ") <> Verts (" + std::to_string(ms.num_Vertices) + ")");
    const std::uint32_t fits = static_cast<std::uint32_t>(ck.data.left() / 8);
    if (n > fits) {
        chunkDamage(ck, "texture vertex count " + std::to_string(n) + " runs past the chunk's end; " +
                            std::to_string(fits) + " read");
        n = fits;
    }
    if (ms.num_UVsets >= kMaxUvSets) {
        chunkDamage(ck, "mesh " + std::to_string(mesh_) + " already has " + std::to_string(kMaxUvSets) +
                            " texture vertex lists; this one is skipped");
        return;
    }
    ms.num_UVsets += 1;
    if (ms.num_UVsets > 1) tell("More than one UV set");
    const std::uint32_t sets = static_cast<std::uint32_t>(ms.num_UVsets);
    const bool flip = env_.settings.flip_3DS_UV_Vs;
    const unsigned char* p = block(ck.data, n, 8);
    // Every vertex of the mesh gets the set; vertices the list does not
    // reach keep (0, 0).
    for (std::int32_t i = 0; i < ms.num_Vertices; ++i) {
        Vertex& v = m_.vertexAt(ms.vtx_ndx_stt + i);
        v.num_UVs = static_cast<std::int16_t>(sets);
        v.UVs.resize(sets);
        UV uv;
        if (static_cast<std::uint32_t>(i) < n) {
            uv.u = ldf32(p + 8 * static_cast<std::size_t>(i));
            uv.v = ldf32(p + 8 * static_cast<std::size_t>(i) + 4);
            if (flip) uv.v = 1.0f - uv.v;
        }
        v.UVs[sets - 1] = uv;
    }
}

Vec3 Reader3DS::toStore(float x, float y, float z) const {
    // The file is z-up; the store y-up, with the same axis switches that
    // AddVertex applies to every vertex.
    const float sx = x, sy = z, sz = y;
    const bool yz = env_.settings.switch_obj_yz, xz = env_.settings.switch_xz;
    if (yz && xz) return Vec3{-sy, -sz, sx};
    if (yz) return Vec3{sx, -sz, sy};
    if (xz) return Vec3{-sz, sy, sx};
    return Vec3{sx, sy, sz};
}

void Reader3DS::readLocalAxis(Chunk& ck) {
    float f[12];
    for (float& v : f) v = ck.data.f32();
    if (!ck.data.ok()) {
        chunkDamage(ck, "shorter than its 48 bytes of axes and origin");
        return;
    }
    // The three axis vectors are not used: vertices are stored in world
    // space already.
    origin_ = toStore(f[9], f[10], f[11]);
    haveOrigin_ = std::isfinite(origin_.x) && std::isfinite(origin_.y) && std::isfinite(origin_.z);
    if (diag_.logWanted(1))
        log(1, indent_ + " Set Origin : " + " x:y:z: " + fmt2(origin_.x) + "  " + fmt2(origin_.y) + "  " +
                   fmt2(origin_.z));
}

void Reader3DS::finishMesh() {
    // Applied once the mesh is complete, so the origin holds for its
    // vertices whatever order the chunks came in.
    if (haveOrigin_ && !env_.settings.ignore_3ds_ofs) MoveMeshOrigin(m_, mesh_, origin_);
    const Mesh& ms = m_.meshAt(mesh_);
    std::int32_t loose = 0;
    for (std::size_t f = 0; f < faceMap_.size(); ++f)
        if (faceMap_[f] >= 0 && !claimed_[f]) ++loose;
    if (loose > 0) {
        const bool uv = ms.num_UVsets > 0;
        const std::int32_t g = fill_.AddFaceGroup(uv, -1, ms.face_ndx_stt);
        pending_.push_back({g, std::string()});
        for (std::size_t f = 0; f < faceMap_.size(); ++f)
            if (faceMap_[f] >= 0 && !claimed_[f]) fill_.AddFaceToGroup(mesh_, g, uv, faceMap_[f], -1);
        log(0, "Mesh " + std::to_string(mesh_) + " (" + ms.name + "): " + std::to_string(loose) +
                   " face(s) in no material group; given the default material");
    }
    // Texture coordinates may follow the face groups in the file.
    if (ms.num_UVsets > 0) {
        for (std::int32_t g = ms.face_grp_ndx_stt; g <= ms.face_grp_ndx_end; ++g) {
            FaceGroup& fg = m_.groupAt(g);
            if (fg.num_maps < 1) fg.num_maps = 1;
        }
    }
    faceMap_.clear();
    claimed_.clear();
}

// ---------------------------------------------------------------- keyframer

void Reader3DS::readKeyframer(Chunk& ck) {
    if (diag_.logWanted(1)) log(1, "Readck_KeyFramer: limit=" + hexPos(ck.end()));
    std::vector<KfNode> nodes;
    Chunk c;
    while (next(ck.data, ck.dataAt, c)) {
        if (c.id < kNodeFirst || c.id > kNodeLast) {
            skipped(c);
            continue;
        }
        // Without an explicit node number, nodes count in file order.
        KfNode node;
        node.id = static_cast<std::uint16_t>(nodes.size());
        node.object = c.id == kNodeObject;
        Chunk s;
        while (next(c.data, c.dataAt, s)) {
            if (s.id == kNodeId) {
                std::uint16_t id = s.data.u16();
                if (s.data.ok()) node.id = id;
            } else if (s.id == kNodeHeader) {
                std::string name = s.data.cstring();
                s.data.u16();
                s.data.u16();
                std::uint16_t parent = s.data.u16();
                if (!s.data.ok()) {
                    chunkDamage(s, "node header cut short");
                    continue;
                }
                node.name = std::move(name);
                node.parent = parent;
                node.hasHeader = true;
            } else {
                skipped(s);
            }
        }
        nodes.push_back(std::move(node));
    }
    linkHierarchy(nodes);
}

void Reader3DS::linkHierarchy(const std::vector<KfNode>& nodes) {
    std::unordered_map<std::string, std::int32_t> meshByName;
    for (std::int32_t i = m_.meshCount - 1; i >= 0; --i)
        meshByName[toLowerAscii(m_.meshAt(i).name)] = i;
    std::unordered_map<std::uint16_t, std::size_t> nodeById;
    for (std::size_t i = 0; i < nodes.size(); ++i) nodeById.emplace(nodes[i].id, i);
    std::vector<std::int32_t> meshOf(nodes.size(), -1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!nodes[i].object || !nodes[i].hasHeader) continue;
        auto it = meshByName.find(toLowerAscii(nodes[i].name));
        if (it != meshByName.end()) meshOf[i] = it->second;
    }

    // The mesh a parent number leads to: up the node chain to the nearest
    // node that is a mesh, passing dummies and other nodes. Each node's
    // answer is remembered, so long chains cost linear time in all.
    enum Why : std::uint8_t { kUnknown, kWalking, kFound, kNone, kMissing, kCycle };
    struct Lead {
        Why why = kUnknown;
        std::int32_t mesh = -1;
        std::uint16_t missing = 0;
    };
    std::vector<Lead> lead(nodes.size());
    std::vector<std::size_t> path;
    auto resolve = [&](std::uint16_t p) -> Lead {
        path.clear();
        Lead r;
        for (;;) {
            if (p == 0xFFFF) {
                r.why = kNone;
                break;
            }
            auto it = nodeById.find(p);
            if (it == nodeById.end()) {
                r.why = kMissing;
                r.missing = p;
                break;
            }
            const std::size_t k = it->second;
            if (meshOf[k] >= 0) {
                r.why = kFound;
                r.mesh = meshOf[k];
                break;
            }
            if (lead[k].why == kWalking) {
                r.why = kCycle;
                break;
            }
            if (lead[k].why != kUnknown) {
                r = lead[k];
                break;
            }
            lead[k].why = kWalking;
            path.push_back(k);
            p = nodes[k].parent;
        }
        for (std::size_t k : path) lead[k] = r;
        return r;
    };

    std::vector<std::uint8_t> linked(static_cast<std::size_t>(m_.meshCount), 0);
    std::vector<MeshLink> links;
    std::vector<std::size_t> linkNode;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const KfNode& n = nodes[i];
        const std::int32_t m = meshOf[i];
        if (m < 0 || linked[static_cast<std::size_t>(m)]) continue;  // no mesh, or a further instance
        linked[static_cast<std::size_t>(m)] = 1;
        const Lead r = resolve(n.parent);
        if (r.why == kMissing) {
            log(0, source_ + ": keyframer node (" + n.name + "): parent number " + std::to_string(r.missing) +
                       " names no node; no parent");
        } else if (r.why == kCycle) {
            log(0, source_ + ": keyframer node (" + n.name + "): parent numbers form a cycle; no parent");
        } else if (r.why == kFound) {
            links.push_back({m, r.mesh});
            linkNode.push_back(i);
        }
    }
    const std::vector<bool> made = SetMeshParents(m_, links);
    for (std::size_t k = 0; k < links.size(); ++k) {
        const std::string& name = nodes[linkNode[k]].name;
        if (!made[k])
            log(0, source_ + ": keyframer node (" + name + "): parent (" +
                       m_.meshAt(links[k].parent).name + ") would close a cycle; no parent");
        else if (diag_.logWanted(1))
            log(1, indent_ + "Mesh " + std::to_string(links[k].mesh) + " (" + name + ") parent " +
                       std::to_string(links[k].parent));
    }
}

}  // namespace

const char* ChunkName(std::uint16_t id) {
    const ChunkInfo* info = lookup(id);
    return info ? info->name : "";
}

ReadResult Read3DSBytes(ReadEnv& env, std::string_view bytes, const std::string& sourceName) {
    return Reader3DS(env, bytes, sourceName).run();
}

ReadResult Read3DS(ReadEnv& env, const std::string& path) {
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) return ReadResult::failed("Cannot read 3DS file " + path + ": " + err, path);
    return Read3DSBytes(env, bytes, path);
}

}  // namespace molv
