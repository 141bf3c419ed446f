// Hostile names and hostile sizes in what the writers and the texture
// decoder are handed: names that would break a line of a text file, names
// that are not UTF-8, a picture whose data inflates without end, and
// skeletons deep or wide enough to show any step that is not linear.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <pthread.h>
#endif

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cal3d/cal3d_set.h"
#include "model/skeleton.h"
#include "support/harness.h"
#include "support/run_folder.h"
#include "support/test_support.h"
#include "util/fileio.h"
#include "util/image.h"
#include "util/text.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

// Every line of text (split at CR LF, LF or CR) that starts, after its
// indentation, with one of the keys a hostile name would add.
std::vector<std::string> injectedLines(const std::string& text, const std::vector<std::string>& keys) {
    std::vector<std::string> found;
    std::string line;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
            const std::size_t at = line.find_first_not_of(" \t");
            for (const std::string& k : keys)
                if (at != std::string::npos && line.compare(at, k.size(), k) == 0) found.push_back(line);
            line.clear();
        } else {
            line += text[i];
        }
    }
    return found;
}

using HostileNames = test::RunFolder;

// A line break in a name stays inside its own line of every text file
// written: .mtl of an OBJ, .cfg of a set.
TEST_F(HostileNames, LineBreaksInNamesCannotAddLines) {
    const std::string hostile = test::dataPath("convert/hostile/");
    writeFile(dir + "a.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    const struct {
        std::string source;
        const char* out;
        const char* written;  // the text file to look into
    } rows[] = {
        {hostile + "line_break_name.3ds", "x.obj", "x.mtl"},
        {hostile + "line_break_name.gltf", "y.obj", "y.mtl"},
        {dir + "a.obj", "b\nmaterial=evil.cmf", "b_material=evil.cfg"},
    };
    for (const auto& r : rows) {
        ASSERT_TRUE(test::convert(ctx, r.source, dir + r.out)) << r.source;
        const std::string text = test::readFile(dir + r.written);
        ASSERT_FALSE(text.empty()) << r.written;
        EXPECT_EQ(injectedLines(text, {"map_Kd", "material=evil"}), std::vector<std::string>{})
            << r.written << ":\n" << text;
    }
}

// A name in Latin-1 bytes (not UTF-8) no longer makes the document
// unreadable: it is read as Latin-1, with one warning, in text and binary
// containers alike.
TEST_F(HostileNames, Latin1NamesInGltfAreReadAsLatin1) {
    for (const char* name : {"latin1_name.gltf", "latin1_name.glb"}) {
        auto t = test::makeContext();
        const ReadResult r = test::readFile(t->ctx, test::dataPath("convert/hostile/") + name);
        ASSERT_TRUE(r.ok()) << r.message;
        ASSERT_GE(t->m.nMaterials, 1);
        EXPECT_EQ(t->m.Materials[0].name, "Caf\xc3\xa9 cr\xc3\xa8me");
        int warnings = 0;
        for (const std::string& l : t->ui.everyLogLine) warnings += l.find("not UTF-8") != std::string::npos;
        EXPECT_EQ(warnings, 1);
    }
}

// A PNG of one pixel whose image data inflates to `bytes` zero bytes
// (stored blocks).
std::string pngInflatingTo(std::size_t bytes) {
    const std::string png = encodePng(Image(1, 1));
    std::string z = "\x78\x01";
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t n = std::min<std::size_t>(left, 65535);
        left -= n;
        z += static_cast<char>(left == 0 ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(n, '\0');
    }
    z += std::string(4, '\0');  // Adler-32, which stb does not check (nor the chunk's CRC)
    std::string length;
    for (int k = 3; k >= 0; --k) length += static_cast<char>(z.size() >> (8 * k));
    return png.substr(0, png.find("IDAT") - 4) + length + "IDAT" + z + std::string(4, '\0') +
           png.substr(png.find("IEND") - 4);
}

TEST(HostileImages, ImageDataMustNotInflateBeyondThePicture) {
    const struct {
        const char* what;
        std::string png;
        bool ok;
    } rows[] = {
        {"as written", encodePng(Image(1, 1)), true},
        {"its own size, stored", pngInflatingTo(4), true},
        {"2 MB for one pixel", pngInflatingTo(std::size_t{2} << 20), false},
    };
    for (const auto& r : rows) {
        Image img;
        std::string err;
        EXPECT_EQ(decodeImage(r.png, "t.png", img, err), r.ok) << r.what << ": " << err;
        if (!r.ok) {
            EXPECT_NE(err.find("inflates beyond the 4 bytes"), std::string::npos) << err;
        }
    }
}

// Runs f on a thread with the 1 MB stack a Windows program's main thread
// has: a walk that recurses along a chain of 50,000 bones overflows it.
template <class F>
void withOneMegabyteStack(F f) {
#ifdef _WIN32
    f();
#else
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, std::size_t{1} << 20), 0);
    pthread_t t;
    void* (*run)(void*) = [](void* p) -> void* {
        (*static_cast<F*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&t, &attr, run, &f), 0);
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
#endif
}

enum class Shape { Chain, ChainRootLast, Flat };

