// File > Convert Folder: the folder chosen, each model converted on its own
// without a question, a result line per file and the summary in the log,
// the progress bar counting files, the other commands disabled meanwhile.
#include <QFileDialog>
#include <QProgressBar>
#include <QSignalSpy>
#include <set>

#include "convert/batch.h"
#include "gui_support.h"
#include "support/cal3d_check.h"

using namespace molv;
using namespace molv::test;

namespace {

bool logged(const Program& p, const std::string& line) {
    for (const std::string& l : p.logLines())
        if (l.find(line) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(ConvertFolder, ConvertsEachModelAndSummarises) {
    Program p("folder");
    const std::string dir = exampleCopy("folderex");
    std::filesystem::copy_file(dataPath("3ds/test1.3ds"), dir + "test1.3ds");
    writeFile(dir + "broken.dae", "<COLLADA>\n<library_geometries>\n");
    writeFile(dir + "notes.txt", "not a model");

    Boxes boxes;
    boxes.then([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr) << w->metaObject()->className();
        d->setDirectory(QString::fromStdString(dir));
        QMetaObject::invokeMethod(d, "accept");
    });
    QSignalSpy bar(p.find<QProgressBar>("progress"), &QProgressBar::valueChanged);
    bool ok = true, openEnabled = true, barShown = false;
    ASSERT_TRUE(p.waitForConversion(
        [&] {
            p.action("m_f_folder")->trigger();
            openEnabled = p.action("m_f_open")->isEnabled() || p.action("m_f_folder")->isEnabled();
            barShown = p.find<QProgressBar>("progress")->isVisible();
        },
        &ok));
    EXPECT_FALSE(ok) << "one file failed";
    EXPECT_FALSE(openEnabled);
    EXPECT_TRUE(barShown);
    EXPECT_TRUE(p.action("m_f_open")->isEnabled());
    EXPECT_EQ(boxes.seen.size(), 1u) << "the folder chooser, no question per file";

    EXPECT_TRUE(logged(p, "converted  stool.obj"));
    // Its textures are not there: converted, with warnings.
    EXPECT_TRUE(logged(p, "converted  test1.3ds, 3 warnings"));
    EXPECT_TRUE(logged(p, "failed     broken.dae: "));
    EXPECT_TRUE(logged(p, "3 files: 2 converted (1 with warnings), 1 failed"));
    EXPECT_FALSE(logged(p, "notes.txt"));
    EXPECT_EQ(p.action("mStat")->text().toStdString(), "[ 2 converted (1 with warnings), 1 failed ]");
    // The bar counts files: a third of its steps per file.
    for (const QList<QVariant>& v : bar) EXPECT_TRUE(std::set<int>({0, 333, 666, 1000}).count(v[0].toInt())) << v[0].toInt();
    for (const char* base : {"stool", "test1"}) {
        EXPECT_TRUE(std::filesystem::exists(dir + base + ".cmf")) << base;
        if (cal3dAvailable()) {
            EXPECT_TRUE(loadCal3dSet(dir + base).ok()) << base;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "broken.cmf"));

    // Stopped: no further file begins, and each left says so.
    std::vector<BatchItem> items = batchSources({"."}, dir, false, false);
    std::vector<std::string> lines;
    for (const char* f : {"stool", "test1"}) std::filesystem::remove(dir + f + std::string(".cmf"));
    convertBatch(
        p.ctx, items, 2, [&](const std::string& l) { lines.push_back(l); }, [] { return true; });
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& l : lines) EXPECT_NE(l.find(": stopped before it began"), std::string::npos) << l;
    EXPECT_FALSE(std::filesystem::exists(dir + "stool.cmf"));
}
