// Small glTF 2.0 documents for the reader's tests: one mesh whose buffer
// (positions as floats, then 16-bit indices, then texture coordinates and
// normals) is a data URI or a file beside the document.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace molv::gltftest {

inline std::string base64(std::string_view in) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                           static_cast<unsigned char>(in[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out += k[(v >> s) & 63];
    }
    if (i < in.size()) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        out += k[(v >> 18) & 63];
        out += k[(v >> 12) & 63];
        out += i + 1 < in.size() ? k[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

struct Mesh {
    std::vector<float> pos{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    std::vector<std::uint16_t> idx{0, 1, 2, 1, 3, 2};  // empty: not indexed
    std::vector<float> uv;                              // empty: none
    std::vector<float> normal;                          // empty: none
    std::string nodes = R"([{"mesh": 0}])";
    std::string materials;       // JSON array, or empty
    std::string extra;           // more top-level members, each ending in ","
    std::string bufferUri;       // empty: the bytes as a data URI
    int material = -1;
};

// The buffer's bytes, padded to four.
inline std::string bufferOf(const Mesh& m) {
    std::string b(reinterpret_cast<const char*>(m.pos.data()), m.pos.size() * 4);
    b.append(reinterpret_cast<const char*>(m.idx.data()), m.idx.size() * 2);
    while (b.size() % 4) b += '\0';
    b.append(reinterpret_cast<const char*>(m.uv.data()), m.uv.size() * 4);
    b.append(reinterpret_cast<const char*>(m.normal.data()), m.normal.size() * 4);
    return b;
}

inline std::string doc(const Mesh& m) {
    const std::string bytes = bufferOf(m);
    const std::size_t posLen = m.pos.size() * 4, idxLen = m.idx.size() * 2;
    const std::size_t uvAt = (posLen + idxLen + 3) / 4 * 4;
    std::string views = "{\"buffer\": 0, \"byteOffset\": 0, \"byteLength\": " + std::to_string(posLen) + "}";
    std::string accessors = "{\"bufferView\": 0, \"componentType\": 5126, \"count\": " + std::to_string(m.pos.size() / 3) +
                            ", \"type\": \"VEC3\"}";
    std::string attributes = "\"POSITION\": 0";
    std::string prim;
    int next = 1;
    if (!m.idx.empty()) {
        views += ", {\"buffer\": 0, \"byteOffset\": " + std::to_string(posLen) + ", \"byteLength\": " + std::to_string(idxLen) + "}";
        accessors += ", {\"bufferView\": 1, \"componentType\": 5123, \"count\": " + std::to_string(m.idx.size()) +
                     ", \"type\": \"SCALAR\"}";
        prim += ", \"indices\": " + std::to_string(next++);
    }
    if (!m.uv.empty()) {
        views += ", {\"buffer\": 0, \"byteOffset\": " + std::to_string(uvAt) + ", \"byteLength\": " +
                 std::to_string(m.uv.size() * 4) + "}";
        accessors += ", {\"bufferView\": " + std::to_string(next) + ", \"componentType\": 5126, \"count\": " +
                     std::to_string(m.uv.size() / 2) + ", \"type\": \"VEC2\"}";
        attributes += ", \"TEXCOORD_0\": " + std::to_string(next++);
    }
    if (!m.normal.empty()) {
        views += ", {\"buffer\": 0, \"byteOffset\": " + std::to_string(uvAt + m.uv.size() * 4) +
                 ", \"byteLength\": " + std::to_string(m.normal.size() * 4) + "}";
        accessors += ", {\"bufferView\": " + std::to_string(next) + ", \"componentType\": 5126, \"count\": " +
                     std::to_string(m.normal.size() / 3) + ", \"type\": \"VEC3\"}";
        attributes += ", \"NORMAL\": " + std::to_string(next++);
    }
    if (m.material >= 0) prim += ", \"material\": " + std::to_string(m.material);
    const std::string uri = m.bufferUri.empty() ? "data:application/octet-stream;base64," + base64(bytes) : m.bufferUri;
    std::string d = "{\n\"asset\": {\"version\": \"2.0\"},\n" + m.extra +
                    "\"scene\": 0,\n\"scenes\": [{\"nodes\": [0]}],\n\"nodes\": " + m.nodes +
                    ",\n\"meshes\": [{\"name\": \"m\", \"primitives\": [{\"attributes\": {" + attributes +
                    "}, \"mode\": 4" + prim + "}]}],\n";
    if (!m.materials.empty()) d += "\"materials\": " + m.materials + ",\n";
    d += "\"accessors\": [" + accessors + "],\n\"bufferViews\": [" + views + "],\n\"buffers\": [{\"byteLength\": " +
         std::to_string(bytes.size()) + ", \"uri\": \"" + uri + "\"}]\n}\n";
    return d;
}

// doc() of the default mesh as `change` leaves it.
template <class F>
std::string docWith(F&& change) {
    Mesh m;
    change(m);
    return doc(m);
}

// Replaces the one occurrence of `from`; a document that says so otherwise.
inline std::string edit(std::string d, std::string_view from, std::string_view to) {
    const std::size_t at = d.find(from);
    if (at == std::string::npos || d.find(from, at + 1) != std::string::npos) return "edit failed: " + std::string(from);
    d.replace(at, from.size(), to);
    return d;
}

}  // namespace molv::gltftest
