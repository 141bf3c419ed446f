// Collada reader. One forward pass over the bytes collects what the model
// needs into small per-element records (sources keep their numbers, triangle
// lists their indices, nodes their transforms); nothing else of the document
// is kept. References are resolved afterwards, whatever the library order:
// effects are applied to the materials that instance them, and every
// geometry is added to the store once per node that places it.
#include "formats/dae_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "model/store.h"
#include "model/vecmath.h"
#include "shell/context.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/xml_tag.h"

namespace molv {

namespace {

constexpr std::size_t kMaxDepth = 1000;          // open elements
constexpr int kMaxNodeDepth = 256;               // nested and instanced nodes
constexpr std::size_t kMaxPlacements = 30000;    // geometry instances in the scene
constexpr std::int64_t kMaxFaces = 200000000;    // triangles in the store

// ---------------------------------------------------------------------------
// Element kinds the reader reacts to.

enum class K : std::uint8_t {
    Other,
    Collada, Asset, UpAxis,
    Image, InitFrom, Ref,
    Effect, Newparam, Surface, Sampler2D, SamplerSource, InstanceImage,
    Ambient, Diffuse, Specular, Color, Texture, Shininess, Transparency, Float,
    Material, InstanceEffect,
    Geometry, Mesh, Source, FloatArray, Accessor, Param, Vertices, Input,
    Triangles, Polylist, Polygons, Tristrips, Trifans, Vcount, P, Ph,
    Controller, Skin, BindShapeMatrix,
    VisualScene, Node, Matrix, Translate, Rotate, Scale, Lookat, Skew,
    InstanceGeometry, InstanceController, InstanceNode, InstanceMaterial,
    InstanceVisualScene, Light,
};

struct KindName {
    const char* name;
    K kind;
};

constexpr KindName kKinds[] = {
    {"COLLADA", K::Collada}, {"asset", K::Asset}, {"up_axis", K::UpAxis},
    {"image", K::Image}, {"init_from", K::InitFrom}, {"ref", K::Ref},
    {"effect", K::Effect}, {"newparam", K::Newparam}, {"surface", K::Surface},
    {"sampler2D", K::Sampler2D}, {"instance_image", K::InstanceImage},
    {"ambient", K::Ambient}, {"diffuse", K::Diffuse}, {"specular", K::Specular},
    {"color", K::Color}, {"texture", K::Texture}, {"shininess", K::Shininess},
    {"transparency", K::Transparency}, {"float", K::Float},
    {"material", K::Material}, {"instance_effect", K::InstanceEffect},
    {"geometry", K::Geometry}, {"mesh", K::Mesh}, {"source", K::Source},
    {"float_array", K::FloatArray}, {"accessor", K::Accessor}, {"param", K::Param},
    {"vertices", K::Vertices}, {"input", K::Input},
    {"triangles", K::Triangles}, {"polylist", K::Polylist}, {"polygons", K::Polygons},
    {"tristrips", K::Tristrips}, {"trifans", K::Trifans}, {"vcount", K::Vcount},
    {"p", K::P}, {"ph", K::Ph},
    {"controller", K::Controller}, {"skin", K::Skin}, {"bind_shape_matrix", K::BindShapeMatrix},
    {"visual_scene", K::VisualScene}, {"node", K::Node}, {"matrix", K::Matrix},
    {"translate", K::Translate}, {"rotate", K::Rotate}, {"scale", K::Scale},
    {"lookat", K::Lookat}, {"skew", K::Skew},
    {"instance_geometry", K::InstanceGeometry}, {"instance_controller", K::InstanceController},
    {"instance_node", K::InstanceNode}, {"instance_material", K::InstanceMaterial},
    {"instance_visual_scene", K::InstanceVisualScene}, {"light", K::Light},
};

K kindOf(std::string_view name) {
    for (const KindName& k : kKinds)
        if (equalsNoCase(name, k.name)) return k.kind;
    return K::Other;
}

bool isPrimitive(K k) {
    return k == K::Triangles || k == K::Polylist || k == K::Polygons || k == K::Tristrips || k == K::Trifans;
}

// ---------------------------------------------------------------------------
// What the pass collects.

struct Where {
    std::int32_t line = 0;
    std::string text;
};

struct Source {
    std::string id;
    std::vector<float> values;
    std::int64_t accCount = -1;  // accessor count, -1 without accessor
    std::int32_t accStride = 0;  // 0 without accessor
    std::int64_t accOffset = 0;
    std::int32_t params = 0;
    std::int64_t badNumbers = 0;
    Where where;
};

struct Input {
    std::string semantic;  // upper case
    std::string source;    // without "#"
    std::int32_t offset = 0;
    std::int32_t set = -1;
};

struct Primitive {
    K kind = K::Triangles;
    std::string material;
    std::int64_t count = -1;
    std::vector<Input> inputs;
    std::vector<std::int32_t> vcount;
    std::vector<std::int32_t> idx;
    std::vector<std::size_t> pStarts;  // where each <p> begins in idx
    std::int64_t badIndexTokens = 0;
    Where where;
};

struct Geometry {
    std::string id;
    bool hasMesh = false;
    std::vector<int> sources;  // into Doc::sources
    std::vector<Input> vertexInputs;
    std::string verticesId;
    std::vector<Primitive> prims;
    Where where;
};

struct ColourOp {
    int which = 0;  // 0 ambient, 1 diffuse, 2 specular
    bool texture = false;
    double rgb[3] = {0, 0, 0};
};

struct Effect {
    std::string id;
    std::vector<ColourOp> colours;
    bool hasShininess = false, hasTransparency = false;
    float shininess = 0, transparency = 0;
    std::vector<std::string> surfaceImages;  // image ids of the surfaces, in order
    std::vector<std::string> textureRefs;    // texture="..." of the colour elements
    // newparam sid -> what it names: a surface's image id, or a sampler's
    // surface sid (or, Collada 1.5, its image id).
    std::unordered_map<std::string, std::string> surfaceOf, samplerOf, samplerImage;
    bool used = false;
    Where where;
};

struct MaterialDef {
    std::int32_t index = -1;
    std::string effect;  // without "#"
};

struct Binding {
    std::string symbol, target;  // target without "#"
};

struct InstanceRef {
    bool controller = false;
    std::string url;  // without "#"
    std::vector<Binding> binds;
    Where where;
};

struct Node {
    std::string id;
    Mat4 local = MatIdentity();
    std::vector<int> children;
    std::vector<InstanceRef> instances;
    std::vector<std::string> nodeRefs;
    bool active = false;  // on the current traversal path
};

struct VisualScene {
    std::string id;
    std::vector<int> roots;
};

struct Controller {
    std::string id, skinSource;
    Mat4 bindShape = MatIdentity();
};

struct Placement {
    Mat4 world;
    bool identity = true;
    const InstanceRef* inst = nullptr;
};

enum class Up { Y, Z, X };

// What the text of the innermost element feeds.
enum class TextUse { None, Collect, Floats, Ints, Vcount };

// ---------------------------------------------------------------------------
// Numbers straight from the bytes.

inline bool isWs(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Some exporters wrote numbers in their user's locale ("34,693176"). Array
// items are separated by blanks only, so one comma without a point can only
// be a decimal comma.
bool commaDecimal(const char* a, const char* b, double& d) {
    char buf[48];
    const std::size_t n = static_cast<std::size_t>(b - a);
    if (n == 0 || n >= sizeof buf) return false;
    int commas = 0;
    for (std::size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c == '.') return false;
        if (c == ',') {
            ++commas;
            c = '.';
        }
        buf[i] = c;
    }
    if (commas != 1) return false;
    std::optional<double> v = parseNumber(std::string_view(buf, n));
    if (!v) return false;
    d = *v;
    return true;
}

bool commaDecimal(const char* a, const char* b, float& f) {
    double d;
    if (!commaDecimal(a, b, d) || std::fabs(d) > 3.4e38) return false;
    f = static_cast<float>(d);
    return true;
}

// The common case of array items, "-12.375": util's fast path, which gives
// the value parseFloatAt would. Anything else is left to parseFloatAt.
inline bool quickFloat(const char*& p, const char* e, float& f) {
    const char* q = p;
    if (!parseFloatFast(p, e, q, f) || (q < e && !isWs(*q))) return false;
    p = q;
    return true;
}

// Items of a text run appended to out, room made once for the usual item
// length (growth still works for runs of one-digit items).
template <class T>
struct Appender {
    std::vector<T>& out;
    Appender(std::vector<T>& o, std::size_t textLen) : out(o) { out.reserve(out.size() + textLen / 5 + 16); }
    void operator()(T v) { out.push_back(v); }
};

void parseFloats(std::string_view t, std::vector<float>& out, std::int64_t& bad) {
    const char* p = t.data();
    const char* e = p + t.size();
    Appender<float> put(out, t.size());
    for (;;) {
        while (p < e && isWs(*p)) ++p;
        if (p >= e) return;
        float f;
        if (quickFloat(p, e, f)) {
            put(f);
            continue;
        }
        const char* t0 = p;
        if (parseFloatAt(p, e, f) && (p == e || isWs(*p))) {
            put(f);
            continue;
        }
        p = t0;
        while (p < e && !isWs(*p)) ++p;
        if (commaDecimal(t0, p, f)) {
            put(f);
            continue;
        }
        put(0.0f);
        ++bad;
    }
}

void parseInts(std::string_view t, std::vector<std::int32_t>& out, std::int64_t& bad) {
    const char* p = t.data();
    const char* e = p + t.size();
    Appender<std::int32_t> put(out, t.size());
    for (;;) {
        while (p < e && isWs(*p)) ++p;
        if (p >= e) return;
        // Plain digits, the usual index.
        const char* q = p;
        std::uint32_t u = 0;
        while (q < e && static_cast<unsigned>(*q - '0') < 10u && q - p < 9) u = u * 10 + static_cast<unsigned>(*q++ - '0');
        if (q > p && (q == e || isWs(*q))) {
            put(static_cast<std::int32_t>(u));
            p = q;
            continue;
        }
        long long v;
        if (parseIntAt(p, e, v) && (p == e || isWs(*p)) && v >= INT32_MIN && v <= INT32_MAX) {
            put(static_cast<std::int32_t>(v));
            continue;
        }
        while (p < e && !isWs(*p)) ++p;
        put(-1);
        ++bad;
    }
}

// Up to n numbers of a short text (a colour, a transform); stops at the
// first item that is not a number.
int smallFloats(std::string_view t, double* out, int n) {
    const char* p = t.data();
    const char* e = p + t.size();
    int k = 0;
    while (k < n) {
        while (p < e && isWs(*p)) ++p;
        if (p >= e) break;
        const char* t0 = p;
        while (p < e && !isWs(*p)) ++p;
        double d;
        std::optional<double> v = parseNumber(std::string_view(t0, static_cast<std::size_t>(p - t0)));
        if (v)
            d = *v;
        else if (!commaDecimal(t0, p, d))
            break;
        out[k++] = d;
    }
    return k;
}

// A count attribute, kept within what any document could hold; -1 when it
// is not a number.
std::int64_t countOf(std::string_view s) {
    std::optional<double> v = parseNumber(s);
    if (!v) return -1;
    return static_cast<std::int64_t>(std::clamp(*v, -1.0, 1e15));
}

std::string stripHash(std::string s) {
    if (!s.empty() && s[0] == '#') s.erase(0, 1);
    return s;
}

// A URI path's %XX escapes decoded ("my%20wood.png").
std::string percentDecoded(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    auto hexv = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexv(s[i + 1]) >= 0 && hexv(s[i + 2]) >= 0) {
            out += static_cast<char>(hexv(s[i + 1]) * 16 + hexv(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::uint8_t colourByte(double v) {
    double r = std::nearbyint(v * 255.0);
    if (!(r >= 0)) return 0;
    if (r > 255) return 255;
    return static_cast<std::uint8_t>(r);
}

// Row-vector form (p' = p x M) of a rotation by deg degrees about an axis.
Mat4 axisRotation(double x, double y, double z, double deg) {
    double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0)) return MatIdentity();
    x /= len, y /= len, z /= len;
    double a = deg * kPi / 180.0, c = std::cos(a), s = std::sin(a), t = 1 - c;
    // Column-vector matrix R; its transpose acts on row vectors.
    double r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                      {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                      {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
    Mat4 m = MatIdentity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m.m[i][j] = static_cast<float>(r[j][i]);
    return m;
}

double det3(const Mat4& m) {
    const double a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    const double d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    const double g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

// ---------------------------------------------------------------------------

class DaeReader {
public:
    DaeReader(Context& ctx, std::string_view bytes) : ctx_(ctx), m_(ctx.model), cur_(bytes) {}
    bool run();

private:
    // Pass over the bytes.
    bool parse();
    void onStart(K k, std::string_view name, std::string_view attrs);
    void onEnd(K k);
    void onText(std::string_view t);
    std::string attr(std::string_view raw, std::string_view name) {
        std::string v;
        xmlAttr(raw, name, v);
        return v;
    }
    K parentKind(std::size_t up = 1) const {
        return stack_.size() >= up ? stack_[stack_.size() - up].kind : K::Other;
    }
    bool inside(K k) const { return depthOf_[static_cast<int>(k)] > 0; }
    // The open element turns out to play another part.
    void retag(K k) {
        depthOf_[static_cast<int>(stack_.back().kind)] -= 1;
        stack_.back().kind = k;
        depthOf_[static_cast<int>(k)] += 1;
    }
    Where here() const { return Where{cur_.line(), cur_.lineText()}; }

    // Resolution and store.
    void applyEffects();
    void placeGeometries(std::vector<std::vector<Placement>>& byGeometry);
    void traverse(int node, const Mat4& parent, int depth, std::vector<std::vector<Placement>>& byGeometry);
    bool emitGeometry(int gi, const Placement* pl, int instanceNo);
    void emitPrimitive(Geometry& g, Primitive& pr, std::int64_t nPos, bool mirrored);
    const std::vector<UV>* uvTable(int src);
    void bindGroups(std::int32_t firstGroup, std::int32_t lastGroup, const InstanceRef* inst);
    // The vertices' POSITION input, else a source named "-position".
    int positionSource(const Geometry& g) const {
        for (const Input& in : g.vertexInputs)
            if (in.semantic == "POSITION") {
                int si = findSource(in.source);
                if (si >= 0) return si;
            }
        for (int si : g.sources)
            if (toLowerAscii(sources_[static_cast<std::size_t>(si)].id).find("-position") != std::string::npos) return si;
        return -1;
    }
    int findSource(const std::string& id) const {
        auto it = sourceById_.find(id);
        return it == sourceById_.end() ? -1 : it->second;
    }
    std::int64_t itemCount(const Source& s, int defaultStride, int& stride) const;

    // Messages.
    Answer daeMessage(const std::string& msg, const Where& w);
    void fatal(const std::string& msg, std::int32_t line, const std::string& text);
    void setWhere(const Where& w) {
        ctx_.xml.xmlLineNo = w.line;
        ctx_.xml.xmlLine = w.text;
    }

    Context& ctx_;
    ModelStore& m_;
    XmlCursor cur_;

    struct Open {
        K kind;
        std::string_view name;
        std::int32_t line;
    };
    std::vector<Open> stack_;
    int depthOf_[static_cast<int>(K::Light) + 1] = {};
    bool sawRoot_ = false;
    bool failed_ = false;

    TextUse textUse_ = TextUse::None;
    std::size_t textDepth_ = 0;
    std::string textBuf_;
    std::size_t textSource_ = 0, textGeom_ = 0, textPrim_ = 0;

    Up up_ = Up::Y;
    bool upSeen_ = false;

    std::vector<Source> sources_;
    std::unordered_map<std::string, int> sourceById_;
    std::vector<Geometry> geoms_;
    std::unordered_map<std::string, int> geomById_;
    std::vector<Effect> effects_;
    std::unordered_map<std::string, int> effectById_;
    std::vector<MaterialDef> materials_;
    std::unordered_map<std::string, std::string> images_;  // id -> file as written
    std::vector<Node> nodes_;
    std::unordered_map<std::string, int> nodeById_;
    std::vector<int> openNodes_;
    std::vector<VisualScene> scenes_;
    std::vector<Controller> controllers_;
    std::string sceneUrl_;
    std::vector<std::string> unexpectedSeen_;

    // Element state.
    std::string imageId_;
    std::string paramSid_;
    int colourWhich_ = -1;       // ambient/diffuse/specular element open in an effect
    bool colourChildSeen_ = false;
    int floatWhich_ = -1;        // 0 shininess, 1 transparency
    InstanceRef* instance_ = nullptr;

    // Emission state.
    std::unordered_map<int, std::vector<UV>> uvCache_;
    std::int32_t uvBase_ = 0;                       // per mesh: texture-vertex numbers in use
    std::unordered_map<int, std::int32_t> uvBaseOf_;  // per mesh: source -> first number
    std::size_t placements_ = 0;
    bool placementsCapped_ = false;
    std::unordered_map<std::string, std::string> symbolTargets_;  // first binding of each symbol
    bool symbolTargetsBuilt_ = false;
    bool nodeLoopReported_ = false;
};

Answer DaeReader::daeMessage(const std::string& msg, const Where& w) {
    setWhere(w);
    return ctx_.msgBox(msg + "\r\n(at line " + std::to_string(w.line) + " in " + ctx_.app.srcFile + ")\r\n" + w.text,
                       Buttons::OkCancel);
}

void DaeReader::fatal(const std::string& msg, std::int32_t line, const std::string& text) {
    failed_ = true;
    ctx_.xml.xmlLineNo = line;
    ctx_.xml.xmlLine = text;
    ctx_.lastErrText = msg;
    ctx_.msgBox("***** ERROR: " + msg + "\r\n(at line " + std::to_string(line) + " in " + ctx_.app.srcFile + ")\r\n" +
                text);
    ctx_.logMsg("***** ERROR: " + msg + " at line " + std::to_string(line), 0);
}

bool DaeReader::parse() {
    for (;;) {
        XmlCursor::Event ev = cur_.next();
        switch (ev) {
            case XmlCursor::StartTag: {
                ctx_.xml.xmlLineNo = cur_.line();
                if (ctx_.app.dbgTrace) {
                    ctx_.xml.xmlLine = cur_.lineText();
                    ctx_.logFile(std::to_string(ctx_.xml.xmlLineNo) + ": " + ctx_.xml.xmlLine);
                }
                std::string_view name = cur_.name();
                K k = kindOf(name);
                if (!sawRoot_) {
                    sawRoot_ = true;
                    if (k != K::Collada) {
                        fatal("not a Collada document: its first element is <" + std::string(name) + ">", cur_.line(),
                              cur_.lineText());
                        return false;
                    }
                }
                if (stack_.size() >= kMaxDepth) {
                    fatal("elements nested deeper than " + std::to_string(kMaxDepth), cur_.line(), cur_.lineText());
                    return false;
                }
                onStart(k, name, cur_.rawAttrs());
                if (cur_.selfClosing()) onEnd(stack_.back().kind);
                break;
            }
            case XmlCursor::EndTag: {
                ctx_.xml.xmlLineNo = cur_.line();
                if (stack_.empty() || stack_.back().name != cur_.name()) {
                    std::string open = stack_.empty() ? std::string() : std::string(stack_.back().name);
                    fatal("Mismatched tags: " + open + " : /" + std::string(cur_.name()), cur_.line(), cur_.lineText());
                    return false;
                }
                onEnd(stack_.back().kind);
                break;
            }
            case XmlCursor::Text:
                if (textUse_ != TextUse::None && stack_.size() == textDepth_) onText(cur_.text());
                break;
            case XmlCursor::End:
                if (!sawRoot_) {
                    fatal("not a Collada document: no elements", cur_.line(), "");
                    return false;
                }
                if (!stack_.empty()) {
                    const Open& o = stack_.back();
                    fatal("the document ends before <" + std::string(o.name) + "> (opened at line " +
                              std::to_string(o.line) + ") is closed",
                          cur_.line(), "");
                    return false;
                }
                return true;
            case XmlCursor::Error:
                fatal("broken XML: " + cur_.error(), cur_.line(), cur_.lineText());
                return false;
        }
    }
}

void DaeReader::onStart(K k, std::string_view name, std::string_view a) {
    const K parent = parentKind(), grand = parentKind(2), great = parentKind(3);
    // A colour element's first child decides what it holds.
    if (colourWhich_ >= 0 && !colourChildSeen_ && (parent == K::Ambient || parent == K::Diffuse || parent == K::Specular)) {
        colourChildSeen_ = true;
        if (k != K::Color && k != K::Texture) {
            daeMessage("expected COLOR or TEXTURE tag, got (" + std::string(name) + ")", here());
        }
    }
    stack_.push_back(Open{k, name, cur_.line()});
    depthOf_[static_cast<int>(k)] += 1;

    // The text goes to the element just opened, and to the records that are
    // the newest now, whatever opens inside it.
    auto collect = [&](TextUse use) {
        textUse_ = use;
        textDepth_ = stack_.size();
        textBuf_.clear();
        textSource_ = sources_.empty() ? 0 : sources_.size() - 1;
        textGeom_ = geoms_.empty() ? 0 : geoms_.size() - 1;
        textPrim_ = geoms_.empty() || geoms_.back().prims.empty() ? 0 : geoms_.back().prims.size() - 1;
    };
    const bool inEffect = inside(K::Effect);

    switch (k) {
        case K::UpAxis:
            if (parent == K::Asset && grand == K::Collada) collect(TextUse::Collect);
            break;
        case K::Image:
            imageId_ = attr(a, "id");
            if (ctx_.app.dbgLevel > 0) ctx_.logFile("  Image Def: " + imageId_);
            break;
        case K::InitFrom:
            if (parent == K::Image || parent == K::Surface) collect(TextUse::Collect);
            break;
        case K::Ref:
            if (parent == K::InitFrom && grand == K::Image) collect(TextUse::Collect);
            break;
        case K::Effect: {
            Effect e;
            e.id = attr(a, "id");
            e.where = here();
            effectById_.emplace(e.id, static_cast<int>(effects_.size()));
            effects_.push_back(std::move(e));
            break;
        }
        case K::Newparam:
            paramSid_ = attr(a, "sid");
            break;
        case K::Source:
            if (parent == K::Sampler2D) {
                collect(TextUse::Collect);
                retag(K::SamplerSource);
            } else if (parent == K::Mesh && !geoms_.empty()) {
                Source s;
                s.id = attr(a, "id");
                s.where = here();
                int si = static_cast<int>(sources_.size());
                sourceById_.emplace(s.id, si);
                sources_.push_back(std::move(s));
                geoms_.back().sources.push_back(si);
            }
            break;
        case K::InstanceImage:
            if (parent == K::Sampler2D && inEffect && !paramSid_.empty())
                effects_.back().samplerImage[paramSid_] = stripHash(attr(a, "url"));
            break;
        case K::Ambient:
        case K::Diffuse:
        case K::Specular:
            if (inEffect && !inside(K::Light)) {
                colourWhich_ = k == K::Ambient ? 0 : k == K::Diffuse ? 1 : 2;
                colourChildSeen_ = false;
            }
            break;
        case K::Color:
            if (colourWhich_ >= 0 && (parent == K::Ambient || parent == K::Diffuse || parent == K::Specular))
                collect(TextUse::Collect);
            break;
        case K::Texture:
            if (colourWhich_ >= 0 && (parent == K::Ambient || parent == K::Diffuse || parent == K::Specular)) {
                Effect& e = effects_.back();
                ColourOp op;
                op.which = colourWhich_;
                op.texture = true;
                e.colours.push_back(op);
                std::string ref = attr(a, "texture");
                if (!ref.empty()) e.textureRefs.push_back(ref);
                if (colourWhich_ != 1) ctx_.msgBox(std::string("Texture on ") + (colourWhich_ == 0 ? "ambient" : "specular"));
            }
            break;
        case K::Shininess:
        case K::Transparency:
            if (inEffect && !inside(K::Light)) floatWhich_ = k == K::Shininess ? 0 : 1;
            break;
        case K::Float:
            if (floatWhich_ >= 0 && (parent == K::Shininess || parent == K::Transparency)) collect(TextUse::Collect);
            break;
        case K::Material: {
            std::string id = attr(a, "id");
            if (id.empty()) id = attr(a, "name");
            MaterialDef md;
            md.index = m_.AddMaterial(id);
            m_.currMtlID = md.index;
            materials_.push_back(md);
            break;
        }
        case K::InstanceEffect:
            if (parent == K::Material && !materials_.empty()) materials_.back().effect = stripHash(attr(a, "url"));
            break;
        case K::Geometry: {
            Geometry g;
            g.id = attr(a, "id");
            g.where = here();
            geomById_.emplace(g.id, static_cast<int>(geoms_.size()));
            geoms_.push_back(std::move(g));
            break;
        }
        case K::Mesh:
            if (parent == K::Geometry && !geoms_.empty()) geoms_.back().hasMesh = true;
            break;
        case K::FloatArray:
            if (parent == K::Source && grand == K::Mesh && !sources_.empty()) {
                collect(TextUse::Floats);
            }
            break;
        case K::Accessor:
            if (grand == K::Source && great == K::Mesh && !sources_.empty()) {
                Source& s = sources_.back();
                std::string v = attr(a, "count");
                s.accCount = v.empty() ? -1 : countOf(v);
                v = attr(a, "stride");
                s.accStride = v.empty() ? 0 : static_cast<std::int32_t>(std::clamp(leadingNumber(v), 0.0, 1e6));
                v = attr(a, "offset");
                s.accOffset = v.empty() ? 0 : std::max<std::int64_t>(0, countOf(v));
            }
            break;
        case K::Param:
            if (parent == K::Accessor && inside(K::Mesh) && !sources_.empty()) sources_.back().params += 1;
            break;
        case K::Vertices:
            if (parent == K::Mesh && !geoms_.empty()) geoms_.back().verticesId = attr(a, "id");
            break;
        case K::Triangles:
        case K::Polylist:
        case K::Polygons:
        case K::Tristrips:
        case K::Trifans:
            if (parent == K::Mesh && !geoms_.empty()) {
                Primitive pr;
                pr.kind = k;
                pr.material = attr(a, "material");
                std::string c = attr(a, "count");
                if (!c.empty()) pr.count = countOf(c);
                pr.where = here();
                geoms_.back().prims.push_back(std::move(pr));
            } else {
                retag(K::Other);  // not ours: its inputs and p are passed over
            }
            break;
        case K::Input: {
            if (geoms_.empty()) break;
            if (parent == K::Vertices && grand == K::Mesh) {
                Input in;
                in.semantic = toUpperAscii(attr(a, "semantic"));
                in.source = stripHash(attr(a, "source"));
                geoms_.back().vertexInputs.push_back(std::move(in));
            } else if (isPrimitive(parent) && !geoms_.back().prims.empty()) {
                Primitive& pr = geoms_.back().prims.back();
                Input in;
                in.semantic = toUpperAscii(attr(a, "semantic"));
                in.source = stripHash(attr(a, "source"));
                int expected = in.semantic == "VERTEX" ? 0 : in.semantic == "NORMAL" ? 1 : in.semantic == "TEXCOORD" ? 2 : -1;
                if (expected < 0 && std::find(unexpectedSeen_.begin(), unexpectedSeen_.end(), in.semantic) ==
                                        unexpectedSeen_.end()) {
                    unexpectedSeen_.push_back(in.semantic);
                    daeMessage("Unexpected Triangles Input (" + in.semantic + ")", here());
                }
                std::string o = attr(a, "offset");
                std::optional<double> ov = parseNumber(o);
                if (!ov || *ov < 0 || *ov > 1000 || *ov != std::floor(*ov)) {
                    int fallback = std::max(expected, 0);
                    daeMessage("Expected offset " + std::to_string(fallback) + " for semantic " + in.semantic +
                                   ", found " + (o.empty() ? std::string("none") : o),
                               here());
                    in.offset = fallback;
                } else {
                    in.offset = static_cast<std::int32_t>(*ov);
                }
                std::string st = attr(a, "set");
                if (!st.empty()) in.set = static_cast<std::int32_t>(std::clamp(leadingNumber(st), 0.0, 1e6));
                pr.inputs.push_back(std::move(in));
            }
            break;
        }
        case K::Vcount:
            if (parent == K::Polylist && !geoms_.empty() && !geoms_.back().prims.empty()) collect(TextUse::Vcount);
            break;
        case K::P:
            if (isPrimitive(parent) && !geoms_.empty() && !geoms_.back().prims.empty()) {
                Primitive& pr = geoms_.back().prims.back();
                pr.pStarts.push_back(pr.idx.size());
                collect(TextUse::Ints);
            }
            break;
        case K::Controller: {
            Controller c;
            c.id = attr(a, "id");
            controllers_.push_back(std::move(c));
            break;
        }
        case K::Skin:
            if (parent == K::Controller && !controllers_.empty())
                controllers_.back().skinSource = stripHash(attr(a, "source"));
            break;
        case K::BindShapeMatrix:
            if (parent == K::Skin && !controllers_.empty()) collect(TextUse::Collect);
            break;
        case K::VisualScene: {
            VisualScene vs;
            vs.id = attr(a, "id");
            scenes_.push_back(std::move(vs));
            break;
        }
        case K::Node: {
            Node n;
            n.id = attr(a, "id");
            int ni = static_cast<int>(nodes_.size());
            if (!n.id.empty()) nodeById_.emplace(n.id, ni);
            nodes_.push_back(std::move(n));
            if (parent == K::Node && !openNodes_.empty())
                nodes_[static_cast<std::size_t>(openNodes_.back())].children.push_back(ni);
            else if (parent == K::VisualScene && !scenes_.empty())
                scenes_.back().roots.push_back(ni);
            openNodes_.push_back(ni);
            break;
        }
        case K::Matrix:
        case K::Translate:
        case K::Rotate:
        case K::Scale:
        case K::Lookat:
        case K::Skew:
            if (parent == K::Node) collect(TextUse::Collect);
            break;
        case K::InstanceGeometry:
        case K::InstanceController:
            instance_ = nullptr;
            if (parent == K::Node && !openNodes_.empty()) {
                Node& n = nodes_[static_cast<std::size_t>(openNodes_.back())];
                InstanceRef r;
                r.controller = k == K::InstanceController;
                r.url = stripHash(attr(a, "url"));
                r.where = here();
                n.instances.push_back(std::move(r));
                instance_ = &n.instances.back();
            }
            break;
        case K::InstanceMaterial:
            if (instance_ && (inside(K::InstanceGeometry) || inside(K::InstanceController)))
                instance_->binds.push_back(Binding{attr(a, "symbol"), stripHash(attr(a, "target"))});
            break;
        case K::InstanceNode:
            if (parent == K::Node && !openNodes_.empty())
                nodes_[static_cast<std::size_t>(openNodes_.back())].nodeRefs.push_back(stripHash(attr(a, "url")));
            break;
        case K::InstanceVisualScene:
            sceneUrl_ = stripHash(attr(a, "url"));
            break;
        default:
            break;
    }
}

void DaeReader::onText(std::string_view t) {
    switch (textUse_) {
        case TextUse::Collect:
            if (textBuf_.size() < (1u << 20)) textBuf_.append(t);
            break;
        case TextUse::Floats: {
            Source& s = sources_[textSource_];
            parseFloats(t, s.values, s.badNumbers);
            break;
        }
        case TextUse::Ints: {
            Primitive& pr = geoms_[textGeom_].prims[textPrim_];
            parseInts(t, pr.idx, pr.badIndexTokens);
            break;
        }
        case TextUse::Vcount: {
            Primitive& pr = geoms_[textGeom_].prims[textPrim_];
            parseInts(t, pr.vcount, pr.badIndexTokens);
            break;
        }
        case TextUse::None:
            break;
    }
}

void DaeReader::onEnd(K k) {
    const bool collected = textUse_ != TextUse::None && stack_.size() == textDepth_;
    const TextUse use = collected ? textUse_ : TextUse::None;
    if (collected) textUse_ = TextUse::None;
    std::string text;
    if (use == TextUse::Collect) text = decodeXmlText(trimView(textBuf_));
    const std::int32_t openLine = stack_.back().line;
    stack_.pop_back();
    depthOf_[static_cast<int>(k)] -= 1;
    const K parent = parentKind();

    switch (k) {
        case K::UpAxis:
            if (use == TextUse::Collect && !upSeen_) {
                upSeen_ = true;
                if (equalsNoCase(text, "Z_UP"))
                    up_ = Up::Z;
                else if (equalsNoCase(text, "X_UP"))
                    up_ = Up::X;
                else
                    up_ = Up::Y;
            }
            break;
        case K::InitFrom:
            if (use != TextUse::Collect) break;
            if (parent == K::Image) {
                if (!text.empty()) {
                    images_[imageId_] = text;
                    if (ctx_.app.dbgLevel > 0) ctx_.logFile("  ImageFile: " + ctx_.app.modelName + "_" + fileNameOf(text));
                }
            } else if (parent == K::Surface && inside(K::Effect) && !effects_.empty()) {
                Effect& e = effects_.back();
                e.surfaceImages.push_back(text);
                if (!paramSid_.empty()) e.surfaceOf[paramSid_] = text;
            }
            break;
        case K::Ref:
            if (use == TextUse::Collect && !text.empty()) images_[imageId_] = text;
            break;
        case K::SamplerSource:
            if (use == TextUse::Collect && inside(K::Effect) && !effects_.empty() && !paramSid_.empty())
                effects_.back().samplerOf[paramSid_] = text;
            break;
        case K::Newparam:
            paramSid_.clear();
            break;
        case K::Color:
            if (use == TextUse::Collect && colourWhich_ >= 0 && !effects_.empty()) {
                ColourOp op;
                op.which = colourWhich_;
                double v[3] = {0, 0, 0};
                smallFloats(text, v, 3);
                for (int i = 0; i < 3; ++i) op.rgb[i] = v[i];
                effects_.back().colours.push_back(op);
            }
            break;
        case K::Ambient:
        case K::Diffuse:
        case K::Specular:
            if (colourWhich_ >= 0 && !colourChildSeen_) {
                daeMessage(std::string("expected COLOR or TEXTURE tag, got (/") +
                               (k == K::Ambient ? "ambient" : k == K::Diffuse ? "diffuse" : "specular") + ")",
                           here());
            }
            colourWhich_ = -1;
            break;
        case K::Float:
            if (use == TextUse::Collect && floatWhich_ >= 0 && !effects_.empty()) {
                double num = 0;
                std::optional<double> v;
                if (smallFloats(text, &num, 1) == 1 && trimView(text).find_first_of(" \t\r\n") == std::string_view::npos)
                    v = num;
                if (v) {
                    Effect& e = effects_.back();
                    if (floatWhich_ == 0) {
                        e.hasShininess = true;
                        e.shininess = static_cast<float>(*v);
                    } else {
                        e.hasTransparency = true;
                        e.transparency = static_cast<float>(*v);
                    }
                }
            }
            break;
        case K::Shininess:
        case K::Transparency:
            floatWhich_ = -1;
            break;
        case K::FloatArray:
            if (use == TextUse::Floats && sources_[textSource_].badNumbers > 0) {
                const Source& s = sources_[textSource_];
                ctx_.logMsg("float_array of source " + s.id + ": " + std::to_string(s.badNumbers) +
                            " values are not numbers and read as 0 (at line " + std::to_string(openLine) + ")");
            }
            break;
        case K::BindShapeMatrix:
            if (use == TextUse::Collect && !controllers_.empty()) {
                double v[16];
                if (smallFloats(text, v, 16) == 16) {
                    Mat4 col;
                    for (int i = 0; i < 16; ++i) col.m[i / 4][i % 4] = static_cast<float>(v[i]);
                    controllers_.back().bindShape = MatTranspose(col);
                }
            }
            break;
        case K::Matrix:
        case K::Translate:
        case K::Rotate:
        case K::Scale:
        case K::Lookat:
        case K::Skew: {
            if (use != TextUse::Collect || openNodes_.empty()) break;
            Node& n = nodes_[static_cast<std::size_t>(openNodes_.back())];
            double v[16];
            int got = smallFloats(text, v, 16);
            Mat4 t = MatIdentity();
            bool ok = true;
            if (k == K::Matrix && got == 16) {
                Mat4 col;
                for (int i = 0; i < 16; ++i) col.m[i / 4][i % 4] = static_cast<float>(v[i]);
                t = MatTranspose(col);
            } else if (k == K::Translate && got == 3) {
                t = MatTranslate(Vec3{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])});
            } else if (k == K::Scale && got == 3) {
                t = MatScale(Vec3{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])});
            } else if (k == K::Rotate && got == 4) {
                t = axisRotation(v[0], v[1], v[2], v[3]);
            } else {
                ok = false;
            }
            if (ok)
                n.local = MatMul(t, n.local);
            else
                ctx_.logMsg("Node " + n.id + ": transform at line " + std::to_string(openLine) + " not used", 1);
            break;
        }
        case K::Node:
            if (!openNodes_.empty()) openNodes_.pop_back();
            break;
        case K::InstanceGeometry:
        case K::InstanceController:
            instance_ = nullptr;
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// Resolution

void DaeReader::applyEffects() {
    for (const MaterialDef& md : materials_) {
        if (md.effect.empty()) continue;
        auto it = effectById_.find(md.effect);
        if (it == effectById_.end()) {
            ctx_.logMsg("Material " + m_.Materials[static_cast<std::size_t>(md.index)].name + ": effect " + md.effect +
                        " not found");
            continue;
        }
        Effect& e = effects_[static_cast<std::size_t>(it->second)];
        e.used = true;
        Material& mt = m_.Materials[static_cast<std::size_t>(md.index)];
        for (const ColourOp& op : e.colours) {
            Colour& c = op.which == 0 ? mt.ambient : op.which == 1 ? mt.diffuse : mt.specular;
            if (op.texture) {
                c.r = c.g = c.b = 255;
                if (op.which == 1) mt.ambient.r = mt.ambient.g = mt.ambient.b = 255;
            } else {
                c.r = colourByte(op.rgb[0]);
                c.g = colourByte(op.rgb[1]);
                c.b = colourByte(op.rgb[2]);
            }
        }
        if (e.hasShininess) mt.shininess = e.shininess;
        if (e.hasTransparency) mt.transparency = e.transparency;

        auto addMap = [&](const std::string& key) {
            auto im = images_.find(key);
            if (im == images_.end()) {
                ctx_.logMsg("Material " + mt.name + ": image " + key + " not found");
                return;
            }
            std::string file = ctx_.app.modelName + "_" + fileNameOf(percentDecoded(im->second));
            if (std::find(mt.maps.begin(), mt.maps.begin() + mt.nMaps, file) != mt.maps.begin() + mt.nMaps) return;
            if (ctx_.app.dbgLevel > 0)
                ctx_.logFile("  Effect surface-2d init_from for Material[" + std::to_string(md.index) + "] Image: " +
                             file + " for key " + key);
            mt.nMaps += 1;
            mt.maps.resize(static_cast<std::size_t>(mt.nMaps) + 1);
            mt.maps[static_cast<std::size_t>(mt.nMaps - 1)] = file;
        };
        for (const std::string& key : e.surfaceImages) addMap(key);
        if (e.surfaceImages.empty()) {
            // Samplers that name their image directly (Collada 1.5), or
            // texture references that name an image.
            for (const std::string& ref : e.textureRefs) {
                std::string key;
                if (auto s = e.samplerOf.find(ref); s != e.samplerOf.end()) {
                    if (auto f = e.surfaceOf.find(s->second); f != e.surfaceOf.end()) key = f->second;
                } else if (auto si = e.samplerImage.find(ref); si != e.samplerImage.end()) {
                    key = si->second;
                } else if (images_.count(ref)) {
                    key = ref;
                }
                if (!key.empty()) addMap(key);
            }
        }
    }
    for (const Effect& e : effects_)
        if (!e.used) daeMessage("can't find material: " + e.id, e.where);
}

void DaeReader::traverse(int ni, const Mat4& parent, int depth, std::vector<std::vector<Placement>>& byGeometry) {
    Node& n = nodes_[static_cast<std::size_t>(ni)];
    if (depth > kMaxNodeDepth || n.active) {
        if (!nodeLoopReported_) {
            nodeLoopReported_ = true;
            ctx_.msgBox("Node " + n.id + " instances itself or is nested deeper than " + std::to_string(kMaxNodeDepth) +
                        " levels; that branch of the scene is left out");
        }
        return;
    }
    n.active = true;
    const Mat4 world = MatMul(n.local, parent);
    for (const InstanceRef& r : n.instances) {
        std::string gid = r.url;
        Mat4 w = world;
        if (r.controller) {
            auto c = std::find_if(controllers_.begin(), controllers_.end(),
                                  [&](const Controller& x) { return x.id == r.url; });
            if (c == controllers_.end() || c->skinSource.empty()) {
                ctx_.logMsg("instance_controller " + r.url + ": no skin controller of that id");
                continue;
            }
            gid = c->skinSource;
            w = MatMul(c->bindShape, world);
        }
        auto g = geomById_.find(gid);
        if (g == geomById_.end()) {
            ctx_.logMsg("instance of " + gid + " at line " + std::to_string(r.where.line) + ": no geometry of that id");
            continue;
        }
        if (placements_ >= kMaxPlacements) {
            placementsCapped_ = true;
            break;
        }
        ++placements_;
        Placement p;
        p.world = w;
        p.identity = w == MatIdentity();
        p.inst = &r;
        byGeometry[static_cast<std::size_t>(g->second)].push_back(p);
    }
    for (int c : n.children)
        if (!placementsCapped_) traverse(c, world, depth + 1, byGeometry);
    for (const std::string& ref : n.nodeRefs) {
        if (placementsCapped_) break;
        auto it = nodeById_.find(ref);
        if (it == nodeById_.end()) {
            ctx_.logMsg("instance_node " + ref + ": no node of that id");
            continue;
        }
        traverse(it->second, world, depth + 1, byGeometry);
    }
    n.active = false;
}

void DaeReader::placeGeometries(std::vector<std::vector<Placement>>& byGeometry) {
    byGeometry.assign(geoms_.size(), {});
    const VisualScene* vs = nullptr;
    for (const VisualScene& s : scenes_)
        if (!sceneUrl_.empty() && s.id == sceneUrl_) vs = &s;
    if (!vs && !scenes_.empty()) vs = &scenes_.front();
    if (!vs) return;
    for (int r : vs->roots) traverse(r, MatIdentity(), 0, byGeometry);
    if (placementsCapped_)
        ctx_.msgBox("The scene places geometries more than " + std::to_string(kMaxPlacements) +
                    " times; the instances after those are left out");
}

std::int64_t DaeReader::itemCount(const Source& s, int defaultStride, int& stride) const {
    stride = s.accStride > 0 ? s.accStride : (s.params > 0 ? s.params : defaultStride);
    std::int64_t avail = 0;
    if (static_cast<std::int64_t>(s.values.size()) > s.accOffset)
        avail = (static_cast<std::int64_t>(s.values.size()) - s.accOffset) / stride;
    if (s.accCount < 0) return avail;
    return std::min(avail, s.accCount);
}

const std::vector<UV>* DaeReader::uvTable(int si) {
    auto it = uvCache_.find(si);
    if (it != uvCache_.end()) return &it->second;
    const Source& s = sources_[static_cast<std::size_t>(si)];
    int stride = 2;
    std::int64_t n = itemCount(s, 2, stride);
    if (s.accCount > n)
        daeMessage("Source " + s.id + " counts " + std::to_string(s.accCount) + " texture coordinates, its float_array holds " +
                       std::to_string(n),
                   s.where);
    std::vector<UV>& t = uvCache_[si];
    if (stride < 2) return &t;  // one number per item is not a (u, v) pair
    t.resize(static_cast<std::size_t>(n));
    if (ctx_.app.dbgLevel > 1) ctx_.logFile(" ----- UVs -----   Mesh ID=" + m_.Meshes[static_cast<std::size_t>(m_.MeshNdx)].name);
    float minU = 99999, minV = 99999, maxU = -99999, maxV = -99999;
    for (std::int64_t i = 0; i < n; ++i) {
        const float* v = s.values.data() + s.accOffset + i * stride;
        UV uv{v[0], v[1]};
        t[static_cast<std::size_t>(i)] = uv;
        minU = std::min(minU, uv.u), maxU = std::max(maxU, uv.u);
        minV = std::min(minV, uv.v), maxV = std::max(maxV, uv.v);
        m_.num_TexVerts += 1;
        m_.meshColladaCount += 1;
        if (ctx_.statusDue()) ctx_.showStatus("TV: " + std::to_string(m_.num_TexVerts));
    }
    if (n == 0) return &t;
    const bool outOfRange = minU < 0 || minV < 0 || maxU > 1 || maxV > 1;
    if (maxU - minU == 0 || maxV - minV == 0) {
        setWhere(s.where);
        ctx_.msgBox("Zero UV span");
        return &t;
    }
    const bool wrap = outOfRange && ctx_.settings.autoscale_UVs;
    const bool flip = ctx_.settings.flip_3DS_UV_Vs;
    for (UV& uv : t) {
        if (wrap) {
            uv.u -= std::floor(uv.u);
            uv.v -= std::floor(uv.v);
        }
        if (flip) uv.v = 1 - uv.v;
    }
    return &t;
}

// Corner lists of the primitive kinds, as triangles of corner numbers.
template <class F>
void forEachTriangle(const Primitive& pr, std::int64_t corners, int stride, F&& tri, std::int64_t& skipped,
                     std::string& problem) {
    auto pEnd = [&](std::size_t k) {
        std::size_t e = k + 1 < pr.pStarts.size() ? pr.pStarts[k + 1] : pr.idx.size();
        return static_cast<std::int64_t>(e);
    };
    switch (pr.kind) {
        case K::Triangles: {
            std::int64_t nt = corners / 3;
            for (std::int64_t t = 0; t < nt; ++t) tri(t * 3, t * 3 + 1, t * 3 + 2);
            if (corners % 3 != 0) problem = "p ends with a triangle that has fewer than three corners";
            if (pr.count >= 0 && pr.count != nt)
                problem = "p holds " + std::to_string(nt) + " triangles, count says " + std::to_string(pr.count);
            break;
        }
        case K::Polylist: {
            std::int64_t c = 0;
            std::size_t k = 0;
            for (; k < pr.vcount.size(); ++k) {
                std::int64_t n = pr.vcount[k];
                if (n < 0 || c + n > corners) {
                    skipped += static_cast<std::int64_t>(pr.vcount.size() - k);
                    problem = "vcount asks for more corners than p holds; " +
                              std::to_string(pr.vcount.size() - k) + " polygons left out";
                    break;
                }
                for (std::int64_t j = 0; j + 2 < n; ++j) tri(c, c + j + 1, c + j + 2);
                c += n;
            }
            if (problem.empty() && pr.count >= 0 && pr.count != static_cast<std::int64_t>(pr.vcount.size()))
                problem = "vcount holds " + std::to_string(pr.vcount.size()) + " polygons, count says " +
                          std::to_string(pr.count);
            break;
        }
        case K::Polygons:
        case K::Tristrips:
        case K::Trifans:
            for (std::size_t k = 0; k < pr.pStarts.size(); ++k) {
                std::int64_t c0 = static_cast<std::int64_t>(pr.pStarts[k]) / stride;
                std::int64_t c1 = std::min<std::int64_t>(pEnd(k) / stride, corners);
                std::int64_t n = c1 - c0;
                for (std::int64_t j = 0; j + 2 < n; ++j) {
                    if (pr.kind == K::Tristrips) {
                        if (j % 2 == 0)
                            tri(c0 + j, c0 + j + 1, c0 + j + 2);
                        else
                            tri(c0 + j + 1, c0 + j, c0 + j + 2);
                    } else {
                        tri(c0, c0 + j + 1, c0 + j + 2);
                    }
                }
            }
            break;
        default:
            break;
    }
}

void DaeReader::emitPrimitive(Geometry& g, Primitive& pr, std::int64_t nPos, bool mirrored) {
    if (pr.pStarts.empty()) return;
    setWhere(pr.where);
    int stride = 1;
    const Input* vin = nullptr;
    const Input* tin = nullptr;
    for (const Input& in : pr.inputs) {
        stride = std::max(stride, in.offset + 1);
        if (in.semantic == "VERTEX" && !vin) vin = &in;
        if (in.semantic == "TEXCOORD" && (!tin || (in.set >= 0 && (tin->set < 0 || in.set < tin->set)))) tin = &in;
    }
    if (!vin) {
        daeMessage("Triangles without a VERTEX input are left out", pr.where);
        return;
    }
    // Texture coordinates: by the TEXCOORD input's source, by the vertices'
    // TEXCOORD input (indexed like the positions), or by the "-uv" name.
    int uvSrc = -1;
    bool uvByVertex = false;
    if (tin) {
        uvSrc = findSource(tin->source);
        if (uvSrc < 0) {
            for (int si : g.sources) {
                std::string lid = toLowerAscii(sources_[static_cast<std::size_t>(si)].id);
                if (lid.find("-uv") != std::string::npos) uvSrc = si;
            }
        }
    } else {
        for (const Input& in : g.vertexInputs)
            if (in.semantic == "TEXCOORD" && uvSrc < 0) {
                uvSrc = findSource(in.source);
                uvByVertex = uvSrc >= 0;
            }
    }
    const std::vector<UV>* uvs = uvSrc >= 0 ? uvTable(uvSrc) : nullptr;
    setWhere(pr.where);
    const bool textured = uvs != nullptr && !uvs->empty();
    std::int32_t tBase = 0;
    if (textured) {
        auto b = uvBaseOf_.find(uvSrc);
        if (b == uvBaseOf_.end()) {
            b = uvBaseOf_.emplace(uvSrc, uvBase_).first;
            uvBase_ += static_cast<std::int32_t>(uvs->size());
        }
        tBase = b->second;
    }
    const std::int64_t nUV = textured ? static_cast<std::int64_t>(uvs->size()) : 0;
    const int vOff = vin->offset;
    const int tOff = textured && !uvByVertex ? tin->offset : -1;
    const std::int64_t corners = static_cast<std::int64_t>(pr.idx.size()) / stride;

    const std::int32_t grp = m_.AddFaceGroup(textured, -1, m_.Meshes[static_cast<std::size_t>(m_.MeshNdx)].face_ndx_stt);
    m_.FaceGrps[static_cast<std::size_t>(grp)].MatlSymbol = pr.material;
    const std::string& meshName = m_.Meshes[static_cast<std::size_t>(m_.MeshNdx)].name;
    if (ctx_.app.dbgLevel > 1) ctx_.logFile(" ----- Faces -----   Mesh ID=" + meshName);
    if (ctx_.app.dbgLevel > 0)
        ctx_.logFile(meshName + " " + std::to_string(pr.count) + "  FaceGrp=" + std::to_string(grp) +
                     ", Matl Symbol=" + pr.material + " nfaces=" + std::to_string(pr.count));

    std::int64_t badCorners = 0, skippedPolys = 0, badFaces = 0;
    std::string badWhat, problem;
    const std::int32_t* idx = pr.idx.data();
    auto cornerOk = [&](std::int64_t c) {
        const std::int32_t n = idx[c * stride + vOff];
        if (n < 0 || n >= nPos) {
            if (badCorners++ == 0)
                badWhat = "Index " + std::to_string(n) + " in p is beyond the " + std::to_string(nPos) +
                          " positions of geometry " + g.id;
            return false;
        }
        if (tOff >= 0) {
            const std::int32_t t = idx[c * stride + tOff];
            if (t < 0 || t >= nUV) {
                if (badCorners++ == 0)
                    badWhat = "Texture index " + std::to_string(t) + " in p is beyond the " + std::to_string(nUV) +
                              " texture coordinates of source " + sources_[static_cast<std::size_t>(uvSrc)].id;
                return false;
            }
        }
        return true;
    };
    auto vertexOf = [&](std::int64_t c) -> std::int32_t {
        const std::int32_t n = idx[c * stride + vOff];
        if (!textured) return n;
        const std::int32_t t = uvByVertex ? n : idx[c * stride + tOff];
        return m_.SetVertexUV(m_.currVtxBase, n, tBase + t, (*uvs)[static_cast<std::size_t>(t)]);
    };
    auto tri = [&](std::int64_t c0, std::int64_t c1, std::int64_t c2) {
        if (!cornerOk(c0) || !cornerOk(c1) || !cornerOk(c2)) {
            ++badFaces;
            return;
        }
        if (m_.ttlnum_Faces >= kMaxFaces) {
            ++badFaces;
            return;
        }
        std::int32_t a = vertexOf(c0), b = vertexOf(c1), c = vertexOf(c2);
        if (mirrored) std::swap(b, c);
        const std::int32_t base = textured ? 0 : m_.currVtxBase;
        std::int32_t r = m_.AddFace(m_.MeshNdx, base, a, b, c);
        m_.AddFaceToGroup(m_.MeshNdx, grp, textured, r, m_.ttlnum_Faces - 1);
        if (ctx_.statusDue()) ctx_.showStatus("F: " + std::to_string(m_.ttlnum_Faces));
    };
    forEachTriangle(pr, corners, stride, tri, skippedPolys, problem);

    if (pr.badIndexTokens > 0)
        daeMessage(std::to_string(pr.badIndexTokens) + " entries of p or vcount are not whole numbers", pr.where);
    if (static_cast<std::int64_t>(pr.idx.size()) % stride != 0)
        daeMessage("p holds " + std::to_string(pr.idx.size()) + " indices, not a multiple of its " +
                       std::to_string(stride) + " inputs",
                   pr.where);
    if (!problem.empty()) daeMessage(problem, pr.where);
    if (badFaces > 0) {
        std::string msg = badWhat.empty() ? std::string("Too many triangles") : badWhat;
        daeMessage(msg + "; " + std::to_string(badFaces) + " triangles left out", pr.where);
    }
}

void DaeReader::bindGroups(std::int32_t first, std::int32_t last, const InstanceRef* inst) {
    auto bindTo = [&](std::int32_t g, const std::string& symbol, const std::string& target) {
        bool any = false;
        const std::string want = toLowerAscii(target);
        for (std::int32_t mi = 0; mi < m_.nMaterials; ++mi) {
            Material& mt = m_.Materials[static_cast<std::size_t>(mi)];
            if (toLowerAscii(mt.name) != want) continue;
            any = true;
            if (m_.SetFaceGroupMaterial(g, mi) && ctx_.app.dbgLevel >= 1)
                ctx_.logFile("  Bind FaceGrp[" + std::to_string(g) + "] material symbol " + symbol + " to Materials[" +
                             std::to_string(mi) + "] " + mt.name);
        }
        return any;
    };
    std::vector<char> bound(static_cast<std::size_t>(std::max(0, last - first + 1)), 0);
    if (inst) {
        for (const Binding& b : inst->binds) {
            bool matched = false;
            for (std::int32_t g = first; g <= last; ++g) {
                if (m_.FaceGrps[static_cast<std::size_t>(g)].MatlSymbol != b.symbol) continue;
                if (bindTo(g, b.symbol, b.target)) {
                    matched = true;
                    bound[static_cast<std::size_t>(g - first)] = 1;
                }
            }
            if (!matched) ctx_.logMsg("Failed to Bind instance_material symbol " + b.symbol + " to target " + b.target);
        }
    }
    // Groups their own instance leaves unbound (or that no node places):
    // the symbol's binding anywhere in the scene, else a material of that name.
    for (std::int32_t g = first; g <= last; ++g) {
        if (bound[static_cast<std::size_t>(g - first)]) continue;
        const std::string& sym = m_.FaceGrps[static_cast<std::size_t>(g)].MatlSymbol;
        if (sym.empty()) continue;
        if (!symbolTargetsBuilt_) {
            symbolTargetsBuilt_ = true;
            for (const Node& n : nodes_)
                for (const InstanceRef& r : n.instances)
                    for (const Binding& b : r.binds) symbolTargets_.emplace(b.symbol, b.target);
        }
        auto it = symbolTargets_.find(sym);
        bool done = it != symbolTargets_.end() && bindTo(g, sym, it->second);
        if (!done && !bindTo(g, sym, sym) && ctx_.logWanted(1))
            ctx_.logMsg("FaceGrp[" + std::to_string(g) + "]: no material bound to symbol " + sym, 1);
    }
}

bool DaeReader::emitGeometry(int gi, const Placement* pl, int instanceNo) {
    Geometry& g = geoms_[static_cast<std::size_t>(gi)];
    if (!g.hasMesh) return true;
    setWhere(g.where);
    const int posSrc = positionSource(g);
    if (posSrc < 0) {
        if (instanceNo == 0) daeMessage("Geometry " + g.id + " has no positions; it is left out", g.where);
        return true;
    }
    std::string name = toLowerAscii(g.id);
    if (instanceNo > 0) name += "_" + std::to_string(instanceNo + 1);
    std::int16_t mi = m_.dssAddMesh(name, 0);
    if (mi < 0) return false;
    if (ctx_.app.dbgLevel > 0) ctx_.logFile("Mesh: " + std::to_string(mi));
    uvBase_ = 0;
    uvBaseOf_.clear();

    const Source& ps = sources_[static_cast<std::size_t>(posSrc)];
    int stride = 3;
    const std::int64_t nPos = itemCount(ps, 3, stride);
    if (ps.accCount > nPos && instanceNo == 0)
        daeMessage("Source " + ps.id + " counts " + std::to_string(ps.accCount) + " positions, its float_array holds " +
                       std::to_string(nPos),
                   ps.where);
    if (ctx_.app.dbgLevel > 1) ctx_.logFile(" ----- Vertices -----   Mesh ID=" + name);
    const bool raw = ctx_.settings.rawDataLoad;
    const bool moved = pl && !pl->identity;
    for (std::int64_t i = 0; i < nPos; ++i) {
        const float* v = ps.values.data() + ps.accOffset + i * stride;
        Vec3 d{v[0], stride > 1 ? v[1] : 0.0f, stride > 2 ? v[2] : 0.0f};
        if (moved) d = TransformPoint(d, pl->world);
        // Into y-up terms first, then the store's axes (z back).
        Vec3 y = up_ == Up::Z ? Vec3{d.x, d.z, -d.y} : up_ == Up::X ? Vec3{-d.y, d.x, d.z} : d;
        Vec3 pos = raw ? d : Vec3{y.x, y.y, -y.z};
        std::int32_t index = -1;
        m_.AddVertex(index, pos.x, pos.y, pos.z, y.x, -y.z, y.y, m_.meshVtxCount, true);
        if (ctx_.statusDue()) ctx_.showStatus("V:" + std::to_string(m_.meshVtxCount));
    }
    const bool mirrored = moved && det3(pl->world) < 0;
    const std::int32_t firstGroup = m_.nFaceGrps;
    for (Primitive& pr : g.prims) emitPrimitive(g, pr, nPos, mirrored);
    m_.SetMeshRanges(m_.MeshNdx, m_.meshVtxCount, m_.meshFaceCount, m_.meshFgCount, 0, 0, 0);
    bindGroups(firstGroup, m_.nFaceGrps - 1, pl ? pl->inst : nullptr);
    return true;
}

bool DaeReader::run() {
    ctx_.app.readAbort = false;
    ctx_.xml.xmlLineNo = 1;
    if (!parse()) {
        ctx_.app.readAbort = true;
        return false;
    }
    applyEffects();
    std::vector<std::vector<Placement>> byGeometry;
    placeGeometries(byGeometry);
    // Room for what is coming, so the store's arrays never move meanwhile.
    std::int64_t vertices = 0, faces = 0;
    for (std::size_t gi = 0; gi < geoms_.size(); ++gi) {
        const std::int64_t times = std::max<std::int64_t>(1, static_cast<std::int64_t>(byGeometry[gi].size()));
        const int ps = positionSource(geoms_[gi]);
        std::int64_t v = ps < 0 ? 0 : static_cast<std::int64_t>(sources_[static_cast<std::size_t>(ps)].values.size() / 3);
        std::int64_t f = 0;  // corners: a bound on the triangles
        for (const Primitive& pr : geoms_[gi].prims)
            f += static_cast<std::int64_t>(pr.idx.size() / std::max<std::size_t>(1, pr.inputs.size()));
        vertices += times * v;
        faces += times * f;
    }
    m_.reserveFor(std::min<std::int64_t>(vertices, 50000000), std::min<std::int64_t>(faces, 50000000));
    for (std::size_t gi = 0; gi < geoms_.size(); ++gi) {
        const auto& pls = byGeometry[gi];
        if (pls.empty()) {
            if (!emitGeometry(static_cast<int>(gi), nullptr, 0)) {
                ctx_.app.readAbort = true;
                return false;
            }
            continue;
        }
        for (std::size_t k = 0; k < pls.size(); ++k)
            if (!emitGeometry(static_cast<int>(gi), &pls[k], static_cast<int>(k))) {
                ctx_.app.readAbort = true;
                return false;
            }
    }
    if (m_.ttlnum_Faces >= kMaxFaces) {
        ctx_.msgBox("The document holds more than " + std::to_string(kMaxFaces) + " triangles");
        ctx_.app.readAbort = true;
        return false;
    }
    return true;
}

}  // namespace

bool LoadDaeBytes(Context& ctx, std::string_view bytes) {
    std::string recoded;
    if (xmlNeedsRecoding(bytes)) {
        recoded.assign(bytes);
        std::string err;
        if (!makeXmlUtf8(recoded, err)) {
            ctx.lastErrText = ctx.app.srcFile + ": " + err;
            ctx.msgBox("Cannot read " + ctx.app.srcFile + ": " + err);
            ctx.app.readAbort = true;
            return false;
        }
        bytes = recoded;
    }
    DaeReader r(ctx, bytes);
    return r.run();
}

bool LoadDae(Context& ctx, const std::string& path) {
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) {
        ctx.lastErrText = path + ": " + err;
        ctx.msgBox("Cannot read " + path + ": " + err);
        ctx.app.readAbort = true;
        return false;
    }
    return LoadDaeBytes(ctx, bytes);
}

}  // namespace molv
