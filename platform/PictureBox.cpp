// The picture box and its persistent image.
#include "PictureBox.h"

#include <QPainter>

namespace quorvane::platform {

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setFocusPolicy(Qt::StrongFocus);
    m_image = QImage(1, 1, QImage::Format_RGB32);
    m_image.fill(m_backColor);
}

void PictureBox::setBackColor(const QColor& colour) {
    m_backColor = colour;
    m_image.fill(colour);
    update();
}

void PictureBox::setPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

HDC PictureBox::hDC() {
    fitImage(); // the window may have moved to a screen of another density
    const quorvane::icons::Surface surface{reinterpret_cast<std::uint32_t*>(m_image.bits()),
                                           m_image.width(), m_image.height(),
                                           m_image.bytesPerLine() / 4};
    return HDC{surface, m_image.devicePixelRatio()};
}

void PictureBox::Cls() {
    m_image.fill(m_backColor);
    update();
}

void PictureBox::Refresh() {
    repaint();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = contentsRect();
    if (!m_picture.isNull()) {
        painter.fillRect(area, m_backColor); // behind the picture's transparent pixels
        // Enlarged by whole pixels (the painter's default), never blurred.
        painter.drawImage(area, m_picture);
    } else {
        painter.drawImage(area.topLeft(), m_image);
    }
    painter.end();
    QFrame::paintEvent(event);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    fitImage();
}

void PictureBox::fitImage() {
    const qreal ratio = devicePixelRatioF();
    const QSize size = (QSizeF(contentsRect().size()) * ratio).toSize().expandedTo(QSize(1, 1));
    if (size == m_image.size() && ratio == m_image.devicePixelRatio())
        return;
    QImage resized(size, QImage::Format_RGB32);
    resized.setDevicePixelRatio(ratio);
    resized.fill(m_backColor);
    QPainter(&resized).drawImage(0, 0, m_image);
    m_image = resized;
}

} // namespace quorvane::platform
