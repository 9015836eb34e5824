#include "param_graf.h"

#include "dbase/dbftable.h"
#include "ui/errorguard.h"
#include "ui/prompts.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

TForm4::TForm4(DbfTable *table, QWidget *parent) : QDialog(parent), m_table(table)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Построение графиков"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(465, 112);

    GroupBox1 = new QGroupBox(QStringLiteral("Выберете графики"), this);
    GroupBox1->setGeometry(0, 0, 465, 112);
    QFont shared(QStringLiteral("MS Sans Serif"));
    shared.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    shared.setPixelSize(13);
    GroupBox1->setFont(shared);

    Label1 =
        new QLabel(QStringLiteral("Введите номер серии для которой необходимо построить график:"), GroupBox1);
    Label1->move(16, 24);
    Label1->adjustSize();
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(211, 48, 33, 24);
    Button1 = new QPushButton(QStringLiteral("Построить"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(184, 80, 87, 25);
    Button1->setAutoDefault(false);
    // Enter in the series field presses "Построить".
    Button1->setDefault(true);
    GroupBox1->setAccessibleName(GroupBox1->title());
    Edit1->setAccessibleName(Label1->text());
    Label1->setBuddy(Edit1);
    connect(Button1, &QPushButton::clicked, this, [this] { runGuarded([this] { Button1Click(); }); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm4::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // At every showing the series field takes the typing, its old text selected so that the next
    // number replaces it.
    Edit1->setFocus(Qt::OtherFocusReason);
    Edit1->selectAll();
}

void TForm4::Button1Click()
{
    if (m_table && selectSeries(*m_table, Edit1->text())) {
        accept();
        return;
    }
    Prompts::instance().showMessage(QStringLiteral("Данной серии измерений не существует"),
                                    QStringLiteral("Предупреждение"), MessageIcon::Warning);
    reject();
}
