// Builds 3DS bytes chunk by chunk, so each test states exactly what the
// reader sees.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "util/binio.h"

namespace molv::test3ds {

inline std::string u16(std::uint16_t v) {
    ByteWriter w;
    w.i16(static_cast<std::int16_t>(v));
    return w.bytes();
}
inline std::string u32(std::uint32_t v) {
    ByteWriter w;
    w.u32(v);
    return w.bytes();
}
inline std::string f32(float v) {
    ByteWriter w;
    w.f32(v);
    return w.bytes();
}
inline std::string cstr(std::string_view s) { return std::string(s) + '\0'; }

// A chunk with the length its contents give.
inline std::string chunk(std::uint16_t id, std::string_view body) {
    return u16(id) + u32(static_cast<std::uint32_t>(body.size() + 6)) + std::string(body);
}
struct V3 {
    float x, y, z;
};
struct Tri {
    std::uint16_t a, b, c;
};
struct TexUV {
    float u, v;
};

inline std::string vertices(std::initializer_list<V3> vs) {
    std::string b = u16(static_cast<std::uint16_t>(vs.size()));
    for (auto& v : vs) b += f32(v.x) + f32(v.y) + f32(v.z);
    return chunk(0x4110, b);
}
inline std::string faces(std::initializer_list<Tri> fs, std::string_view sub = {}) {
    std::string b = u16(static_cast<std::uint16_t>(fs.size()));
    for (auto& f : fs) b += u16(f.a) + u16(f.b) + u16(f.c) + u16(7);
    return chunk(0x4120, b + std::string(sub));
}
inline std::string faceGroup(std::string_view material, std::initializer_list<std::uint16_t> members) {
    std::string b = cstr(material) + u16(static_cast<std::uint16_t>(members.size()));
    for (auto f : members) b += u16(f);
    return chunk(0x4130, b);
}
inline std::string texVerts(std::initializer_list<TexUV> uvs) {
    std::string b = u16(static_cast<std::uint16_t>(uvs.size()));
    for (auto& t : uvs) b += f32(t.u) + f32(t.v);
    return chunk(0x4140, b);
}
inline std::string trimesh(std::string_view body) { return chunk(0x4100, body); }
inline std::string object(std::string_view name, std::string_view body) { return chunk(0x4000, cstr(name) + std::string(body)); }

inline std::string matName(std::string_view name) { return chunk(0xA000, cstr(name)); }
inline std::string texMap(std::string_view file) { return chunk(0xA200, chunk(0x0030, u16(100)) + chunk(0xA300, cstr(file))); }
inline std::string material(std::string_view body) { return chunk(0xAFFF, body); }

inline std::string editor(std::string_view body) { return chunk(0x3D3D, chunk(0x3D3E, u32(3)) + std::string(body)); }
inline std::string mainChunk(std::string_view body) { return chunk(0x4D4D, chunk(0x0002, u32(3)) + std::string(body)); }

// One object with the three-vertex, one-face triangle of the basic case.
inline std::string triangleObject(std::string_view name, std::string_view extra = {}) {
    return object(name, trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faces({{0, 1, 2}}) + std::string(extra)));
}

}  // namespace molv::test3ds
