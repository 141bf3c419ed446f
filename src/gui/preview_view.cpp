#include "gui/preview_view.h"

#include <QMouseEvent>
#include <QPixmap>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace molv {

PreviewView::PreviewView(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("preview"));
    setAlignment(Qt::AlignCenter);
    setMinimumSize(160, 160);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setText(QStringLiteral("No preview yet"));
}

void PreviewView::showPicture(const Image& image, const QString& why) {
    scene_.reset();
    dragging_ = false;
    unsetCursor();
    if (image.empty()) {
        picture_ = QImage();
        setPixmap(QPixmap());
        setText(why.isEmpty() ? QStringLiteral("No preview") : why);
        return;
    }
    picture_ = QImage(image.rgb.data(), image.width, image.height, image.width * 3, QImage::Format_RGB888).copy();
    rescale();
}

void PreviewView::setScene(PreviewScene scene) {
    scene_ = std::make_shared<const PreviewScene>(std::move(scene));
    camera_ = PreviewCamera{};
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
    redraw();
}

void PreviewView::setCamera(const PreviewCamera& camera) {
    camera_ = camera;
    if (scene_) redraw();
}

void PreviewView::redraw() {
    if (!scene_) return;
    // Drawn at the pixels the widget has, so nothing is scaled.
    const double dpr = devicePixelRatioF();
    const int side = std::clamp(static_cast<int>(std::lround(std::min(width(), height()) * dpr)), 16, 4096);
    PreviewCamera cam = camera_;
    cam.light = dragging_;
    const Image img = renderPreview(*scene_, side, cam, &scratch_);
    picture_ = QImage(img.rgb.data(), img.width, img.height, img.width * 3, QImage::Format_RGB888).copy();
    picture_.setDevicePixelRatio(dpr);
    setPixmap(QPixmap::fromImage(picture_));
}

void PreviewView::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (scene_)
        redraw();
    else
        rescale();
}

void PreviewView::rescale() {
    if (picture_.isNull()) return;
    const int side = std::max(16, std::min(width(), height()));
    setPixmap(QPixmap::fromImage(picture_.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
    if (!scene_ || event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    dragging_ = true;
    last_ = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void PreviewView::mouseMoveEvent(QMouseEvent* event) {
    if (!scene_ || !dragging_) return QLabel::mouseMoveEvent(event);
    const QPoint at = event->position().toPoint(), d = at - last_;
    last_ = at;
    camera_ = orbitPreview(camera_, d.x(), d.y());
    redraw();
    event->accept();
}

void PreviewView::mouseReleaseEvent(QMouseEvent* event) {
    if (!scene_ || !dragging_ || event->button() != Qt::LeftButton) return QLabel::mouseReleaseEvent(event);
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
    redraw();  // the full picture once the view rests
    event->accept();
}

void PreviewView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!scene_) return QLabel::mouseDoubleClickEvent(event);
    dragging_ = false;
    camera_ = PreviewCamera{};
    redraw();
    event->accept();
}

void PreviewView::wheelEvent(QWheelEvent* event) {
    if (!scene_) return QLabel::wheelEvent(event);
    camera_ = zoomPreview(camera_, event->angleDelta().y() / 120.0);
    redraw();
    event->accept();
}

}  // namespace molv
