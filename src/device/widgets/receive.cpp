#include "receive.h"

#include "ui/errorguard.h"
#include "ui/prompts.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>

namespace {

// Messages of the download go to whatever prompts are installed when they are shown.
class PromptsSink : public MessageSink
{
public:
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override
    {
        Prompts::instance().showMessage(text, caption, icon);
    }
    void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                             MessageIcon icon) override
    {
        Prompts::instance().showDetailedMessage(text, informative, caption, icon);
    }
};

PromptsSink promptsSink;

QFont fontOfHeight(const QFont &base, int pixels, bool bold = false)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel *staticText(QWidget *parent, const QString &text, int left, int top, int width, int height)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (width > 0)
        label->setGeometry(left, top, width, height);
    else {
        label->move(left, top);
        label->adjustSize();
    }
    return label;
}

} // namespace

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    // Fixed border, a title and no system menu or close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(490, 245);
    // "MS Sans Serif" where it exists; elsewhere a face with the same metrics as its successor.
    QFont base(QStringLiteral("MS Sans Serif"));
    base.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    base.setPixelSize(11);
    setFont(base);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Ход загрузки"));
    ProgressBar1->setGeometry(20, 57, 453, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    StaticText2 = staticText(this, QStringLiteral("Ожидание готовности прибора ..."), 104, 12, 288, 24);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setAlignment(Qt::AlignCenter);
    StaticText2->setFont(fontOfHeight(base, 16, true));

    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(412, 216, 75, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);

    GroupBox1 = new QGroupBox(QStringLiteral("Информация"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(20, 100, 453, 101);
    GroupBox1->setFont(fontOfHeight(base, 13));

    StaticText1 = staticText(GroupBox1, QString(), 124, 48, 0, 0);
    StaticText3 = staticText(GroupBox1, QStringLiteral("Версия ПО:"), 20, 48, 77, 20);
    StaticText4 = staticText(GroupBox1, QStringLiteral("Тип прибора:"), 20, 24, 91, 20);
    StaticText5 = staticText(GroupBox1, QString(), 124, 24, 0, 0);
    StaticText6 = staticText(GroupBox1, QStringLiteral("Количество записей:"), 20, 72, 143, 20);
    StaticText7 = staticText(GroupBox1, QString(), 164, 72, 0, 0);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    StaticText4->setObjectName(QStringLiteral("StaticText4"));
    StaticText5->setObjectName(QStringLiteral("StaticText5"));
    StaticText6->setObjectName(QStringLiteral("StaticText6"));
    StaticText7->setObjectName(QStringLiteral("StaticText7"));

    m_runner.setMessageSink(&promptsSink);
    m_runner.setGuard([](const std::function<void()> &handler) { runGuarded(handler); });
    connect(&m_runner, &DownloadRunner::textChanged, this, &TForm2::setText);
    connect(&m_runner, &DownloadRunner::progressChanged, this,
            [this](int position) { ProgressBar1->setValue(std::clamp(position, 0, 100)); });
    connect(&m_runner, &DownloadRunner::finished, this, [this](int result) { done(result); });
}

TForm2::~TForm2() = default;

void TForm2::setText(DownloadText field, const QString &text)
{
    QLabel *label = nullptr;
    switch (field) {
    case DownloadText::Caption:
        setWindowTitle(text);
        return;
    case DownloadText::Status:
        label = StaticText2;
        break;
    case DownloadText::DeviceType:
        label = StaticText5;
        break;
    case DownloadText::Firmware:
        label = StaticText1;
        break;
    case DownloadText::RecordCount:
        label = StaticText7;
        break;
    }
    label->setText(text);
    label->adjustSize(); // the static texts size themselves to their text
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm2::FormShow()
{
    m_runner.start();
}

void TForm2::Button1Click()
{
    m_runner.cancel();
}

void TForm2::FormClose()
{
    m_runner.close(); // both timers stop; the port is closed on every way out
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm2::closeEvent(QCloseEvent *event)
{
    // Closed by the window system (there is no close box): the same as Cancel.
    event->ignore();
    if (m_runner.running())
        Button1Click();
    else
        done(2);
}
