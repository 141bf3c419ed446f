// Collada reader, parse half. Each library section has its own handlers for
// the elements opening and closing; the text of the innermost element that
// matters is gathered and handed to the record that was newest when it
// opened.
#include "formats/dae_parse.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/trig.h"
#include "util/xml_text.h"

namespace molv::dae {

namespace {

constexpr std::size_t kMaxDepth = 1000;  // open elements

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
    {"p", K::P}, {"ph", K::Ph}, {"h", K::H},
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


// Row-vector form (p' = p x M) of a rotation by deg degrees about an axis.
Mat4 axisRotation(double x, double y, double z, double deg) {
    double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0)) return MatIdentity();
    x /= len, y /= len, z /= len;
    const SinCos sc = sinCosDegrees(deg);
    const double c = sc.c, s = sc.s, t = 1 - c;
    // Column-vector matrix R; its transpose acts on row vectors.
    double r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                      {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                      {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
    Mat4 m = MatIdentity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m.m[i][j] = static_cast<float>(r[j][i]);
    return m;
}


class Parser {
public:
    Parser(Io& io, std::string_view bytes, Doc& doc) : io_(io), doc_(doc), cur_(bytes) {}
    ReadResult run();

private:
    // The open element once closed, with what it collected.
    struct Closed {
        K kind;
        K parent;
        TextUse use;
        std::string text;  // decoded and trimmed, for TextUse::Collect
        std::int32_t openLine;
    };

    void onStart(K k, std::string_view name, std::string_view attrs);
    void onEnd(K k);
    void onText(std::string_view t);
    void collect(TextUse use);

    // One handler per library section, for elements opening...
    void startImage(K k, std::string_view a);
    void startEffect(K k, std::string_view a);
    void startEffectColour(K k, std::string_view a);
    void startMaterial(K k, std::string_view a);
    void startGeometry(K k, std::string_view a);
    void startPrimitive(K k, std::string_view a);
    void startPrimitiveInput(std::string_view a);
    void startController(K k, std::string_view a);
    void startVisualScene(K k, std::string_view a);
    // ... and closing.
    void endAsset(const Closed& c);
    void endImage(const Closed& c);
    void endEffect(const Closed& c);
    void endGeometry(const Closed& c);
    void endController(const Closed& c);
    void endVisualScene(const Closed& c);
    void endTransform(const Closed& c);

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
    bool inColour(K parent) const {
        return colourWhich_ >= 0 && (parent == K::Ambient || parent == K::Diffuse || parent == K::Specular);
    }
    Node* openNode() { return openNodes_.empty() ? nullptr : &doc_.nodes[static_cast<std::size_t>(openNodes_.back())]; }
    Primitive* lastPrimitive() {
        return doc_.geoms.empty() || doc_.geoms.back().prims.empty() ? nullptr : &doc_.geoms.back().prims.back();
    }
    ReadResult fatal(const std::string& msg, std::int32_t line, const std::string& text);

    Io& io_;
    Doc& doc_;
    XmlCursor cur_;

    struct Open {
        K kind;
        std::string_view name;
        std::int32_t line;
    };
    std::vector<Open> stack_;
    int depthOf_[static_cast<int>(K::Light) + 1] = {};
    bool sawRoot_ = false;

    TextUse textUse_ = TextUse::None;
    std::size_t textDepth_ = 0;
    std::string textBuf_;
    std::size_t textSource_ = 0, textGeom_ = 0, textPrim_ = 0;
    bool upSeen_ = false;

    std::vector<int> openNodes_;
    std::vector<std::string> unexpectedSeen_;

    // Element state.
    std::string imageId_;
    std::string paramSid_;
    int colourWhich_ = -1;       // ambient/diffuse/specular element open in an effect
    bool colourChildSeen_ = false;
    int floatWhich_ = -1;        // 0 shininess, 1 transparency
    int instanceNode_ = -1;      // node of the open instance_geometry/controller, -1 when none
};

ReadResult Parser::fatal(const std::string& msg, std::int32_t line, const std::string& text) {
    io_.setWhere(line, text);
    const std::string shown =
        "***** ERROR: " + msg + "\r\n(at line " + std::to_string(line) + " in " + io_.srcFile + ")\r\n" + text;
    io_.log("***** ERROR: " + msg + " at line " + std::to_string(line), 0);
    return ReadResult::failed(shown, io_.srcFile, line);
}

ReadResult Parser::run() {
    for (;;) {
        XmlCursor::Event ev = cur_.next();
        switch (ev) {
            case XmlCursor::StartTag: {
                io_.setLine(cur_.line());
                if (io_.dbgTrace) {
                    io_.setWhere(cur_.line(), cur_.lineText());
                    io_.logFile(std::to_string(cur_.line()) + ": " + cur_.lineText());
                }
                std::string_view name = cur_.name();
                K k = kindOf(name);
                if (!sawRoot_) {
                    sawRoot_ = true;
                    if (k != K::Collada)
                        return fatal("not a Collada document: its first element is <" + std::string(name) + ">",
                                     cur_.line(), cur_.lineText());
                }
                if (stack_.size() >= kMaxDepth)
                    return fatal("elements nested deeper than " + std::to_string(kMaxDepth), cur_.line(),
                                 cur_.lineText());
                onStart(k, name, cur_.rawAttrs());
                if (cur_.selfClosing()) onEnd(stack_.back().kind);
                break;
            }
            case XmlCursor::EndTag: {
                io_.setLine(cur_.line());
                if (stack_.empty() || stack_.back().name != cur_.name()) {
                    std::string open = stack_.empty() ? std::string() : std::string(stack_.back().name);
                    return fatal("Mismatched tags: " + open + " : /" + std::string(cur_.name()), cur_.line(),
                                 cur_.lineText());
                }
                onEnd(stack_.back().kind);
                break;
            }
            case XmlCursor::Text:
                if (textUse_ != TextUse::None && stack_.size() == textDepth_) onText(cur_.text());
                break;
            case XmlCursor::End:
                if (!sawRoot_) return fatal("not a Collada document: no elements", cur_.line(), "");
                if (!stack_.empty()) {
                    const Open& o = stack_.back();
                    return fatal("the document ends before <" + std::string(o.name) + "> (opened at line " +
                                      std::to_string(o.line) + ") is closed",
                                  cur_.line(), "");
                }
                return ReadResult{};
            case XmlCursor::Error:
                return fatal("broken XML: " + cur_.error(), cur_.line(), cur_.lineText());
        }
    }
}

// The text goes to the element just opened, and to the records that are
// the newest now, whatever opens inside it.
void Parser::collect(TextUse use) {
    textUse_ = use;
    textDepth_ = stack_.size();
    textBuf_.clear();
    textSource_ = doc_.sources.empty() ? 0 : doc_.sources.size() - 1;
    textGeom_ = doc_.geoms.empty() ? 0 : doc_.geoms.size() - 1;
    textPrim_ = doc_.geoms.empty() || doc_.geoms.back().prims.empty() ? 0 : doc_.geoms.back().prims.size() - 1;
}

void Parser::onStart(K k, std::string_view name, std::string_view a) {
    const K parent = parentKind();
    // A colour element's first child decides what it holds.
    if (inColour(parent) && !colourChildSeen_) {
        colourChildSeen_ = true;
        if (k != K::Color && k != K::Texture) {
            askAt(io_, "expected COLOR or TEXTURE tag, got (" + std::string(name) + ")", here());
        }
    }
    stack_.push_back(Open{k, name, cur_.line()});
    depthOf_[static_cast<int>(k)] += 1;

    switch (k) {
        case K::UpAxis:
            if (parent == K::Asset && parentKind(3) == K::Collada) collect(TextUse::Collect);
            break;
        case K::Image: case K::InitFrom: case K::Ref:
            startImage(k, a);
            break;
        case K::Effect: case K::Newparam: case K::InstanceImage:
            startEffect(k, a);
            break;
        case K::Ambient: case K::Diffuse: case K::Specular: case K::Color: case K::Texture:
        case K::Shininess: case K::Transparency: case K::Float:
            startEffectColour(k, a);
            break;
        case K::Source:
            if (parent == K::Sampler2D)
                startEffect(k, a);
            else
                startGeometry(k, a);
            break;
        case K::Material: case K::InstanceEffect:
            startMaterial(k, a);
            break;
        case K::Geometry: case K::Mesh: case K::FloatArray: case K::Accessor: case K::Param: case K::Vertices:
            startGeometry(k, a);
            break;
        case K::Triangles: case K::Polylist: case K::Polygons: case K::Tristrips: case K::Trifans:
        case K::Input: case K::Vcount: case K::P: case K::H:
            startPrimitive(k, a);
            break;
        case K::Controller: case K::Skin: case K::BindShapeMatrix:
            startController(k, a);
            break;
        case K::VisualScene: case K::Node: case K::Matrix: case K::Translate: case K::Rotate: case K::Scale:
        case K::Lookat: case K::Skew: case K::InstanceGeometry: case K::InstanceController:
        case K::InstanceMaterial: case K::InstanceNode: case K::InstanceVisualScene:
            startVisualScene(k, a);
            break;
        default:
            break;
    }
}

void Parser::onText(std::string_view t) {
    switch (textUse_) {
        case TextUse::Collect:
            if (textBuf_.size() < (1u << 20)) textBuf_.append(t);
            break;
        case TextUse::Floats: {
            Source& s = doc_.sources[textSource_];
            parseFloats(t, s.values, s.badNumbers);
            break;
        }
        case TextUse::Ints: {
            Primitive& pr = doc_.geoms[textGeom_].prims[textPrim_];
            parseInts(t, pr.idx, pr.badIndexTokens);
            break;
        }
        case TextUse::Vcount: {
            Primitive& pr = doc_.geoms[textGeom_].prims[textPrim_];
            parseInts(t, pr.vcount, pr.badIndexTokens);
            break;
        }
        case TextUse::None:
            break;
    }
}

void Parser::onEnd(K k) {
    const bool collected = textUse_ != TextUse::None && stack_.size() == textDepth_;
    Closed c{k, K::Other, collected ? textUse_ : TextUse::None, {}, stack_.back().line};
    if (collected) textUse_ = TextUse::None;
    if (c.use == TextUse::Collect) c.text = decodeXmlText(trimView(textBuf_));
    stack_.pop_back();
    depthOf_[static_cast<int>(k)] -= 1;
    c.parent = parentKind();

    switch (k) {
        case K::UpAxis:
            endAsset(c);
            break;
        case K::InitFrom: case K::Ref:
            endImage(c);
            break;
        case K::SamplerSource: case K::Newparam: case K::Color: case K::Ambient: case K::Diffuse: case K::Specular:
        case K::Float: case K::Shininess: case K::Transparency:
            endEffect(c);
            break;
        case K::FloatArray:
            endGeometry(c);
            break;
        case K::BindShapeMatrix:
            endController(c);
            break;
        case K::Matrix: case K::Translate: case K::Rotate: case K::Scale: case K::Lookat: case K::Skew:
            endTransform(c);
            break;
        case K::Node: case K::InstanceGeometry: case K::InstanceController:
            endVisualScene(c);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// asset, library_images

void Parser::endAsset(const Closed& c) {
    if (c.use != TextUse::Collect || upSeen_) return;
    upSeen_ = true;
    if (equalsNoCase(c.text, "Z_UP"))
        doc_.up = Up::Z;
    else if (equalsNoCase(c.text, "X_UP"))
        doc_.up = Up::X;
    else
        doc_.up = Up::Y;
}

void Parser::startImage(K k, std::string_view a) {
    const K parent = parentKind(2);
    switch (k) {
        case K::Image:
            imageId_ = attr(a, "id");
            if (io_.dbgLevel > 0) io_.logFile("  Image Def: " + imageId_);
            break;
        case K::InitFrom:
            if (parent == K::Image || parent == K::Surface) collect(TextUse::Collect);
            break;
        case K::Ref:
            if (parent == K::InitFrom && parentKind(3) == K::Image) collect(TextUse::Collect);
            break;
        default:
            break;
    }
}

// init_from of an image names its file; inside an effect's surface it names
// the image.
void Parser::endImage(const Closed& c) {
    if (c.use != TextUse::Collect) return;
    if (c.kind == K::Ref) {
        if (!c.text.empty()) doc_.images[imageId_] = c.text;
    } else if (c.parent == K::Image) {
        if (!c.text.empty()) {
            doc_.images[imageId_] = c.text;
            if (io_.dbgLevel > 0) io_.logFile("  ImageFile: " + io_.modelName + "_" + fileNameOf(c.text));
        }
    } else if (c.parent == K::Surface && inside(K::Effect) && !doc_.effects.empty()) {
        Effect& e = doc_.effects.back();
        e.surfaceImages.push_back(c.text);
        if (!paramSid_.empty()) e.surfaceOf[paramSid_] = c.text;
    }
}

// ---------------------------------------------------------------------------
// library_effects

void Parser::startEffect(K k, std::string_view a) {
    const K parent = parentKind(2);
    switch (k) {
        case K::Effect: {
            Effect e;
            e.id = attr(a, "id");
            e.where = here();
            doc_.effectById.emplace(e.id, static_cast<int>(doc_.effects.size()));
            doc_.effects.push_back(std::move(e));
            break;
        }
        case K::Newparam:
            paramSid_ = attr(a, "sid");
            break;
        case K::Source:  // a sampler's surface
            collect(TextUse::Collect);
            retag(K::SamplerSource);
            break;
        case K::InstanceImage:
            if (parent == K::Sampler2D && inside(K::Effect) && !paramSid_.empty() && !doc_.effects.empty())
                doc_.effects.back().samplerImage[paramSid_] = stripHash(attr(a, "url"));
            break;
        default:
            break;
    }
}

void Parser::startEffectColour(K k, std::string_view a) {
    const K parent = parentKind(2);
    const bool inEffect = inside(K::Effect) && !doc_.effects.empty();
    switch (k) {
        case K::Ambient:
        case K::Diffuse:
        case K::Specular:
            if (inEffect && !inside(K::Light)) {
                colourWhich_ = k == K::Ambient ? 0 : k == K::Diffuse ? 1 : 2;
                colourChildSeen_ = false;
            }
            break;
        case K::Color:
            if (inColour(parent)) collect(TextUse::Collect);
            break;
        case K::Texture:
            if (inColour(parent) && !doc_.effects.empty()) {
                Effect& e = doc_.effects.back();
                ColourOp op;
                op.which = colourWhich_;
                op.texture = true;
                e.colours.push_back(op);
                std::string ref = attr(a, "texture");
                if (!ref.empty()) e.textureRefs.push_back(ref);
                if (colourWhich_ != 1) io_.box(std::string("Texture on ") + (colourWhich_ == 0 ? "ambient" : "specular"));
            }
            break;
        case K::Shininess:
        case K::Transparency:
            if (inEffect && !inside(K::Light)) floatWhich_ = k == K::Shininess ? 0 : 1;
            break;
        case K::Float:
            if (floatWhich_ >= 0 && (parent == K::Shininess || parent == K::Transparency)) collect(TextUse::Collect);
            break;
        default:
            break;
    }
}

void Parser::endEffect(const Closed& c) {
    const bool text = c.use == TextUse::Collect && !doc_.effects.empty();
    switch (c.kind) {
        case K::SamplerSource:
            if (text && inside(K::Effect) && !paramSid_.empty()) doc_.effects.back().samplerOf[paramSid_] = c.text;
            break;
        case K::Newparam:
            paramSid_.clear();
            break;
        case K::Color:
            if (text && colourWhich_ >= 0) {
                ColourOp op;
                op.which = colourWhich_;
                double v[3] = {0, 0, 0};
                smallFloats(c.text, v, 3);
                for (int i = 0; i < 3; ++i) op.rgb[i] = v[i];
                doc_.effects.back().colours.push_back(op);
            }
            break;
        case K::Ambient:
        case K::Diffuse:
        case K::Specular:
            if (colourWhich_ >= 0 && !colourChildSeen_) {
                askAt(io_, std::string("expected COLOR or TEXTURE tag, got (/") +
                               (c.kind == K::Ambient ? "ambient" : c.kind == K::Diffuse ? "diffuse" : "specular") + ")",
                      here());
            }
            colourWhich_ = -1;
            break;
        case K::Float: {
            double num = 0;
            if (!text || floatWhich_ < 0 || smallFloats(c.text, &num, 1) != 1 ||
                trimView(c.text).find_first_of(" \t\r\n") != std::string_view::npos)
                break;
            Effect& e = doc_.effects.back();
            if (floatWhich_ == 0) {
                e.hasShininess = true;
                e.shininess = static_cast<float>(num);
            } else {
                e.hasTransparency = true;
                e.transparency = static_cast<float>(num);
            }
            break;
        }
        case K::Shininess:
        case K::Transparency:
            floatWhich_ = -1;
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// library_materials

void Parser::startMaterial(K k, std::string_view a) {
    if (k == K::Material) {
        MaterialDef md;
        md.name = attr(a, "id");
        if (md.name.empty()) md.name = attr(a, "name");
        doc_.materials.push_back(std::move(md));
    } else if (parentKind(2) == K::Material && !doc_.materials.empty()) {
        doc_.materials.back().effect = stripHash(attr(a, "url"));
    }
}

// ---------------------------------------------------------------------------
// library_geometries

void Parser::startGeometry(K k, std::string_view a) {
    const K parent = parentKind(2), grand = parentKind(3);
    switch (k) {
        case K::Geometry: {
            Geometry g;
            g.id = attr(a, "id");
            g.where = here();
            doc_.geomById.emplace(g.id, static_cast<int>(doc_.geoms.size()));
            doc_.geoms.push_back(std::move(g));
            break;
        }
        case K::Mesh:
            if (parent == K::Geometry && !doc_.geoms.empty()) doc_.geoms.back().hasMesh = true;
            break;
        case K::Source:
            if (parent == K::Mesh && !doc_.geoms.empty()) {
                Source s;
                s.id = attr(a, "id");
                s.where = here();
                int si = static_cast<int>(doc_.sources.size());
                doc_.sourceById.emplace(s.id, si);
                doc_.sources.push_back(std::move(s));
                doc_.geoms.back().sources.push_back(si);
            }
            break;
        case K::FloatArray:
            if (parent == K::Source && grand == K::Mesh && !doc_.sources.empty()) collect(TextUse::Floats);
            break;
        case K::Accessor:
            if (grand == K::Source && parentKind(4) == K::Mesh && !doc_.sources.empty()) {
                Source& s = doc_.sources.back();
                std::string v = attr(a, "count");
                s.accCount = v.empty() ? -1 : countOf(v);
                v = attr(a, "stride");
                s.accStride = v.empty() ? 0 : static_cast<std::int32_t>(std::clamp(leadingNumber(v), 0.0, 1e6));
                v = attr(a, "offset");
                s.accOffset = v.empty() ? 0 : std::max<std::int64_t>(0, countOf(v));
            }
            break;
        case K::Param:
            if (parent == K::Accessor && inside(K::Mesh) && !doc_.sources.empty()) doc_.sources.back().params += 1;
            break;
        case K::Vertices:
            if (parent == K::Mesh && !doc_.geoms.empty()) doc_.geoms.back().verticesId = attr(a, "id");
            break;
        default:
            break;
    }
}

void Parser::startPrimitive(K k, std::string_view a) {
    const K parent = parentKind(2);
    switch (k) {
        case K::Input:
            if (doc_.geoms.empty()) break;
            if (parent == K::Vertices && parentKind(3) == K::Mesh) {
                Input in;
                in.semantic = toUpperAscii(attr(a, "semantic"));
                in.source = stripHash(attr(a, "source"));
                doc_.geoms.back().vertexInputs.push_back(std::move(in));
            } else if (isPrimitive(parent) && lastPrimitive()) {
                startPrimitiveInput(a);
            }
            break;
        case K::Vcount:
            if (parent == K::Polylist && lastPrimitive()) collect(TextUse::Vcount);
            break;
        case K::P:
            // A polygon with holes (<ph>) gives its outline.
            if ((isPrimitive(parent) || (parent == K::Ph && parentKind(3) == K::Polygons)) && lastPrimitive()) {
                Primitive& pr = *lastPrimitive();
                pr.pStarts.push_back(pr.idx.size());
                collect(TextUse::Ints);
            }
            break;
        case K::H:
            // Marks the outline just read (the <p> of this <ph>) as holed.
            if (parent == K::Ph && parentKind(3) == K::Polygons && lastPrimitive() &&
                !lastPrimitive()->pStarts.empty()) {
                Primitive& pr = *lastPrimitive();
                const std::size_t outline = pr.pStarts.size() - 1;
                if (pr.holed.empty() || pr.holed.back() != outline) pr.holed.push_back(outline);
            }
            break;
        default:  // the primitive element itself
            if (parent == K::Mesh && !doc_.geoms.empty()) {
                Primitive pr;
                pr.kind = k;
                pr.material = attr(a, "material");
                std::string c = attr(a, "count");
                if (!c.empty()) pr.count = countOf(c);
                pr.where = here();
                doc_.geoms.back().prims.push_back(std::move(pr));
            } else {
                retag(K::Other);  // not ours: its inputs and p are passed over
            }
            break;
    }
}

void Parser::startPrimitiveInput(std::string_view a) {
    Primitive& pr = *lastPrimitive();
    Input in;
    in.semantic = toUpperAscii(attr(a, "semantic"));
    in.source = stripHash(attr(a, "source"));
    int expected = in.semantic == "VERTEX" ? 0 : in.semantic == "NORMAL" ? 1 : in.semantic == "TEXCOORD" ? 2 : -1;
    if (expected < 0 &&
        std::find(unexpectedSeen_.begin(), unexpectedSeen_.end(), in.semantic) == unexpectedSeen_.end()) {
        unexpectedSeen_.push_back(in.semantic);
        askAt(io_, "Unexpected Triangles Input (" + in.semantic + ")", here());
    }
    std::string o = attr(a, "offset");
    std::optional<double> ov = parseNumber(o);
    if (!ov || *ov < 0 || *ov > 1000 || *ov != std::floor(*ov)) {
        int fallback = std::max(expected, 0);
        askAt(io_,
              "Expected offset " + std::to_string(fallback) + " for semantic " + in.semantic + ", found " +
                  (o.empty() ? std::string("none") : o),
              here());
        in.offset = fallback;
    } else {
        in.offset = static_cast<std::int32_t>(*ov);
    }
    std::string st = attr(a, "set");
    if (!st.empty()) in.set = static_cast<std::int32_t>(std::clamp(leadingNumber(st), 0.0, 1e6));
    pr.inputs.push_back(std::move(in));
}

void Parser::endGeometry(const Closed& c) {
    if (c.use != TextUse::Floats || textSource_ >= doc_.sources.size()) return;
    const Source& s = doc_.sources[textSource_];
    if (s.badNumbers > 0)
        io_.log("float_array of source " + s.id + ": " + std::to_string(s.badNumbers) +
                " values are not numbers and read as 0 (at line " + std::to_string(c.openLine) + ")");
}

// ---------------------------------------------------------------------------
// library_controllers

void Parser::startController(K k, std::string_view a) {
    const K parent = parentKind(2);
    if (k == K::Controller) {
        Controller c;
        c.id = attr(a, "id");
        doc_.controllers.push_back(std::move(c));
    } else if (doc_.controllers.empty()) {
        return;
    } else if (k == K::Skin && parent == K::Controller) {
        doc_.controllers.back().skinSource = stripHash(attr(a, "source"));
    } else if (k == K::BindShapeMatrix && parent == K::Skin) {
        collect(TextUse::Collect);
    }
}

void Parser::endController(const Closed& c) {
    if (c.use != TextUse::Collect || doc_.controllers.empty()) return;
    double v[16];
    if (smallFloats(c.text, v, 16) == 16) {
        Mat4 col;
        for (int i = 0; i < 16; ++i) col.m[i / 4][i % 4] = static_cast<float>(v[i]);
        doc_.controllers.back().bindShape = MatTranspose(col);
    }
}

// ---------------------------------------------------------------------------
// library_visual_scenes, library_nodes

void Parser::startVisualScene(K k, std::string_view a) {
    const K parent = parentKind(2);
    switch (k) {
        case K::VisualScene: {
            VisualScene vs;
            vs.id = attr(a, "id");
            doc_.scenes.push_back(std::move(vs));
            break;
        }
        case K::Node: {
            Node n;
            n.id = attr(a, "id");
            n.line = cur_.line();
            int ni = static_cast<int>(doc_.nodes.size());
            if (!n.id.empty()) doc_.nodeById.emplace(n.id, ni);
            doc_.nodes.push_back(std::move(n));
            if (parent == K::Node && openNode())
                openNode()->children.push_back(ni);
            else if (parent == K::VisualScene && !doc_.scenes.empty())
                doc_.scenes.back().roots.push_back(ni);
            openNodes_.push_back(ni);
            break;
        }
        case K::InstanceGeometry:
        case K::InstanceController:
            instanceNode_ = -1;
            if (parent == K::Node && openNode()) {
                InstanceRef r;
                r.controller = k == K::InstanceController;
                r.url = stripHash(attr(a, "url"));
                r.where = here();
                openNode()->instances.push_back(std::move(r));
                instanceNode_ = openNodes_.back();
            }
            break;
        case K::InstanceMaterial:
            if (instanceNode_ >= 0 && (inside(K::InstanceGeometry) || inside(K::InstanceController)))
                doc_.nodes[static_cast<std::size_t>(instanceNode_)].instances.back().binds.push_back(
                    Binding{attr(a, "symbol"), stripHash(attr(a, "target"))});
            break;
        case K::InstanceNode:
            if (parent == K::Node && openNode()) openNode()->nodeRefs.push_back(stripHash(attr(a, "url")));
            break;
        case K::InstanceVisualScene:
            doc_.sceneUrl = stripHash(attr(a, "url"));
            break;
        default:  // a transform
            if (parent == K::Node) collect(TextUse::Collect);
            break;
    }
}

void Parser::endVisualScene(const Closed& c) {
    if (c.kind == K::Node) {
        if (!openNodes_.empty()) openNodes_.pop_back();
    } else {
        instanceNode_ = -1;
    }
}

// Transforms apply in document order, the last nearest the geometry.
void Parser::endTransform(const Closed& c) {
    if (c.use != TextUse::Collect || !openNode()) return;
    Node& n = *openNode();
    double v[16];
    int got = smallFloats(c.text, v, 16);
    Mat4 t = MatIdentity();
    bool ok = true;
    if (c.kind == K::Matrix && got == 16) {
        Mat4 col;
        for (int i = 0; i < 16; ++i) col.m[i / 4][i % 4] = static_cast<float>(v[i]);
        t = MatTranspose(col);
    } else if (c.kind == K::Translate && got == 3) {
        t = MatTranslate(Vec3{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])});
    } else if (c.kind == K::Scale && got == 3) {
        t = MatScale(Vec3{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])});
    } else if (c.kind == K::Rotate && got == 4) {
        t = axisRotation(v[0], v[1], v[2], v[3]);
    } else {
        ok = false;
    }
    if (ok)
        n.local = MatMul(t, n.local);
    else
        io_.log("Node " + n.id + ": transform at line " + std::to_string(c.openLine) + " not used", 1);
}

}  // namespace

Answer askAt(Io& io, const std::string& msg, const Where& w) {
    io.setWhere(w.line, w.text);
    return io.box(msg + "\r\n(at line " + std::to_string(w.line) + " in " + io.srcFile + ")\r\n" + w.text,
                  Buttons::OkCancel);
}

ReadResult parseDocument(Io& io, std::string_view bytes, Doc& doc) {
    io.setLine(1);
    Parser p(io, bytes, doc);
    return p.run();
}

}  // namespace molv::dae
