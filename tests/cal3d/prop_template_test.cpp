// The prop template beside a set written in developer mode.
#include <gtest/gtest.h>

#include "cal3d_test_models.h"

using namespace molv;
using namespace molv::test;

namespace {

struct PropTemplate : ModelFixture {
    std::string dir = tempDir("template");
};

TEST_F(PropTemplate, TheChairByteForByte) {
    ctx.app.devMode = true;
    const std::int32_t i = material("wood", Colour{51, 51, 51, 255}, {"wood.bmp"});
    Material& mt = m.Materials[static_cast<std::size_t>(i)];
    mt.diffuse = Colour{204, 204, 204, 255};
    mt.specular = Colour{0, 0, 0, 255};
    mt.shininess = 25;
    m.dssAddMesh("chair", 0);
    grid(1, 0);
    ASSERT_TRUE(writeSet(ctx, dir + "chair.cmf"));
    const std::string want =
        "<template>\r\n  <model> FIX-PATH-UNDER-PROP-HERE </model>\r\n  <meshes>\r\n    <string>chair</string>\r\n"
        "  </meshes>\r\n  <materials>\r\n"
        "    <material>\r\n      <name>chair_wood[0]</name>\r\n"
        "      <ambientColor>0.19921875 0.19921875 0.19921875 0.99609375  </ambientColor>\r\n"
        "      <diffuseColor>0.796875 0.796875 0.796875 0.99609375  </diffuseColor>\r\n"
        "      <emissiveColor>0.0 0.0 0.0 0.0</emissiveColor>\r\n"
        "      <specularColor>0 0 0 0.99609375  </specularColor>\r\n"
        "      <shininess>25</shininess>\r\n"
        "      <maps>\r\n<entry>\r\n<string>diffuseMap</string>\r\n<string>Textures/wood.bmp</string>\r\n</entry>\r\n"
        "</maps>\r\n      <flags/>\r\n      <parameters/>\r\n    </material>\r\n"
        "  </materials>\r\n</template>\r\n";
    EXPECT_EQ(firstDifference(want, readFile(dir + "chair.template")), "");
}

TEST_F(PropTemplate, SeveralMapsCloseTheirMaterialOnceAndNamesAreEscaped) {
    ctx.app.devMode = true;
    material("a&b", Colour{128, 0, 0, 255}, {"x<1>.png", "y.png"});
    material("plain");
    m.dssAddMesh("m", 0);
    grid(1, 0);
    grid(1, 1, 1.0f);
    ASSERT_TRUE(writeSet(ctx, dir + "m.cmf"));
    const std::string t = readFile(dir + "m.template");
    auto count = [&](const std::string& s) {
        std::size_t n = 0;
        for (std::size_t p = t.find(s); p != std::string::npos; p = t.find(s, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("<material>"), 2u);
    EXPECT_EQ(count("</material>"), 2u);
    EXPECT_EQ(count("<maps>"), 1u);
    EXPECT_EQ(count("</maps>"), 1u);
    EXPECT_EQ(count("<maps/>"), 1u);  // the material without maps
    EXPECT_EQ(count("<entry>"), 2u);
    EXPECT_NE(t.find("<name>m_a&amp;b[0]</name>"), std::string::npos);
    EXPECT_NE(t.find("Textures/x&lt;1&gt;.png"), std::string::npos);
    EXPECT_NE(t.find("<string>TINTABLE</string>"), std::string::npos);
    EXPECT_NE(t.find("<ambientColor>0.5 0 0 0.99609375  </ambientColor>"), std::string::npos);
}

}  // namespace
