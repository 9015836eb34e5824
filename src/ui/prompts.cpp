#include "prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {
Prompts *g_installed = nullptr;

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString runFileDialog(QWidget *parent, const FileDialogRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.title, request.initialDirectory, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

Prompts &Prompts::instance()
{
    static QtPrompts real;
    return g_installed ? *g_installed : real;
}

void Prompts::setInstance(Prompts *prompts)
{
    g_installed = prompts;
}

void QtPrompts::showMessage(const QString &text, const QString &caption, MessageIcon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parentWidget());
    box.exec();
}

void QtPrompts::showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                                    MessageIcon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parentWidget());
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(informative);
    box.exec();
}

Prompts::Answer QtPrompts::askYesNo(const QString &text, const QString &caption, MessageIcon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parentWidget());
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtPrompts::saveFileName(const FileDialogRequest &request)
{
    return runFileDialog(parentWidget(), request, QFileDialog::AcceptSave);
}

QString QtPrompts::openFileName(const FileDialogRequest &request)
{
    return runFileDialog(parentWidget(), request, QFileDialog::AcceptOpen);
}

bool QtPrompts::chooseColor(QColor *color)
{
    const QColor chosen = QColorDialog::getColor(*color, parentWidget());
    if (!chosen.isValid())
        return false;
    *color = chosen;
    return true;
}

bool QtPrompts::printDialog(QPrinter *printer, int pageCount)
{
    QPrintDialog dialog(printer, parentWidget());
    dialog.setMinMax(1, qMax(1, pageCount));
    dialog.setFromTo(1, qMax(1, pageCount));
    return dialog.exec() == QDialog::Accepted;
}
