#include "about.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

QFont sansSerif(int pixelSize, bool bold = false)
{
    // "MS Sans Serif" where it exists; elsewhere a face with the metrics of its successor.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel *staticText(QWidget *parent, int left, int top, const QString &text, const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setFont(font);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

QString fileVersionText(const char *compiledVersion)
{
    const QString version = compiledVersion ? QString::fromUtf8(compiledVersion) : QString();
    return version.size() >= 2 ? version : QStringLiteral("0.0.0.0");
}

QString fileVersionText()
{
    const QString fromResource = resourceFileVersion(QCoreApplication::applicationFilePath());
    if (!fromResource.isEmpty())
        return fileVersionText(fromResource.toUtf8().constData());
#ifdef QPX_VERSION_TEXT
    return fileVersionText(QPX_VERSION_TEXT);
#else
    return fileVersionText(nullptr);
#endif
}

Tform6::Tform6(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("О программе"));
    // Tool window: small caption with a close button only, not resizable.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(515, 151);

    StaticText1 = staticText(this, 12, 12, QStringLiteral("ЛКТ-ДН7"), sansSerif(16, true));
    StaticText3 = staticText(this, 12, 44, QStringLiteral("Версия 1.0"), sansSerif(13));
    StaticText2 = staticText(this, 12, 72, QStringLiteral("Программа для передачи данных с прибора ЛКТ-ДН7"),
                             sansSerif(13));
    Button1 = new QPushButton(QStringLiteral("Ок"), this);
    Button1->setFont(sansSerif(11));
    Button1->setGeometry(434, 116, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &Tform6::Button1Click);
}

void Tform6::showEvent(QShowEvent *event)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
    QDialog::showEvent(event);
}

void Tform6::FormShow()
{
    StaticText3->setText(QStringLiteral("Версия ") + fileVersionText());
    StaticText3->adjustSize();
}

void Tform6::Button1Click()
{
    accept();
}
