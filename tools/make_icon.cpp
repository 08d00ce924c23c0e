// Draws the program's icon (the design of src/app/resources/tesk.svg) as PNG images:
// make_icon OUTPUT_FOLDER [SIZE...] writes tesk-SIZE.png for each size (16 and 32 by default).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>

namespace {

QImage Draw(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const QPen outline(QColor(0x7a, 0x4e, 0x08), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    QPainterPath back;
    back.moveTo(2, 8);
    back.lineTo(2, 28);
    back.lineTo(30, 28);
    back.lineTo(30, 10);
    back.lineTo(15, 10);
    back.lineTo(12, 6);
    back.lineTo(4, 6);
    back.closeSubpath();
    p.setPen(outline);
    p.setBrush(QColor(0xe0, 0xa0, 0x30));
    p.drawPath(back);
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.drawRect(QRectF(2, 11, 28, 17));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a, 0x3a, 0x3a));
    p.drawRect(QRectF(14, 11, 4, 17));
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawRect(QRectF(14, 12, 2, 2));
    p.drawRect(QRectF(16, 14, 2, 2));
    p.drawRect(QRectF(14, 16, 2, 2));
    p.drawRect(QRectF(16, 18, 2, 2));

    p.setPen(QPen(QColor(0x12, 0x35, 0x6e), 1));
    p.setBrush(QColor(0x2f, 0x6f, 0xd0));
    p.drawRoundedRect(QRectF(13, 20, 6, 6), 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(15, 22, 2, 3));
    return image;
}

}  // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT_FOLDER [SIZE...]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QList<int> sizes;
    for (int i = 2; i < argc; ++i) sizes << std::atoi(argv[i]);
    if (sizes.isEmpty()) sizes = {16, 32};
    for (int size : sizes) {
        if (!Draw(size).save(folder + QStringLiteral("/tesk-%1.png").arg(size))) return 1;
    }
    return 0;
}
