#include "gui/preview_view.h"

#include <QPixmap>

namespace molv {

PreviewView::PreviewView(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("preview"));
    setAlignment(Qt::AlignCenter);
    setMinimumSize(160, 160);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setText(QStringLiteral("No preview yet"));
}

void PreviewView::showPicture(const Image& image, const QString& why) {
    if (image.empty()) {
        picture_ = QImage();
        setPixmap(QPixmap());
        setText(why.isEmpty() ? QStringLiteral("No preview") : why);
        return;
    }
    picture_ = QImage(image.rgb.data(), image.width, image.height, image.width * 3, QImage::Format_RGB888).copy();
    rescale();
}

void PreviewView::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    rescale();
}

void PreviewView::rescale() {
    if (picture_.isNull()) return;
    const int side = std::max(16, std::min(width(), height()));
    setPixmap(QPixmap::fromImage(picture_.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

}  // namespace molv
