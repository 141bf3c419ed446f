// Small Collada documents for the reader's tests, in the layout exporters
// use: one tag, or one element with its text, per line.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "support/context_calls.h"
#include "formats/dae_reader.h"
#include "convert/context.h"
#include "core/scripted_ui.h"

namespace molv::daetest {

// A textured quad of four positions (1 2 3, 4 2 3, 4 5 3, 1 5 3) in two
// triangles whose first corner uses position 0 with two different texture
// coordinates; material "Wood" with an image, colours, shininess and
// transparency; one node placing the geometry with an identity matrix.
inline std::string quadDoc() {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset>
<up_axis>Z_UP</up_axis>
</asset>
<library_images>
<image id="tex-img" name="tex-img">
<init_from>./maps/Wood Planks.png</init_from>
</image>
</library_images>
<library_materials>
<material id="Wood" name="Wood">
<instance_effect url="#Wood-fx"/>
</material>
</library_materials>
<library_effects>
<effect id="Wood-fx" name="Wood-fx">
<profile_COMMON>
<newparam sid="tex-surface">
<surface type="2D">
<init_from>tex-img</init_from>
</surface>
</newparam>
<newparam sid="tex-sampler">
<sampler2D>
<source>tex-surface</source>
</sampler2D>
</newparam>
<technique sid="common">
<phong>
<ambient>
<color>0.1 0.2 0.3 1</color>
</ambient>
<diffuse>
<texture texture="tex-sampler" texcoord="UVMap"/>
</diffuse>
<specular>
<color>0.5 0.25 1 1</color>
</specular>
<shininess>
<float>12.5</float>
</shininess>
<transparency>
<float>0.25</float>
</transparency>
</phong>
</technique>
</profile_COMMON>
</effect>
</library_effects>
<library_geometries>
<geometry id="Quad-mesh" name="Quad">
<mesh>
<source id="Quad-mesh-positions">
<float_array id="Quad-mesh-positions-array" count="12">1 2 3 4 2 3 4 5 3 1 5 3</float_array>
<technique_common>
<accessor source="#Quad-mesh-positions-array" count="4" stride="3">
<param name="X" type="float"/>
<param name="Y" type="float"/>
<param name="Z" type="float"/>
</accessor>
</technique_common>
</source>
<source id="Quad-mesh-normals">
<float_array id="Quad-mesh-normals-array" count="3">0 0 1</float_array>
<technique_common>
<accessor source="#Quad-mesh-normals-array" count="1" stride="3">
<param name="X" type="float"/>
<param name="Y" type="float"/>
<param name="Z" type="float"/>
</accessor>
</technique_common>
</source>
<source id="Quad-mesh-uvs">
<float_array id="Quad-mesh-uvs-array" count="10">0 0 1 0 1 1 0.25 0.5 0 1</float_array>
<technique_common>
<accessor source="#Quad-mesh-uvs-array" count="5" stride="2">
<param name="S" type="float"/>
<param name="T" type="float"/>
</accessor>
</technique_common>
</source>
<vertices id="Quad-mesh-vertices">
<input semantic="POSITION" source="#Quad-mesh-positions"/>
</vertices>
<triangles material="Wood-material" count="2">
<input semantic="VERTEX" source="#Quad-mesh-vertices" offset="0"/>
<input semantic="NORMAL" source="#Quad-mesh-normals" offset="1"/>
<input semantic="TEXCOORD" source="#Quad-mesh-uvs" offset="2" set="0"/>
<p>0 0 0 1 0 1 2 0 2 0 0 3 2 0 2 3 0 4</p>
</triangles>
</mesh>
</geometry>
</library_geometries>
<library_visual_scenes>
<visual_scene id="Scene" name="Scene">
<node id="Quad" name="Quad" type="NODE">
<matrix sid="transform">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix>
<instance_geometry url="#Quad-mesh" name="Quad">
<bind_material>
<technique_common>
<instance_material symbol="Wood-material" target="#Wood"/>
</technique_common>
</bind_material>
</instance_geometry>
</node>
</visual_scene>
</library_visual_scenes>
<scene>
<instance_visual_scene url="#Scene"/>
</scene>
</COLLADA>
)";
}

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

struct Loaded {
    ScriptedUI ui;
    Context ctx{ui};
    bool ok = false;
    ReadResult result;
    const ModelStore& m() const { return ctx.model; }
    bool sawBox(const std::string& s) const { return ui.sawBox(s); }
};

template <class Setup>
std::unique_ptr<Loaded> load(std::string_view doc, Setup setup) {
    auto l = std::make_unique<Loaded>();
    l->ctx.app.srcFile = "test.dae";
    l->ctx.app.modelName = "model";
    setup(l->ctx);
    l->result = LoadDaeBytes(l->ctx, doc);
    l->ok = l->result.ok();
    return l;
}

inline std::unique_ptr<Loaded> load(std::string_view doc) {
    return load(doc, [](Context&) {});
}

}  // namespace molv::daetest
