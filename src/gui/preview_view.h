// The preview beside the log: the picture of the last converted set, drawn
// by the same code as `--preview` into memory, scaled to the space it has.
#pragma once
#include <QImage>
#include <QLabel>

#include "util/image.h"

namespace molv {

class PreviewView : public QLabel {
    Q_OBJECT
public:
    explicit PreviewView(QWidget* parent = nullptr);
    // Shows the picture; an empty one clears the view and shows `why`.
    void showPicture(const Image& image, const QString& why = {});
    const QImage& picture() const { return picture_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rescale();
    QImage picture_;
};

}  // namespace molv
