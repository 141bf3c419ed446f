#include "model/preview_raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace molv {

namespace {

// Samples per pixel along each axis: edges are smoothed by averaging.
constexpr int kSuper = 2;

// The view: seen from the front (+z, as the store keeps the written mesh),
// turned 35 degrees to the right and 25 degrees from above.
constexpr double kYawDeg = 35, kPitchDeg = 25;

// Ambient, a key light from the upper left and a weaker fill from the
// right, so the three visible sides of a box differ.
constexpr double kAmbient = 0.25, kKey = 0.6, kFill = 0.25;
constexpr std::uint8_t kBackground[3] = {238, 240, 243};
constexpr std::uint8_t kInk[3] = {40, 44, 52};
constexpr Colour kNoMaterial{190, 190, 190, 255};

struct V3 {
    double x = 0, y = 0, z = 0;
};
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
bool finite(V3 a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }
V3 unit(V3 a) {
    const double l = std::sqrt(dot(a, a));
    return l > 1e-12 && std::isfinite(l) ? a * (1 / l) : V3{};
}
V3 of(const Vec3& v) { return {v.x, v.y, v.z}; }

// The camera's axes in model space: right, up, and toward the viewer.
struct View {
    V3 right, up, toward;
    V3 key, fill;  // in camera space
    V3 toCamera(V3 p) const { return {dot(p, right), dot(p, up), dot(p, toward)}; }
};

View makeView() {
    const double yaw = kYawDeg * 3.14159265358979 / 180, pitch = kPitchDeg * 3.14159265358979 / 180;
    View v;
    v.toward = {std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
    v.right = unit(cross({0, 1, 0}, v.toward));
    v.up = cross(v.toward, v.right);
    v.key = unit({-0.45, 0.7, 0.55});
    v.fill = unit({0.6, 0.1, 0.8});
    return v;
}

// One projected corner: pixel position (y down), depth (larger is nearer),
// camera-space normal and texture coordinates.
struct Corner {
    double x = 0, y = 0, z = 0;
    V3 n;
    double u = 0, v = 0;
};

struct Canvas {
    int w, h;
    std::vector<float> depth;
    std::vector<std::array<float, 3>> colour;
    Canvas(int w_, int h_)
        : w(w_), h(h_), depth(static_cast<std::size_t>(w_) * h_, -std::numeric_limits<float>::infinity()),
          colour(static_cast<std::size_t>(w_) * h_,
                 std::array<float, 3>{float(kBackground[0]), float(kBackground[1]), float(kBackground[2])}) {}
};

// Bilinear, repeating; v runs down the picture as the 3DS and Collada
// readers store it by default.
std::array<float, 3> sampleTexture(const Image& t, double u, double v) {
    u -= std::floor(u);
    v -= std::floor(v);
    const double fx = std::clamp(u, 0.0, 1.0) * t.width - 0.5, fy = std::clamp(v, 0.0, 1.0) * t.height - 0.5;
    const double x0f = std::floor(fx), y0f = std::floor(fy);
    const double ax = fx - x0f, ay = fy - y0f;
    const auto wrap = [](int i, int n) { return ((i % n) + n) % n; };
    const int x0 = wrap(static_cast<int>(x0f), t.width), x1 = wrap(static_cast<int>(x0f) + 1, t.width);
    const int y0 = wrap(static_cast<int>(y0f), t.height), y1 = wrap(static_cast<int>(y0f) + 1, t.height);
    std::array<float, 3> c{};
    for (int k = 0; k < 3; ++k) {
        const double top = t.at(x0, y0)[k] * (1 - ax) + t.at(x1, y0)[k] * ax;
        const double bottom = t.at(x0, y1)[k] * (1 - ax) + t.at(x1, y1)[k] * ax;
        c[static_cast<std::size_t>(k)] = static_cast<float>(top * (1 - ay) + bottom * ay);
    }
    return c;
}

void drawTriangle(Canvas& cv, const View& view, const Corner (&c)[3], V3 faceNormal, const PreviewMaterial& mt) {
    const double area = (c[1].x - c[0].x) * (c[2].y - c[0].y) - (c[1].y - c[0].y) * (c[2].x - c[0].x);
    if (!(std::fabs(area) > 1e-12)) return;
    const double minX = std::min({c[0].x, c[1].x, c[2].x}), maxX = std::max({c[0].x, c[1].x, c[2].x});
    const double minY = std::min({c[0].y, c[1].y, c[2].y}), maxY = std::max({c[0].y, c[1].y, c[2].y});
    // Clamped while still floating, so no conversion can overflow.
    const int x0 = static_cast<int>(std::clamp(std::floor(minX), 0.0, double(cv.w)));
    const int x1 = static_cast<int>(std::clamp(std::ceil(maxX), 0.0, double(cv.w)));
    const int y0 = static_cast<int>(std::clamp(std::floor(minY), 0.0, double(cv.h)));
    const int y1 = static_cast<int>(std::clamp(std::ceil(maxY), 0.0, double(cv.h)));
    const double inv = 1 / area;
    for (int y = y0; y < y1; ++y) {
        const double py = y + 0.5;
        for (int x = x0; x < x1; ++x) {
            const double px = x + 0.5;
            const double b0 = ((c[1].x - px) * (c[2].y - py) - (c[1].y - py) * (c[2].x - px)) * inv;
            const double b1 = ((c[2].x - px) * (c[0].y - py) - (c[2].y - py) * (c[0].x - px)) * inv;
            const double b2 = 1 - b0 - b1;
            if (b0 < 0 || b1 < 0 || b2 < 0) continue;
            const double z = b0 * c[0].z + b1 * c[1].z + b2 * c[2].z;
            const std::size_t i = static_cast<std::size_t>(y) * cv.w + x;
            if (!(z > cv.depth[i])) continue;
            cv.depth[i] = static_cast<float>(z);
            V3 n = unit(c[0].n * b0 + c[1].n * b1 + c[2].n * b2);
            if (n.x == 0 && n.y == 0 && n.z == 0) n = faceNormal;
            if (n.z < 0) n = n * -1;  // the side facing the viewer is lit
            const double light =
                kAmbient + kKey * std::max(0.0, dot(n, view.key)) + kFill * std::max(0.0, dot(n, view.fill));
            std::array<float, 3> base{float(mt.diffuse.r), float(mt.diffuse.g), float(mt.diffuse.b)};
            const double u = b0 * c[0].u + b1 * c[1].u + b2 * c[2].u, v = b0 * c[0].v + b1 * c[1].v + b2 * c[2].v;
            if (mt.texture && !mt.texture->empty() && std::isfinite(u) && std::isfinite(v))
                base = sampleTexture(*mt.texture, u, v);
            for (std::size_t k = 0; k < 3; ++k)
                cv.colour[i][k] = static_cast<float>(std::min(255.0, base[k] * light));
        }
    }
}

// Digits and letters of the bar's label, 5 x 7, one row a byte (bit 4 left).
struct Glyph {
    char c;
    std::uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'c', {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x15, 0x15}},
};

void fillRect(Image& img, int x0, int y0, int x1, int y1) {
    for (int y = std::max(0, y0); y < std::min(img.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width, x1); ++x) std::copy(kInk, kInk + 3, img.at(x, y));
}

void drawText(Image& img, const char* text, int cx, int top, int px) {
    const int n = static_cast<int>(std::char_traits<char>::length(text));
    int x = cx - (n * 6 - 1) * px / 2;
    for (const char* t = text; *t; ++t, x += 6 * px) {
        for (const Glyph& g : kGlyphs) {
            if (g.c != *t) continue;
            for (int r = 0; r < 7; ++r)
                for (int b = 0; b < 5; ++b)
                    if (g.rows[r] & (0x10 >> b)) fillRect(img, x + b * px, top + r * px, x + (b + 1) * px, top + (r + 1) * px);
        }
    }
}

// The scale bar: `length` pixels wide, centred, tick marks at both ends,
// "100 cm" beneath.
void drawScaleBar(Image& img, double length, int barY) {
    const int size = img.width;
    const int thick = std::max(2, size / 160);
    const int tick = std::max(4, size / 40);
    const int half = static_cast<int>(std::lround(length / 2));
    const int cx = size / 2;
    fillRect(img, cx - half, barY - thick / 2, cx + half + 1, barY - thick / 2 + thick);
    for (int end : {cx - half, cx + half + 1 - thick})
        fillRect(img, end, barY - tick, end + thick, barY + tick);
    const int px = std::max(1, size / 200);
    drawText(img, "100 cm", cx, barY + tick + px * 2, px);
}

}  // namespace

