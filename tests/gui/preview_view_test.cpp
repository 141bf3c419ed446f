// The turnable preview on its own, driven as a user would: a drag turns the
// written stool (the full picture once the button is up), the wheel zooms,
// a double click brings back the first view; a still picture afterwards is
// not turnable. The pictures themselves are pinned in tests/model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include "convert/preview.h"
#include "gui/preview_view.h"
#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void wheel(QWidget* w, int notches) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

TEST(PreviewView, DragTurnsWheelZoomsDoubleClickResets) {
    test::TestContext tc;
    const std::string dir = test::tempDir("previewview");
    tc.ctx.app.configDir = tc.ctx.app.workdir = dir;
    ASSERT_TRUE(test::convert(tc.ctx, test::dataPath("../../examples/stool.obj"), dir + "stool.cmf"));
    LoadedScene loaded = lastSetScene(tc.ctx);
    ASSERT_TRUE(loaded.ok) << loaded.message;

    PreviewView view;
    view.resize(240, 200);
    view.show();
    view.setScene(std::move(loaded.scene));
    ASSERT_TRUE(view.hasScene());
    const QImage first = view.picture();
    EXPECT_EQ(first.height(), 200 * first.devicePixelRatio());  // drawn at the size it has

    // Dragging 60 pixels right and 40 down: the camera follows each move.
    mouse(&view, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    mouse(&view, QEvent::MouseMove, {130, 120}, Qt::LeftButton);
    mouse(&view, QEvent::MouseMove, {160, 140}, Qt::LeftButton);
    mouse(&view, QEvent::MouseButtonRelease, {160, 140}, Qt::NoButton);
    EXPECT_DOUBLE_EQ(view.camera().yaw, 35 - 60 * kPreviewDegreesPerPixel);
    EXPECT_DOUBLE_EQ(view.camera().pitch, 25 + 40 * kPreviewDegreesPerPixel);
    const QImage turned = view.picture();
    EXPECT_NE(turned, first);
    // At rest, the full picture of that camera.
    const Image full = renderPreview(*std::make_shared<PreviewScene>(lastSetScene(tc.ctx).scene), turned.width(),
                                     view.camera());
    EXPECT_EQ(turned, QImage(full.rgb.data(), full.width, full.height, full.width * 3, QImage::Format_RGB888));

    // The wheel zooms in and out, a notch at a time.
    wheel(&view, 2);
    EXPECT_NEAR(view.camera().zoom, kPreviewZoomPerNotch * kPreviewZoomPerNotch, 1e-12);
    wheel(&view, -4);
    EXPECT_NEAR(view.camera().zoom, 1 / (kPreviewZoomPerNotch * kPreviewZoomPerNotch), 1e-12);

    // A double click: the first view again, pixel for pixel.
    mouse(&view, QEvent::MouseButtonDblClick, {50, 50}, Qt::LeftButton);
    EXPECT_EQ(view.camera(), PreviewCamera{});
    EXPECT_EQ(view.picture(), first);

    // A still picture replaces the scene: dragging no longer turns anything.
    view.showPicture(Image(64, 64));
    EXPECT_FALSE(view.hasScene());
    const QImage still = view.picture();
    mouse(&view, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    mouse(&view, QEvent::MouseMove, {150, 100}, Qt::LeftButton);
    mouse(&view, QEvent::MouseButtonRelease, {150, 100}, Qt::NoButton);
    EXPECT_EQ(view.picture(), still);
    view.showPicture({}, QStringLiteral("no Cal3D set was written"));
    EXPECT_EQ(view.text().toStdString(), "no Cal3D set was written");
}

}  // namespace
}  // namespace molv
