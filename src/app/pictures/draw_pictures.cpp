// Draws the program's pictures into this folder: the seven 16 x 16 command pictures, the
// application icon and the 400 x 78 splash banner. The PNG files are kept in the repository and
// compiled in through qpx.qrc; run this again only to change them:
//   g++ -std=c++20 -fPIC draw_pictures.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw_pictures
//   QT_QPA_PLATFORM=offscreen /tmp/draw_pictures src/app/pictures
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QImage canvas(int w = 16, int h = 16)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void page(QPainter &p, const QColor &fill)
{
    QPainterPath path;
    path.moveTo(2.5, 0.5);
    path.lineTo(10.5, 0.5);
    path.lineTo(13.5, 3.5);
    path.lineTo(13.5, 15.5);
    path.lineTo(2.5, 15.5);
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(fill);
    p.drawPath(path);
    p.drawLine(QPointF(10.5, 0.5), QPointF(10.5, 3.5));
    p.drawLine(QPointF(10.5, 3.5), QPointF(13.5, 3.5));
}

QImage blankPage()
{
    QImage image = canvas();
    QPainter p(&image);
    page(p, Qt::white);
    return image;
}

QImage openFolder()
{
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 90, 0), 1));
    p.setBrush(QColor(230, 190, 60));
    p.drawPolygon(QPolygonF({{0.5, 3.5}, {5.5, 3.5}, {6.5, 5.5}, {12.5, 5.5}, {12.5, 14.5}, {0.5, 14.5}}));
    p.setBrush(QColor(250, 220, 110));
    p.drawPolygon(QPolygonF({{3.5, 8.5}, {15.5, 8.5}, {12.5, 14.5}, {0.5, 14.5}}));
    return image;
}

QImage diskette()
{
    QImage image = canvas();
    QPainter p(&image);
    p.setPen(QPen(QColor(20, 20, 60), 1));
    p.setBrush(QColor(40, 60, 140));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 1.5, 9, 6));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    p.fillRect(QRect(9, 11, 2, 3), QColor(40, 60, 140));
    return image;
}

QImage pageWithMagnifier()
{
    QImage image = canvas();
    QPainter p(&image);
    page(p, Qt::white);
    p.setPen(QColor(150, 150, 150));
    for (int y = 4; y <= 12; y += 2)
        p.drawLine(4, y, 9, y);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 11), QPointF(14.5, 14.5));
    p.setPen(QPen(QColor(30, 30, 30), 1.2));
    p.setBrush(QColor(170, 220, 255, 220));
    p.drawEllipse(QPointF(8.5, 8.5), 3.6, 3.6);
    return image;
}

QImage printer()
{
    QImage image = canvas();
    QPainter p(&image);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 0.5, 7, 6));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(0.5, 6.5, 15, 6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 10.5, 9, 5));
    p.setPen(QColor(120, 120, 120));
    p.drawLine(5, 12, 10, 12);
    p.drawLine(5, 14, 10, 14);
    p.fillRect(QRect(12, 8, 2, 1), QColor(40, 180, 40));
    return image;
}

QImage helpBook()
{
    QImage image = canvas();
    QPainter p(&image);
    p.setPen(QPen(QColor(20, 40, 90), 1));
    p.setBrush(QColor(50, 90, 180));
    p.drawRect(QRectF(2.5, 0.5, 11, 14));
    p.setBrush(QColor(240, 240, 225));
    p.drawRect(QRectF(3.5, 13.5, 10, 2));
    p.fillRect(QRect(3, 1, 2, 13), QColor(30, 60, 130));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(255, 230, 60));
    p.drawText(QRect(4, 0, 10, 14), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

QImage redCross()
{
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 20, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 3), QPointF(13, 13));
    p.drawLine(QPointF(13, 3), QPointF(3, 13));
    return image;
}

// The application icon: a balance scale on a blue tile.
QImage applicationIcon()
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 160));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 6), QPointF(16, 25));
    p.drawLine(QPointF(7, 10), QPointF(25, 10));
    p.drawLine(QPointF(10, 26), QPointF(22, 26));
    p.setPen(QPen(Qt::white, 1.2));
    p.drawLine(QPointF(7, 10), QPointF(4, 18));
    p.drawLine(QPointF(7, 10), QPointF(10, 18));
    p.drawLine(QPointF(25, 10), QPointF(22, 18));
    p.drawLine(QPointF(25, 10), QPointF(28, 18));
    p.setBrush(Qt::white);
    p.drawChord(QRectF(3, 14, 8, 8), 180 * 16, 180 * 16);
    p.drawChord(QRectF(21, 14, 8, 8), 180 * 16, 180 * 16);
    return image;
}

// The maker's banner of the splash window, 400 x 78, 24-bit.
QImage banner()
{
    QImage image(400, 78, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 400, 78);
    sky.setColorAt(0, QColor(18, 52, 120));
    sky.setColorAt(1, QColor(60, 130, 200));
    p.fillRect(image.rect(), sky);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    for (int x = -80; x < 400; x += 14)
        p.drawLine(x, 78, x + 80, 0);
    QImage icon = applicationIcon().scaled(56, 56, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawImage(12, 11, icon);
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(80, 6, 310, 38), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ЛКТ-ДН7"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(13);
    p.setFont(sub);
    p.setPen(QColor(220, 235, 255));
    p.drawText(QRect(82, 42, 310, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Передача данных с весового прибора"));
    p.drawText(QRect(82, 58, 310, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Norvelt"));
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const struct
    {
        const char *name;
        QImage image;
    } pictures[] = {
        {"0_blank_page.png", blankPage()}, {"1_open_folder.png", openFolder()},
        {"2_diskette.png", diskette()},    {"3_page_magnifier.png", pageWithMagnifier()},
        {"4_printer.png", printer()},      {"5_help_book.png", helpBook()},
        {"6_red_cross.png", redCross()},   {"qpx.png", applicationIcon()},
        {"banner.png", banner()},
    };
    for (const auto &picture : pictures) {
        if (!picture.image.save(out.filePath(QString::fromLatin1(picture.name))))
            return 1;
    }
    return 0;
}
