// The peers of bench/run.sh as whole processes, so their time and peak
// memory are measured the same way as molvconv's:
//
//   bench_peer assimp FILE    assimp's import alone (no post-processing)
//   bench_peer tinyobj FILE   tinyobjloader's parse alone (triangulated)
//
// Prints the number of triangles read; exits 1 when the peer failed, 3 when
// it was not built in.
#include <cstdio>
#include <string>
#include <vector>

#ifdef MOLV_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif
#ifdef MOLV_HAVE_TINYOBJ
#include <tiny_obj_loader.h>
#endif

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_peer assimp|tinyobj FILE\n");
        return 2;
    }
    const std::string peer = argv[1];
    long faces = 0;
    if (peer == "assimp") {
#ifdef MOLV_HAVE_ASSIMP
        Assimp::Importer imp;
        const aiScene* sc = imp.ReadFile(argv[2], 0);
        if (!sc) {
            std::fprintf(stderr, "assimp: %s\n", imp.GetErrorString());
            return 1;
        }
        for (unsigned i = 0; i < sc->mNumMeshes; ++i) faces += sc->mMeshes[i]->mNumFaces;
#else
        return 3;
#endif
    } else if (peer == "tinyobj") {
#ifdef MOLV_HAVE_TINYOBJ
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, argv[2], nullptr, true)) {
            std::fprintf(stderr, "tinyobjloader: %s\n", err.c_str());
            return 1;
        }
        for (const auto& s : shapes) faces += static_cast<long>(s.mesh.num_face_vertices.size());
#else
        return 3;
#endif
    } else {
        return 2;
    }
    std::printf("%ld\n", faces);
    return 0;
}
