// Anim8or writer.
//
// Names written: textures "Mat<m>_Tex<k>", materials "Material_<m>", meshes
// "Fgrp_<g>" (store indices), the object after the output file. Each mesh
// holds the points its group uses, numbered from 0 in ascending store
// order, and the counts comment line our Anim8or reader needs. Coordinates
// are written with the shortest text that reads back as the same float.
//
// The store keeps z negated and each triangle's corners reversed against
// the right-handed files it reads (Anim8or's frame too): points are written
// with z negated and corners third, second, first, so a file read back
// gives the store it was written from, and the model is not mirrored.
#include "formats/an8_writer.h"

#include <algorithm>

#include "core/diagnostics.h"
#include "model/group_numbering.h"
#include "model/io_env.h"
#include "model/store.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"

namespace molv {

namespace {

constexpr const char* kEol = "\r\n";

// A string in Anim8or's quoting: backslash before a quote or a backslash;
// control characters (a line break would end the line) become blanks.
std::string quoted(std::string_view s) {
    std::string r = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') r += '\\';
        r += static_cast<unsigned char>(c) < ' ' ? ' ' : c;
    }
    return r + "\"";
}

// " (a b)" or " (a b c)": the shortest text of each float (adding 0 turns
// -0 into 0), appended in place (a million-point mesh makes many).
void appendTuple(std::string& out, std::initializer_list<float> values) {
    out += " (";
    bool first = true;
    for (float v : values) {
        if (!first) out += ' ';
        first = false;
        appendNumText(out, v + 0.0f);
    }
    out += ')';
}

std::string An8Rgb(const Colour& c) {
    return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b);
}

class An8Writer {
public:
    explicit An8Writer(WriteEnv& env) : env_(env), m_(env.model) {}

    std::string build(const std::string& objectName) {
        line("header {");
        line("  version { \"0.96 beta\" }");
        line("  build { \"2007.07.31\" }");
        line("}");
        An8WriteTextures();
        line("object { " + quoted(objectName));
        for (std::int32_t mt = 0; mt < nMaterials(); ++mt)
            An8WriteMaterial(mt, m_.materialAt(mt));
        bool wroteDefault = false;
        for (std::int32_t g = 0; g < m_.nFaceGrps && static_cast<std::size_t>(g) < m_.FaceGrps.size(); ++g) {
            num_.collect(m_, g);
            // A group without faces would be a mesh without points.
            if (num_.faces().empty()) continue;
            if (nMaterials() == 0 && !wroteDefault) {
                // Meshes name a material; a store without any gets a plain one.
                An8WriteMaterial(0, Material{});
                wroteDefault = true;
            }
            An8WriteMesh(g);
        }
        line("}");
        return std::move(out_);
    }

private:
    std::int32_t nMaterials() const {
        return std::min<std::int32_t>(m_.nMaterials, static_cast<std::int32_t>(m_.Materials.size()));
    }

    static std::int32_t mapCount(const Material& mt) {
        return std::min<std::int32_t>(std::max(0, mt.nMaps), static_cast<std::int32_t>(mt.maps.size()));
    }

    void line(std::string_view s) {
        out_ += s;
        out_ += kEol;
    }

    static std::string textureName(std::int32_t m, std::int32_t k) {
        return "Mat" + std::to_string(m) + "_Tex" + std::to_string(k);
    }

    void An8WriteTextures() {
        for (std::int32_t mt = 0; mt < nMaterials(); ++mt) {
            const Material& mat = m_.materialAt(mt);
            for (std::int32_t k = 0; k < mapCount(mat); ++k) {
                line("texture { " + quoted(textureName(mt, k)));
                line("  file { " + quoted(mat.maps[static_cast<std::size_t>(k)]) + " }");
                line("}");
            }
        }
    }

