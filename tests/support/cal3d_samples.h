// Small binary Cal3D files built field by field, for the readers' tests:
// what the writers here never produce (springs, six influences, two texture
// coordinate sets) is in them.
#pragma once
#include <string>

#include "cal3d/cal3d_set.h"
#include "model/skeleton.h"
#include "model/store.h"
#include "util/binio.h"

namespace molv::test {

// Two submeshes: material thread 0 with 3 vertices, 2 texture coordinate
// sets, 1 spring, vertex 1 with six influences, 1 face; material thread 1
// with 4 vertices, no maps, 2 faces.
inline std::string cmfSample() {
    ByteWriter w;
    w.raw(std::string_view("CMF\0", 4));
    w.i32(1000);
    w.i32(2);
    for (int s = 0; s < 2; ++s) {
        const int nv = 3 + s, nf = 1 + s, springs = s == 0 ? 1 : 0, maps = s == 0 ? 2 : 0;
        for (int v : {s, nv, nf, 0, springs, maps}) w.i32(v);
        for (int v = 0; v < nv; ++v) {
            for (float f : {static_cast<float>(v), static_cast<float>(s), 0.5f * static_cast<float>(v), 0.0f, 0.6f, 0.8f})
                w.f32(f);
            w.i32(-1);
            w.i32(0);
            for (int t = 0; t < maps; ++t) {
                w.f32(0.25f * static_cast<float>(v));
                w.f32(0.5f * static_cast<float>(t));
            }
            const int k = s == 0 && v == 1 ? 6 : 1;
            w.i32(k);
            for (int i = 0; i < k; ++i) {
                w.i32(i);
                w.f32(1.0f / static_cast<float>(k));
            }
            if (springs > 0) w.f32(0.5f);
        }
        for (int i = 0; i < springs; ++i) {
            w.i32(0);
            w.i32(1);
            w.f32(2.0f);
            w.f32(1.0f);
        }
        for (int f = 0; f < nf; ++f) {
            w.i32(f);
            w.i32(f + 1);
            w.i32(f + 2);
        }
    }
    return std::move(w.bytes());
}

// Root "Pelvis" with two children, the second with a name of 20 characters.
inline std::string csfSample() {
    SkeletonStore sk;
    sk.skl_version = 1000;
    sk.num_Bones = 3;
    sk.Bones.assign(4, Bone{});
    const char* names[] = {"Pelvis", "Left Thigh", "Right_Thigh_12345678"};
    for (int i = 0; i < 3; ++i) {
        Bone& b = sk.Bones[static_cast<std::size_t>(i)];
        b.name = names[i];
        b.name_len = static_cast<std::int32_t>(b.name.size() + 1);
        b.TrXYZ[0] = static_cast<float>(i);
        b.RotXYZW[3] = 1;
        b.LocTrXYZ[1] = -static_cast<float>(i);
        b.LocRotXYZ[3] = 1;
        b.PBID = i == 0 ? -1 : 0;
    }
    sk.Bones[0].chldrn = {1, 2};
    sk.Bones[0].num_chldrn = 2;
    return skeletonCsfBytes(sk);
}

inline std::string crfSample() {
    Material mt;
    mt.ambient = Colour{51, 51, 51, 255};
    mt.diffuse = Colour{204, 128, 0, 255};
    mt.specular = Colour{0, 0, 0, 255};
    mt.shininess = 25;
    mt.maps = {"wood.bmp", "maps/bump.png"};
    mt.nMaps = 2;
    return materialCrfBytes(mt);
}

// As the Cal3D library writes XML today: two submeshes, springs and six
// influences in the first.
inline const char* const kXmfSample =
    "<MESH VERSION=\"1100\" NUMSUBMESH=\"2\">\n"
    "    <SUBMESH NUMVERTICES=\"3\" NUMFACES=\"1\" MATERIAL=\"0\" NUMLODSTEPS=\"0\" NUMSPRINGS=\"1\" NUMTEXCOORDS=\"2\">\n"
    "        <VERTEX ID=\"0\" NUMINFLUENCES=\"1\">\n            <POS>0 0 0</POS>\n            <NORM>0 0.6 0.8</NORM>\n"
    "            <TEXCOORD>0 0</TEXCOORD>\n            <TEXCOORD>0 0.5</TEXCOORD>\n"
    "            <INFLUENCE ID=\"0\">1</INFLUENCE>\n            <PHYSIQUE>0.5</PHYSIQUE>\n        </VERTEX>\n"
    "        <VERTEX ID=\"1\" NUMINFLUENCES=\"6\">\n            <POS>1 0 0.5</POS>\n            <NORM>0 0.6 0.8</NORM>\n"
    "            <TEXCOORD>0.25 0</TEXCOORD>\n            <TEXCOORD>0.25 0.5</TEXCOORD>\n"
    "            <INFLUENCE ID=\"0\">0.5</INFLUENCE>\n            <INFLUENCE ID=\"1\">0.1</INFLUENCE>\n"
    "            <INFLUENCE ID=\"2\">0.1</INFLUENCE>\n            <INFLUENCE ID=\"3\">0.1</INFLUENCE>\n"
    "            <INFLUENCE ID=\"4\">0.1</INFLUENCE>\n            <INFLUENCE ID=\"5\">0.1</INFLUENCE>\n"
    "            <PHYSIQUE>0.5</PHYSIQUE>\n        </VERTEX>\n"
    "        <VERTEX ID=\"2\" NUMINFLUENCES=\"1\">\n            <POS>2 0 1</POS>\n            <NORM>0 0.6 0.8</NORM>\n"
    "            <TEXCOORD>0.5 0</TEXCOORD>\n            <TEXCOORD>0.5 0.5</TEXCOORD>\n"
    "            <INFLUENCE ID=\"0\">1</INFLUENCE>\n            <PHYSIQUE>0.5</PHYSIQUE>\n        </VERTEX>\n"
    "        <SPRING VERTEXID=\"0 1\" COEF=\"2\" LENGTH=\"1\" />\n        <FACE VERTEXID=\"0 1 2\" />\n    </SUBMESH>\n"
    "    <SUBMESH NUMVERTICES=\"3\" NUMFACES=\"1\" MATERIAL=\"1\" NUMLODSTEPS=\"0\" NUMSPRINGS=\"0\" NUMTEXCOORDS=\"0\">\n"
    "        <VERTEX ID=\"0\" NUMINFLUENCES=\"1\">\n            <POS>0 1 0</POS>\n            <NORM>0 0 1</NORM>\n"
    "            <INFLUENCE ID=\"0\">1</INFLUENCE>\n        </VERTEX>\n"
    "        <VERTEX ID=\"1\" NUMINFLUENCES=\"1\">\n            <POS>1 1 0</POS>\n            <NORM>0 0 1</NORM>\n"
    "            <INFLUENCE ID=\"0\">1</INFLUENCE>\n        </VERTEX>\n"
    "        <VERTEX ID=\"2\" NUMINFLUENCES=\"1\">\n            <POS>2 1 0</POS>\n            <NORM>0 0 1</NORM>\n"
    "            <INFLUENCE ID=\"0\">1</INFLUENCE>\n        </VERTEX>\n"
    "        <FACE VERTEXID=\"0 1 2\" />\n    </SUBMESH>\n</MESH>\n";

inline const char* const kXsfSample =
    "<SKELETON VERSION=\"1100\" NUMBONES=\"3\">\n"
    "    <BONE ID=\"0\" NAME=\"Pelvis\" NUMCHILDS=\"2\">\n        <TRANSLATION>0 0 0</TRANSLATION>\n"
    "        <ROTATION>0 0 0 1</ROTATION>\n        <LOCALTRANSLATION>0 -0 0</LOCALTRANSLATION>\n"
    "        <LOCALROTATION>0 0 0 1</LOCALROTATION>\n        <PARENTID>-1</PARENTID>\n"
    "        <CHILDID>1</CHILDID>\n        <CHILDID>2</CHILDID>\n    </BONE>\n"
    "    <BONE ID=\"1\" NAME=\"Left &quot;Thigh&quot;\" NUMCHILDS=\"0\">\n        <TRANSLATION>1 0 0</TRANSLATION>\n"
    "        <ROTATION>0 0 0 1</ROTATION>\n        <PARENTID>0</PARENTID>\n    </BONE>\n"
    "    <BONE ID=\"2\" NAME=\"Right\" NUMCHILDS=\"0\">\n        <PARENTID>0</PARENTID>\n    </BONE>\n"
    "</SKELETON>\n";

inline const char* const kXrfSample =
    "<MATERIAL VERSION=\"1100\" NUMMAPS=\"2\">\n    <AMBIENT>51 51 51 255</AMBIENT>\n"
    "    <DIFFUSE>204 128 0 255</DIFFUSE>\n    <SPECULAR>0 0 0 255</SPECULAR>\n    <SHININESS>25</SHININESS>\n"
    "    <MAP>wood.bmp</MAP>\n    <MAP>maps/bump.png</MAP>\n</MATERIAL>\n";

}  // namespace molv::test
