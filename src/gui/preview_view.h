// The preview beside the log: the last converted set, drawn by the same
// code as `--preview`. Given a scene it can be turned: drag to orbit, the
// wheel to zoom, a double click back to the first view; while a drag lasts
// the lighter picture is drawn, and the full one when it ends.
#pragma once
#include <QImage>
#include <QLabel>
#include <QPoint>
#include <memory>

#include "model/preview_raster.h"
#include "util/image.h"

namespace molv {

class PreviewView : public QLabel {
    Q_OBJECT
public:
    explicit PreviewView(QWidget* parent = nullptr);
    // Shows a still picture (nothing to turn); an empty one clears the view
    // and shows `why`.
    void showPicture(const Image& image, const QString& why = {});
    // Shows the scene from the default camera, to be turned. The window's
    // thread only; the scene is built anywhere (lastSetScene on the worker)
    // and moved here. An empty scene shows the background and the bar.
    void setScene(PreviewScene scene);
    bool hasScene() const { return scene_ != nullptr; }
    const PreviewCamera& camera() const { return camera_; }
    void setCamera(const PreviewCamera& camera);
    // The picture on show, at the size it was drawn.
    const QImage& picture() const { return picture_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void redraw();
    void rescale();
    std::shared_ptr<const PreviewScene> scene_;
    PreviewScratch scratch_;
    PreviewCamera camera_;
    bool dragging_ = false;
    QPoint last_;
    QImage picture_;
};

}  // namespace molv
