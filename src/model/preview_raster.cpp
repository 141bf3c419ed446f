#include "model/preview_raster.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace molv {

namespace {

// Ambient, a key light from the upper left and a weaker fill from the
// right, so the three visible sides of a box differ.
constexpr double kAmbient = 0.25, kKey = 0.6, kFill = 0.25;
constexpr std::uint8_t kBackground[3] = {238, 240, 243};
constexpr std::uint8_t kInk[3] = {40, 44, 52};
constexpr Colour kNoMaterial{190, 190, 190, 255};
// Back faces: a colour no prop is likely to be painted, so a face turned
// the wrong way shows at once.
constexpr float kBackFace[3] = {214, 64, 150};
// Above this many triangles the light picture is drawn at half the
// resolution: the time goes into the triangles, not the pixels.
constexpr std::size_t kLightHalfAbove = 200000;

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
    V3 toCamera(V3 p) const { return {dot(p, right), dot(p, up), dot(p, toward)}; }
};

View makeView(double yawDeg, double pitchDeg) {
    const double yaw = yawDeg * 3.14159265358979 / 180, pitch = pitchDeg * 3.14159265358979 / 180;
    View v;
    v.toward = {std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
    v.right = unit(cross({0, 1, 0}, v.toward));
    v.up = cross(v.toward, v.right);
    return v;
}

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

// What each sample of the picture shows: the nearest triangle (0 none,
// t + 1 its front, -(t + 1) its back) and the weights of its second and
// third corners there. Shading waits until the nearest is known, so a
// sample is shaded once however many triangles cover it.
struct Samples {
    int w, h;
    std::vector<float>& depth;
    std::vector<std::int32_t>& id;
    std::vector<float>&w1, &w2;
    Samples(PreviewScratch& m, int w_, int h_) : w(w_), h(h_), depth(m.depth), id(m.id), w1(m.w1), w2(m.w2) {
        const auto n = static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_);
        depth.assign(n, -std::numeric_limits<float>::infinity());
        id.assign(n, 0);
        w1.resize(n);
        w2.resize(n);
    }
};

// A corner on the sample grid: x, y (y down), z (larger is nearer); x NaN:
// not drawn. Kept as float to halve the memory a large model's frame walks
// through; the arithmetic on them is double.
using ScreenVertex = std::array<float, 3>;

