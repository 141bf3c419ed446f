// Collada reader, parse half: one forward pass over the bytes keeps what the
// model needs as records shaped like the document (sources keep their
// numbers, triangle lists their indices, nodes their transforms), with
// id -> record maps. Nothing is resolved here and the store is not touched.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/read_result.h"
#include "model/store_fill.h"
#include "model/vecmath.h"
#include "core/ui.h"

namespace molv {
struct ReadEnv;
class ModelStore;

namespace dae {

// What the reader needs of its environment, gathered in one place
// (dae_reader.cpp).
class Io {
public:
    explicit Io(ReadEnv& env);
    Answer box(const std::string& text, Buttons b = Buttons::Ok);
    void log(const std::string& text, int level = 0);
    bool logWanted(int level) const { return level <= dbgLevel; }
    void logFile(const std::string& text);
    bool statusDue();
    void status(const std::string& text);
    // The element position later messages and the driver name.
    void setLine(std::int32_t line) { where.no = line; }
    void setWhere(std::int32_t line, const std::string& text) { where = SourceLine{line, text}; }
    SourceLine where;  // what the store's bad-face box quotes
    ModelStore& model();

    std::string srcFile, modelName;
    int dbgLevel = 0;
    bool dbgTrace = false;
    bool autoscaleUVs = false, flipUVs = false, rawLoad = false;

private:
    ReadEnv& env_;
};

// Element kinds the reader reacts to.
enum class K : std::uint8_t {
    Other,
    Collada, Asset, UpAxis,
    Image, InitFrom, Ref,
    Effect, Newparam, Surface, Sampler2D, SamplerSource, InstanceImage,
    Ambient, Diffuse, Specular, Color, Texture, Shininess, Transparency, Float,
    Material, InstanceEffect,
    Geometry, Mesh, Source, FloatArray, Accessor, Param, Vertices, Input,
    Triangles, Polylist, Polygons, Tristrips, Trifans, Vcount, P, Ph, H,
    Controller, Skin, BindShapeMatrix,
    VisualScene, Node, Matrix, Translate, Rotate, Scale, Lookat, Skew,
    InstanceGeometry, InstanceController, InstanceNode, InstanceMaterial,
    InstanceVisualScene, Light,
};

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
    std::vector<std::size_t> holed;    // polygons (indices into pStarts) whose <ph> holds holes, ascending
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
    Where where;
};

struct MaterialDef {
    std::string name;    // id, else name
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
    std::int32_t line = 0;
};

struct VisualScene {
    std::string id;
    std::vector<int> roots;
};

struct Controller {
    std::string id, skinSource;
    Mat4 bindShape = MatIdentity();
};

enum class Up { Y, Z, X };

// The document as the pass leaves it. Indices between records (a geometry's
// sources, a node's children, a scene's roots) are positions in these
// vectors and valid by construction; ids from the file resolve through the
// maps and may name nothing.
struct Doc {
    Up up = Up::Y;
    std::vector<Source> sources;
    std::unordered_map<std::string, int> sourceById;
    std::vector<Geometry> geoms;
    std::unordered_map<std::string, int> geomById;
    std::vector<Effect> effects;
    std::unordered_map<std::string, int> effectById;
    std::vector<MaterialDef> materials;
    std::unordered_map<std::string, std::string> images;  // id -> file as written
    std::vector<Node> nodes;
    std::unordered_map<std::string, int> nodeById;
    std::vector<VisualScene> scenes;
    std::vector<Controller> controllers;
    std::string sceneUrl;
};

// A question about the element at w: the message, its line and the line's
// text, with OK and Cancel.
Answer askAt(Io& io, const std::string& msg, const Where& w);

// The whole pass. Questions about odd but readable content are asked on the
// way; a document that is not well-formed Collada fails with the message
// shown and its line.
ReadResult parseDocument(Io& io, std::string_view bytes, Doc& doc);

}  // namespace dae
}  // namespace molv