Image renderPreview(const ModelStore& m, const std::vector<PreviewMaterial>& materials, int size) {
    size = std::clamp(size, 16, 4096);
    const View view = makeView();

    // Each face's material, from the groups that hold it.
    const std::int32_t nFaces = std::clamp<std::int32_t>(m.ttlnum_Faces, 0, static_cast<std::int32_t>(m.VFaces.size()));
    const std::int32_t nVerts = std::clamp<std::int32_t>(
        m.ttlnum_Vertices, 0, static_cast<std::int32_t>(std::min(m.Vertices.size(), m.Normals.size())));
    std::vector<std::int32_t> faceMaterial(static_cast<std::size_t>(nFaces), -2);
    const std::int32_t nGroups = std::clamp<std::int32_t>(m.nFaceGrps, 0, static_cast<std::int32_t>(m.FaceGrps.size()));
    for (std::int32_t g = 0; g < nGroups; ++g) {
        const FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
        const std::size_t n = std::min(static_cast<std::size_t>(std::max(0, fg.nFcs)), fg.FgGlblFaces.size());
        for (std::size_t j = 0; j < n; ++j) {
            const std::int32_t f = fg.FgGlblFaces[j];
            if (f >= 0 && f < nFaces) faceMaterial[static_cast<std::size_t>(f)] = fg.MtlID;
        }
    }

    // Camera-space positions; the picture is fitted to the faces drawn.
    std::vector<V3> cam(static_cast<std::size_t>(nVerts));
    for (std::int32_t i = 0; i < nVerts; ++i)
        cam[static_cast<std::size_t>(i)] = view.toCamera(of(m.Vertices[static_cast<std::size_t>(i)].pos));
    auto usable = [&](const Face& f) {
        for (std::int32_t k : f.vtx)
            if (k < 0 || k >= nVerts || !finite(cam[static_cast<std::size_t>(k)])) return false;
        return true;
    };
    double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    double hi[2] = {-lo[0], -lo[1]};
    for (std::int32_t f = 0; f < nFaces; ++f) {
        const Face& face = m.VFaces[static_cast<std::size_t>(f)];
        if (faceMaterial[static_cast<std::size_t>(f)] == -2 || !usable(face)) continue;
        for (std::int32_t k : face.vtx) {
            const V3& p = cam[static_cast<std::size_t>(k)];
            lo[0] = std::min(lo[0], p.x), hi[0] = std::max(hi[0], p.x);
            lo[1] = std::min(lo[1], p.y), hi[1] = std::max(hi[1], p.y);
        }
    }
    // The model fills the upper part; the bar and its label sit below. The
    // bar (100 cm) must fit as well, so a small model is drawn small.
    const double areaTop = size * 0.05, areaBottom = size * 0.78;
    double scale = size * 0.8 / 100;
    const bool any = lo[0] <= hi[0];
    if (any) {
        const double spanX = hi[0] - lo[0], spanY = hi[1] - lo[1];
        if (spanX > 0) scale = std::min(scale, size * 0.9 / spanX);
        if (spanY > 0) scale = std::min(scale, (areaBottom - areaTop) / spanY);
        if (!(scale > 0) || !std::isfinite(scale)) scale = size * 0.8 / 100;
    }
    const double midX = any ? (lo[0] + hi[0]) / 2 : 0, midY = any ? (lo[1] + hi[1]) / 2 : 0;
    const double ss = kSuper;
    const double cx = size / 2.0, cy = (areaTop + areaBottom) / 2;

    Canvas cv(size * kSuper, size * kSuper);
    for (std::int32_t f = 0; f < nFaces && any; ++f) {
        const std::int32_t mat = faceMaterial[static_cast<std::size_t>(f)];
        const Face& face = m.VFaces[static_cast<std::size_t>(f)];
        if (mat == -2 || !usable(face)) continue;
        Corner c[3];
        for (int k = 0; k < 3; ++k) {
            const auto vi = static_cast<std::size_t>(face.vtx[k]);
            const V3 p = cam[vi];
            c[k].x = (cx + (p.x - midX) * scale) * ss;
            c[k].y = (cy - (p.y - midY) * scale) * ss;
            c[k].z = p.z;
            const V3 n = view.toCamera(of(m.Normals[vi]));
            c[k].n = finite(n) ? n : V3{};
            const Vertex& vx = m.Vertices[vi];
            if (vx.UVs.size() > 0) {
                c[k].u = vx.UVs[0].u;
                c[k].v = vx.UVs[0].v;
            }
        }
        // Screen y runs down, so the camera-space normal of the face is
        // taken from the camera-space corners directly.
        const V3 faceNormal = unit(cross(cam[static_cast<std::size_t>(face.vtx[1])] - cam[static_cast<std::size_t>(face.vtx[0])],
                                         cam[static_cast<std::size_t>(face.vtx[2])] - cam[static_cast<std::size_t>(face.vtx[0])]));
        PreviewMaterial pm;
        pm.diffuse = kNoMaterial;
        if (mat >= 0 && static_cast<std::size_t>(mat) < materials.size()) pm = materials[static_cast<std::size_t>(mat)];
        drawTriangle(cv, view, c, faceNormal, pm);
    }

    Image img(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int k = 0; k < 3; ++k) {
                float sum = 0;
                for (int sy = 0; sy < kSuper; ++sy)
                    for (int sx = 0; sx < kSuper; ++sx)
                        sum += cv.colour[static_cast<std::size_t>(y * kSuper + sy) * cv.w + (x * kSuper + sx)]
                                        [static_cast<std::size_t>(k)];
                img.at(x, y)[k] = static_cast<std::uint8_t>(std::clamp(std::lround(sum / (kSuper * kSuper)), 0L, 255L));
            }
    drawScaleBar(img, 100 * scale, static_cast<int>(size * 0.86));
    return img;
}

}  // namespace molv
