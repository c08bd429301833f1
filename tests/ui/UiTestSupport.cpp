#include "UiTestSupport.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace pavana::test {

void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    // Kept until the process ends: destroying it among the static objects at exit would tear
    // down Qt before the controls' own process-wide objects.
    static auto* app = new QApplication(argc, argv);
    (void)app;
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
    palette.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Light, Qt::white);
    QApplication::setPalette(palette);
    QApplication::setFont(QFont(QStringLiteral("Arial"), 8));
}

QImage Render(QWidget& widget, TColor background) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(QColor(int(background & 0xFF), int((background >> 8) & 0xFF), int((background >> 16) & 0xFF)));
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TColor PixelAt(const QImage& image, int x, int y) {
    const QRgb c = image.pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

}  // namespace pavana::test