    void An8WriteMaterial(std::int32_t mt, const Material& mat) {
        line("  material { " + quoted("Material_" + std::to_string(mt)));
        line("    surface {");
        line("      /* RGB chunk no longer used */");
        line("      rgb { " + An8Rgb(mat.diffuse) + " }");
        line("      ambiant {");
        line("        rgb { " + An8Rgb(mat.ambient) + " }");
        line("        factor { 0.30000 }");
        line("      }");
        line("      diffuse {");
        line("        rgb { " + An8Rgb(mat.diffuse) + " }");
        line("        factor { 0.70000 }");
        for (std::int32_t k = 0; k < mapCount(mat); ++k) {
            line("        texturename { " + quoted(textureName(mt, k)) + " }");
            line("        textureparams {");
            line("          blendmode { decal }");
            line("          alphamode { none }");
            line("        }");
        }
        line("      }");
        line("      specular {");
        line("        rgb { " + An8Rgb(mat.specular) + " }");
        line("        factor { 0.05000 }");
        line("      }");
        line("      phongsize { " + numText(mat.shininess) + " }");
        line("    }");
        line("  }");
    }

    // The material a group's mesh names: its own when it exists, else the first.
    std::int32_t groupMaterial(const FaceGroup& fg) const {
        return fg.MtlID >= 0 && fg.MtlID < nMaterials() ? fg.MtlID : 0;
    }

    void An8WriteMesh(std::int32_t g) {
        const FaceGroup& fg = m_.groupAt(g);
        const std::string material = quoted("Material_" + std::to_string(groupMaterial(fg)));
        const bool textured = fg.num_maps > 0;
        const std::size_t n = num_.vertices().size();
        line("    mesh {");
        line("      name { " + quoted("Fgrp_" + std::to_string(g)) + " }");
        line("      material { " + material + " }");
        line("      smoothangle { 45 }");
        line("      /* " + std::to_string(n) + " points, " + std::to_string(num_.faces().size()) + " faces, " +
             std::to_string(textured ? n : 0) + " uvCoords */");
        line("      materiallist {");
        line("        materialname { " + material + " }");
        line("      }");
        const std::string uvText = An8WritePoints(textured);
        if (textured) {
            line("      texcoords {");
            line("       " + uvText);
            line("      }");
        }
        An8WriteFaces(textured);
        line("    }");
    }

    // Writes the points chunk; returns the text of the texture coordinates
    // (empty unless wanted).
    std::string An8WritePoints(bool wantUVs) {
        line("      points {");
        std::string pts, uvs;
        std::size_t count = 0;
        for (std::int32_t v : num_.vertices()) {
            const Vertex& vx = m_.vertexAt(v);
            appendTuple(pts, {vx.pos.x, vx.pos.y, -vx.pos.z});
            if (wantUVs) {
                // A point without a pair still gets one, so the numbers stay aligned.
                const UV uv = vx.UVs.empty() ? UV{} : vx.UVs[0];
                appendTuple(uvs, {uv.u, 1.0f - uv.v});
            }
            if (++count % 4 == 0) {
                line("       " + pts);
                pts.clear();
                if (wantUVs) {
                    uvs += kEol;
                    uvs += "       ";
                }
            }
            if (env_.diag.statusDue()) env_.diag.showStatus("V:" + std::to_string(v));
        }
        if (!pts.empty()) line("       " + pts);
        line("      }");
        return uvs;
    }

    void An8WriteFaces(bool textured) {
        const std::string prefix = std::string("        3 ") + (textured ? "4" : "0") + " 0 -1 (";
        line("      faces {");
        for (std::int32_t f : num_.faces()) {
            const Face& face = m_.faceAt(f);
            out_ += prefix;
            for (int k = 2; k >= 0; --k) {
                const std::int32_t local = num_.localOf(face.vtx[k]);
                out_ += " (";
                appendNumText(out_, static_cast<long long>(local));
                if (textured) {
                    out_ += ' ';
                    appendNumText(out_, static_cast<long long>(local));
                }
                out_ += ')';
            }
            out_ += " )";
            out_ += kEol;
        }
        line("      }");
    }

    WriteEnv& env_;
    const ModelStore& m_;
    GroupVertexNumbering num_;
    std::string out_;
};

}  // namespace

std::string buildAn8(WriteEnv& env, const std::string& objectName) { return An8Writer(env).build(objectName); }

bool WriteAn8(WriteEnv& env, const std::string& path) {
    return writeWhole(env, path, buildAn8(env, baseName(path)));
}

}  // namespace molv
