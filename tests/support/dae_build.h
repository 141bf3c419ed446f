// Small Collada documents for the reader's tests, in the layout exporters
// use: one tag, or one element with its text, per line.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "support/harness.h"
#include "support/test_support.h"

namespace molv::daetest {

// A textured quad of four positions (1 2 3, 4 2 3, 4 5 3, 1 5 3) in two
// triangles whose first corner uses position 0 with two different texture
// coordinates; material "Wood" with an image, colours, shininess and
// transparency; one node placing the geometry with an identity matrix.
inline std::string quadDoc() { return test::readFile(test::dataPath("../support/quad.dae")); }

// Replaces the one occurrence of `from` (the test fails loudly otherwise).
inline std::string edit(std::string doc, std::string_view from, std::string_view to) {
    std::size_t at = doc.find(from);
    if (at == std::string::npos || doc.find(from, at + 1) != std::string::npos)
        return "<!-- edit failed: " + std::string(from) + " -->";
    doc.replace(at, from.size(), to);
    return doc;
}

// A minimal document around geometry and scene parts (Z_UP, no materials).
inline std::string wrapDoc(std::string_view geometries, std::string_view scene = {},
                           std::string_view upAxis = "Z_UP") {
    std::string d = "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\">\n<asset>\n<up_axis>";
    d += upAxis;
    d += "</up_axis>\n</asset>\n<library_geometries>\n";
    d += geometries;
    d += "</library_geometries>\n";
    if (!scene.empty()) {
        d += "<library_visual_scenes>\n<visual_scene id=\"S\">\n";
        d += scene;
        d += "</visual_scene>\n</library_visual_scenes>\n";
    }
    d += "</COLLADA>\n";
    return d;
}

// A geometry with the given positions and one primitive element.
inline std::string geometry(std::string_view id, std::string_view positions, std::string_view primitive) {
    std::string g = "<geometry id=\"";
    g += id;
    g += "\">\n<mesh>\n<source id=\"";
    g += id;
    g += "-pos\">\n<float_array id=\"a\">";
    g += positions;
    g += "</float_array>\n<technique_common>\n<accessor stride=\"3\">\n</accessor>\n</technique_common>\n</source>\n";
    g += "<vertices id=\"";
    g += id;
    g += "-v\">\n<input semantic=\"POSITION\" source=\"#";
    g += id;
    g += "-pos\"/>\n</vertices>\n";
    g += primitive;
    g += "</mesh>\n</geometry>\n";
    return g;
}

struct Loaded : test::TestContext {
    bool ok = false;
    const ModelStore& m() const { return ctx.model; }
    bool sawBox(const std::string& s) const { return ui.sawBox(s); }
};

template <class Setup>
std::unique_ptr<Loaded> load(std::string_view doc, Setup setup) {
    auto l = std::make_unique<Loaded>();
    l->ctx.app.modelName = "model";
    setup(l->ctx);
    l->ok = test::readDaeBytes(l->ctx, doc, "test.dae").ok();
    return l;
}

inline std::unique_ptr<Loaded> load(std::string_view doc) {
    return load(doc, [](Context&) {});
}

}  // namespace molv::daetest
