// A picture box with a persistent image: what is drawn into its device context stays in an
// off-screen image, is shown on Refresh, cleared by Cls and handed out by Image. The image has
// the screen's pixels: on a screen of high density, the drawable area's size times the
// screen's device pixel ratio.
#pragma once

#include "IconApi.h"

#include <QColor>
#include <QFrame>
#include <QImage>

namespace quorvane::platform {

class PictureBox : public QFrame {
  public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setBackColor(const QColor& colour);
    // Shows a picture (scaled to the drawable area) instead of the persistent image.
    void setPicture(const QImage& picture);
    QImage picture() const { return m_picture; }

    // The persistent image as a drawing surface, the size of the drawable area in the screen's
    // pixels.
    HDC hDC();
    void Cls();
    void Refresh();
    QImage Image() const { return m_image; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Gives the persistent image the drawable area's size in the screen's pixels, keeping what
    // it shows.
    void fitImage();

    QColor m_backColor = Qt::white;
    QImage m_image;
    QImage m_picture;
};

} // namespace quorvane::platform
