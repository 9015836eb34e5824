#include "logo.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

void initShellResources();

TForm5::TForm5(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    initShellResources();
    setFixedSize(400, 77);
    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 400, 78);
    Image1->setPixmap(QPixmap(QStringLiteral(":/qpx/banner.png")));

    Timer1.setSingleShot(false);
    Timer1.setInterval(3000);
    connect(&Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
}

void TForm5::showEvent(QShowEvent *event)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
    QDialog::showEvent(event);
}

void TForm5::FormShow()
{
    Timer1.setInterval(3000);
    Timer1.start();
}

void TForm5::Timer1Timer()
{
    Timer1.stop();
    Timer1.setInterval(0);
    accept();
}