void rasterise(Samples& s, const ScreenVertex& fa, const ScreenVertex& fb, const ScreenVertex& fc, std::int32_t t) {
    const V3 a{fa[0], fa[1], fa[2]}, b{fb[0], fb[1], fb[2]}, c{fc[0], fc[1], fc[2]};
    // Seen from the front, corners run counter-clockwise, which with y
    // running down is a negative area.
    const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (!(std::fabs(area) > 1e-12)) return;
    const std::int32_t id = area < 0 ? t + 1 : -(t + 1);
    // Clamped while still floating, so no conversion can overflow.
    const int x0 = static_cast<int>(std::clamp(std::floor(std::min({a.x, b.x, c.x})), 0.0, double(s.w)));
    const int x1 = static_cast<int>(std::clamp(std::ceil(std::max({a.x, b.x, c.x})), 0.0, double(s.w)));
    const int y0 = static_cast<int>(std::clamp(std::floor(std::min({a.y, b.y, c.y})), 0.0, double(s.h)));
    const int y1 = static_cast<int>(std::clamp(std::ceil(std::max({a.y, b.y, c.y})), 0.0, double(s.h)));
    if (x0 >= x1 || y0 >= y1) return;
    // The weight of each corner is linear in the sample's position.
    const double inv = 1 / area;
    const double ax = (b.y - c.y) * inv, ay = (c.x - b.x) * inv, ac = (b.x * c.y - b.y * c.x) * inv;
    const double bx = (c.y - a.y) * inv, by = (a.x - c.x) * inv, bc = (c.x * a.y - c.y * a.x) * inv;
    for (int y = y0; y < y1; ++y) {
        const double py = y + 0.5;
        const double ar = ay * py + ac, br = by * py + bc;
        for (int x = x0; x < x1; ++x) {
            const double px = x + 0.5;
            const double la = ax * px + ar, lb = bx * px + br, lc = 1 - la - lb;
            if (la < 0 || lb < 0 || lc < 0) continue;
            const double z = la * a.z + lb * b.z + lc * c.z;
            const std::size_t i = static_cast<std::size_t>(y) * s.w + x;
            if (!(z > s.depth[i])) continue;
            s.depth[i] = static_cast<float>(z);
            s.id[i] = id;
            s.w1[i] = static_cast<float>(lb);
            s.w2[i] = static_cast<float>(lc);
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

PreviewCamera orbitPreview(PreviewCamera c, double dx, double dy) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return c;
    c.yaw = std::fmod(c.yaw - dx * kPreviewDegreesPerPixel, 360.0);
    c.pitch = std::clamp(c.pitch + dy * kPreviewDegreesPerPixel, -89.0, 89.0);
    return c;
}

PreviewCamera zoomPreview(PreviewCamera c, double notches) {
    if (std::isfinite(notches)) c.zoom = std::clamp(c.zoom * std::pow(kPreviewZoomPerNotch, notches), 0.05, 50.0);
    return c;
}

PreviewScene makePreviewScene(const ModelStore& m, std::vector<PreviewScene::Material> materials) {
    PreviewScene scene;
    scene.materials = std::move(materials);
    const std::int32_t nFaces = std::clamp<std::int32_t>(m.ttlnum_Faces, 0, static_cast<std::int32_t>(m.VFaces.size()));
    const std::int32_t nVerts = std::clamp<std::int32_t>(
        m.ttlnum_Vertices, 0, static_cast<std::int32_t>(m.Vertices.size()));
    // Each face's material, from the groups that hold it; -2: in none.
    std::vector<std::int32_t> faceMaterial(static_cast<std::size_t>(nFaces), -2);
    const std::int32_t nGroups = std::clamp<std::int32_t>(m.nFaceGrps, 0, static_cast<std::int32_t>(m.FaceGrps.size()));
    for (std::int32_t g = 0; g < nGroups; ++g) {
        const FaceGroup& fg = m.groupAt(g);
        const std::size_t n = std::min(static_cast<std::size_t>(std::max(0, fg.nFcs)), fg.FgGlblFaces.size());
        for (std::size_t j = 0; j < n; ++j) {
            const std::int32_t f = fg.FgGlblFaces[j];
            if (f >= 0 && f < nFaces) faceMaterial[static_cast<std::size_t>(f)] = fg.MtlID;
        }
    }
    // Only the vertices the drawn faces use, renumbered.
    std::vector<std::int32_t> index(static_cast<std::size_t>(nVerts), -1);
    auto usable = [&](std::int32_t k) {
        return k >= 0 && k < nVerts && finite(of(m.vertexAt(k).pos));
    };
    for (std::int32_t f = 0; f < nFaces; ++f) {
        const Face& face = m.faceAt(f);
        if (faceMaterial[static_cast<std::size_t>(f)] == -2 ||
            !std::all_of(std::begin(face.vtx), std::end(face.vtx), usable))
            continue;
        std::array<std::uint32_t, 3> tri{};
        for (int k = 0; k < 3; ++k) {
            const auto vi = static_cast<std::size_t>(face.vtx[k]);
            if (index[vi] < 0) {
                index[vi] = static_cast<std::int32_t>(scene.positions.size());
                const Vertex& vx = m.Vertices[vi];
                // The store's axes mirror the source's (its z runs away from
                // the viewer, and readers reverse the corners to match):
                // drawn as they stand, every model would show mirrored.
                scene.positions.push_back(Vec3{vx.pos.x, vx.pos.y, -vx.pos.z});
                const Vec3 n = m.normalOf(face.vtx[k]);
                scene.normals.push_back(finite(of(n)) ? Vec3{n.x, n.y, -n.z} : Vec3{});
                std::array<float, 2> uv{0, 0};
                if (vx.UVs.size() > 0 && std::isfinite(vx.UVs[0].u) && std::isfinite(vx.UVs[0].v))
                    uv = {vx.UVs[0].u, vx.UVs[0].v};
                scene.uvs.push_back(uv);
            }
            tri[static_cast<std::size_t>(k)] = static_cast<std::uint32_t>(index[vi]);
        }
        std::swap(tri[1], tri[2]);  // the corners back in the source's order, as z is
        scene.triangles.push_back(tri);
        scene.triangleMaterial.push_back(faceMaterial[static_cast<std::size_t>(f)]);
    }
    return scene;
}

Image renderPreview(const PreviewScene& sc, int size, const PreviewCamera& camera, PreviewScratch* scratch) {
    PreviewScratch own;
    PreviewScratch& mem = scratch ? *scratch : own;
    size = std::clamp(size, 16, 4096);
    const double pitch = std::isfinite(camera.pitch) ? std::clamp(camera.pitch, -89.0, 89.0) : 25;
    const double yaw = std::isfinite(camera.yaw) ? std::fmod(camera.yaw, 360.0) : 35;
    const double zoom = std::isfinite(camera.zoom) ? std::clamp(camera.zoom, 0.05, 50.0) : 1;
    const View fit = makeView(35, 25), view = makeView(yaw, pitch);
    const V3 key = unit({-0.45, 0.7, 0.55}), fill = unit({0.6, 0.1, 0.8});

    // The framing of the default view: the picture fitted to the vertices
    // as seen from there, and the point turned about is the one in the
    // middle of that framing, halfway through the model's depth.
    const std::size_t nVerts = std::min({sc.positions.size(), sc.normals.size(), sc.uvs.size()});
    double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    double hi[2] = {-lo[0], -lo[1]};
    V3 lo3{lo[0], lo[0], lo[0]}, hi3{hi[0], hi[0], hi[0]};
    for (std::size_t i = 0; i < nVerts; ++i) {
        const V3 p = of(sc.positions[i]);
        if (!finite(p)) continue;
        const V3 q = fit.toCamera(p);
        lo[0] = std::min(lo[0], q.x), hi[0] = std::max(hi[0], q.x);
        lo[1] = std::min(lo[1], q.y), hi[1] = std::max(hi[1], q.y);
        lo3 = {std::min(lo3.x, p.x), std::min(lo3.y, p.y), std::min(lo3.z, p.z)};
        hi3 = {std::max(hi3.x, p.x), std::max(hi3.y, p.y), std::max(hi3.z, p.z)};
    }
    // The model fills the upper part; the bar and its label sit below. The
    // bar (100 cm) must fit as well, so a small model is drawn small.
    const double areaTop = size * 0.05, areaBottom = size * 0.78;
    double scale = size * 0.8 / 100;
    const bool any = lo[0] <= hi[0];
    V3 pivot;
    if (any) {
        const double spanX = hi[0] - lo[0], spanY = hi[1] - lo[1];
        if (spanX > 0) scale = std::min(scale, size * 0.9 / spanX);
        if (spanY > 0) scale = std::min(scale, (areaBottom - areaTop) / spanY);
        if (!(scale > 0) || !std::isfinite(scale)) scale = size * 0.8 / 100;
        const V3 mid = (lo3 + hi3) * 0.5;
        pivot = mid + fit.right * ((lo[0] + hi[0]) / 2 - dot(mid, fit.right)) +
                fit.up * ((lo[1] + hi[1]) / 2 - dot(mid, fit.up));
        if (!finite(pivot)) pivot = {};
    }
    scale *= zoom;

    // The sample grid: 2 x 2 a pixel; while dragging one a pixel, or one
    // for 2 x 2 pixels when the model is large.
    const int grid = !camera.light ? size * 2 : sc.triangles.size() > kLightHalfAbove ? (size + 1) / 2 : size;
    const double ss = double(grid) / size;
    const double cx = size / 2.0, cy = (areaTop + areaBottom) / 2;
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    std::vector<ScreenVertex>& screen = mem.screen;
    screen.assign(any ? nVerts : 0, ScreenVertex{kNaN, 0, 0});
    for (std::size_t i = 0; i < screen.size(); ++i) {
        const V3 p = view.toCamera(of(sc.positions[i]) - pivot);
        const ScreenVertex v{static_cast<float>((cx + p.x * scale) * ss), static_cast<float>((cy - p.y * scale) * ss),
                             static_cast<float>(p.z)};
        if (std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2])) screen[i] = v;
    }
    Samples s(mem, grid, grid);
    // A sample names its triangle in an int32 with room for the sign.
    const std::size_t nTris = std::min<std::size_t>(sc.triangles.size(), std::numeric_limits<std::int32_t>::max() - 1);
    for (std::size_t t = 0; t < nTris && any; ++t) {
        const auto& tri = sc.triangles[t];
        if (tri[0] >= screen.size() || tri[1] >= screen.size() || tri[2] >= screen.size() ||
            std::isnan(screen[tri[0]][0]) || std::isnan(screen[tri[1]][0]) || std::isnan(screen[tri[2]][0]))
            continue;
        rasterise(s, screen[tri[0]], screen[tri[1]], screen[tri[2]], static_cast<std::int32_t>(t));
    }

    auto shade = [&](std::size_t i, float* out) {
        const std::int32_t id = s.id[i];
        if (id == 0) {
            for (int k = 0; k < 3; ++k) out[k] = kBackground[k];
            return;
        }
        const auto t = static_cast<std::size_t>(id > 0 ? id - 1 : -id - 1);
        const auto& tri = sc.triangles[t];
        const double w1 = s.w1[i], w2 = s.w2[i], w0 = 1 - w1 - w2;
        // Turned after blending: the same, for three corners' worth of work.
        V3 n = view.toCamera(of(sc.normals[tri[0]]) * w0 + of(sc.normals[tri[1]]) * w1 + of(sc.normals[tri[2]]) * w2);
        n = finite(n) ? unit(n) : V3{};
        if (n.x == 0 && n.y == 0 && n.z == 0) {
            // No usable normals: the face's own (camera space, from the
            // screen corners), on its front as vertex normals are.
            const ScreenVertex &a = screen[tri[0]], &b = screen[tri[1]], &c = screen[tri[2]];
            n = unit(cross({double(b[0]) - a[0], double(a[1]) - b[1], (double(b[2]) - a[2]) * scale * ss},
                           {double(c[0]) - a[0], double(a[1]) - c[1], (double(c[2]) - a[2]) * scale * ss}));
        }
        float base[3];
        if (id < 0) {
            // The back of a face: lit as the side it shows.
            n = n * -1;
            std::copy(kBackFace, kBackFace + 3, base);
        } else {
            const std::int32_t mat = t < sc.triangleMaterial.size() ? sc.triangleMaterial[t] : -1;
            const PreviewScene::Material* mt =
                mat >= 0 && static_cast<std::size_t>(mat) < sc.materials.size() ? &sc.materials[static_cast<std::size_t>(mat)] : nullptr;
            const Colour d = mt ? mt->diffuse : kNoMaterial;
            base[0] = d.r, base[1] = d.g, base[2] = d.b;
            if (mt && mt->texture && !mt->texture->empty()) {
                const double u = w0 * sc.uvs[tri[0]][0] + w1 * sc.uvs[tri[1]][0] + w2 * sc.uvs[tri[2]][0];
                const double v = w0 * sc.uvs[tri[0]][1] + w1 * sc.uvs[tri[1]][1] + w2 * sc.uvs[tri[2]][1];
                if (std::isfinite(u) && std::isfinite(v)) {
                    const auto c = sampleTexture(*mt->texture, u, v);
                    std::copy(c.begin(), c.end(), base);
                }
            }
        }
        const double light = kAmbient + kKey * std::max(0.0, dot(n, key)) + kFill * std::max(0.0, dot(n, fill));
        for (int k = 0; k < 3; ++k) out[k] = static_cast<float>(std::min(255.0, base[k] * light));
    };

    Image img(size, size);
    if (grid >= size) {
        const int per = grid / size;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                float sum[3] = {0, 0, 0};
                const std::size_t first = static_cast<std::size_t>(y * per) * grid + static_cast<std::size_t>(x * per);
                bool same = true;
                for (int sy = 0; sy < per && same; ++sy)
                    for (int sx = 0; sx < per; ++sx)
                        same = same && s.id[first + static_cast<std::size_t>(sy) * grid + sx] == s.id[first];
                if (same && s.id[first] > 0) {
                    // Textures are averaged over the samples; plain colours vary
                    // too little across a pixel to be worth it.
                    const auto t = static_cast<std::size_t>(s.id[first] - 1);
                    const std::int32_t mat = t < sc.triangleMaterial.size() ? sc.triangleMaterial[t] : -1;
                    same = !(mat >= 0 && static_cast<std::size_t>(mat) < sc.materials.size() &&
                             sc.materials[static_cast<std::size_t>(mat)].texture);
                }
                if (same) {
                    // One face fills the pixel: shaded once, at its first sample.
                    shade(first, sum);
                    for (int k = 0; k < 3; ++k)
                        img.at(x, y)[k] = static_cast<std::uint8_t>(std::clamp(std::lround(sum[k]), 0L, 255L));
                    continue;
                }
                for (int sy = 0; sy < per; ++sy)
                    for (int sx = 0; sx < per; ++sx) {
                        float c[3];
                        shade(static_cast<std::size_t>(y * per + sy) * grid + static_cast<std::size_t>(x * per + sx), c);
                        for (int k = 0; k < 3; ++k) sum[k] += c[k];
                    }
                for (int k = 0; k < 3; ++k)
                    img.at(x, y)[k] = static_cast<std::uint8_t>(std::clamp(std::lround(sum[k] / (per * per)), 0L, 255L));
            }
    } else {
        // Each sample shaded once and spread over the pixels it stands for.
        for (int gy = 0; gy < grid; ++gy)
            for (int gx = 0; gx < grid; ++gx) {
                float c[3];
                shade(static_cast<std::size_t>(gy) * grid + gx, c);
                std::uint8_t px[3];
                for (int k = 0; k < 3; ++k) px[k] = static_cast<std::uint8_t>(std::clamp(std::lround(c[k]), 0L, 255L));
                for (int y = gy * 2; y < std::min(size, gy * 2 + 2); ++y)
                    for (int x = gx * 2; x < std::min(size, gx * 2 + 2); ++x) std::copy(px, px + 3, img.at(x, y));
            }
    }
    drawScaleBar(img, 100 * scale, static_cast<int>(size * 0.86));
    return img;
}

}  // namespace molv