// n bones: a chain (each the only child of the one before), the same chain
// listed from its tip, or one root with every other bone its child.
SkeletonStore skeletonOf(Shape shape, int n) {
    SkeletonStore sk;
    sk.skl_version = 1100;
    sk.num_Bones = n;
    sk.Bones.assign(static_cast<std::size_t>(n) + 1, Bone{});
    for (int i = 0; i < n; ++i) {
        Bone& b = sk.Bones[static_cast<std::size_t>(i)];
        b.name = "b" + std::to_string(i);
        b.name_len = static_cast<std::int32_t>(b.name.size() + 1);
        b.TrXYZ[1] = static_cast<float>(i % 7);
        b.RotXYZW[3] = b.LocRotXYZ[3] = 1;
        if (shape == Shape::Chain) {
            b.PBID = i - 1;
            if (i + 1 < n) b.chldrn = {i + 1};
        } else if (shape == Shape::ChainRootLast) {
            b.PBID = i + 1 < n ? i + 1 : -1;
            if (i > 0) b.chldrn = {i - 1};
        } else {
            b.PBID = i == 0 ? -1 : 0;
            if (i == 0)
                for (int c = 1; c < n; ++c) b.chldrn.push_back(c);
        }
        b.num_chldrn = static_cast<std::int32_t>(b.chldrn.size());
    }
    return sk;
}

std::string xsfOf(const SkeletonStore& sk) {
    std::string t = "<SKELETON VERSION=\"" + std::to_string(sk.skl_version) + "\" NUMBONES=\"" +
                    std::to_string(sk.num_Bones) + "\">\n";
    for (std::int32_t i = 0; i < sk.num_Bones; ++i) {
        const Bone& b = sk.Bones[static_cast<std::size_t>(i)];
        t += "<BONE ID=\"" + std::to_string(i) + "\" NAME=\"" + b.name + "\" NUMCHILDS=\"" +
             std::to_string(b.num_chldrn) + "\">\n<TRANSLATION>0 " + std::to_string(i % 7) +
             " 0</TRANSLATION>\n<ROTATION>0 0 0 1</ROTATION>\n<LOCALROTATION>0 0 0 1</LOCALROTATION>\n<PARENTID>" +
             std::to_string(b.PBID) + "</PARENTID>\n";
        for (std::int32_t c : b.chldrn) t += "<CHILDID>" + std::to_string(c) + "</CHILDID>\n";
        t += "</BONE>\n";
    }
    return t + "</SKELETON>\n";
}

using HostileSkeletonSets = test::RunFolder;

// 50,000 bones deep or wide, read alone or through a viewer configuration
// (beside a mesh) and written as a set, a skeleton or a figure: every step
// must be linear in the bones and must not recurse along the hierarchy, so
// each row takes a fraction of a second; a quadratic step takes minutes, a
// recursive one overflows the stack. A figure indents a chain by a bounded
// amount (else 20 GB), and a bone's name stays on its line.
TEST_F(HostileSkeletonSets, DeepAndWideSkeletonsConvertInLinearTime) {
    const int n = 50000;
    ctx.app.devMode = true;
    menuAutos(false, false, false);
    writeFile(dir + "tri.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ASSERT_TRUE(test::convert(ctx, dir + "tri.obj", dir + "tri.cmf"));
    const std::string triCfg = test::readFile(dir + "tri.cfg");
    const std::size_t at = triCfg.find("skeleton=tri.csf");
    ASSERT_NE(at, std::string::npos) << triCfg;
    const struct {
        Shape shape;
        const char* skeleton;  // the skeleton file; read through a .cfg unless it is the source
        bool throughCfg;
        const char* out;
    } rows[] = {
        {Shape::Chain, "s.xsf", true, "o.cfg"},
        {Shape::ChainRootLast, "s.csf", false, "o.csf"},
        {Shape::Flat, "s.csf", true, "o.ans"},
        {Shape::Chain, "s.csf", false, "o.ans"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.skeleton) + " " + std::to_string(static_cast<int>(r.shape)) + " -> " + r.out);
        SkeletonStore sk = skeletonOf(r.shape, n);
        const bool figure = std::string_view(r.out).ends_with(".ans");
        if (figure) sk.Bones[7].name += "\r\n}\r\nbone { \"evil\"";
        sk.Bones[7].name_len = static_cast<std::int32_t>(sk.Bones[7].name.size() + 1);
        const std::string csf = skeletonCsfBytes(sk);
        writeFile(dir + r.skeleton, std::string_view(r.skeleton).ends_with(".xsf") ? xsfOf(sk) : csf);
        std::string src = dir + r.skeleton;
        if (r.throughCfg) {
            src = dir + "s.cfg";
            writeFile(src, std::string(triCfg).replace(at, 16, std::string("skeleton=") + r.skeleton));
        }
        ctx.skel = SkeletonStore{};
        bool converted = false;
        withOneMegabyteStack([&] { converted = test::convert(ctx, src, dir + r.out); });
        ASSERT_TRUE(converted);
        const std::string out = test::readFile(dir + r.out);
        if (figure) {
            std::size_t bones = 0;
            for (std::size_t p = out.find("bone { \""); p != std::string::npos; p = out.find("bone { \"", p + 1)) ++bones;
            EXPECT_EQ(bones, std::size_t{n});
            EXPECT_LT(out.size(), std::size_t{n} * 1000);
            EXPECT_TRUE(injectedLines(out, {"bone { \"evil\""}).empty());
            EXPECT_NE(out.find("bone { \"b7  }  bone { \\\"evil\\\"\""), std::string::npos);
        } else {
            // Every bone, child list and number comes back as it went in.
            EXPECT_TRUE(test::readFile(dir + "o.csf") == csf);
        }
    }
}

}  // namespace
}  // namespace molv
