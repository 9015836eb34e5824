#include "portsdialog.h"

#include "device/CPDrv.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { ColPath, ColDescription, ColManufacturer, ColSerial, ColAccess, ColumnCount };

QString defaultDevice(int com)
{
    return TCommPortDriver::defaultDevice(com);
}

} // namespace

TPortsDialog::TPortsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PortsDialog"));
    setWindowTitle(QStringLiteral("Настройка портов"));
    resize(760, 420);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Последовательные порты этого компьютера:"), this));

    PortList = new QTableWidget(0, ColumnCount, this);
    PortList->setObjectName(QStringLiteral("PortList"));
    PortList->setHorizontalHeaderLabels({QStringLiteral("Устройство"), QStringLiteral("Описание"),
                                         QStringLiteral("Изготовитель"), QStringLiteral("Серийный номер"),
                                         QStringLiteral("Доступ")});
    PortList->setSelectionBehavior(QAbstractItemView::SelectRows);
    PortList->setSelectionMode(QAbstractItemView::SingleSelection);
    PortList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PortList->verticalHeader()->hide();
    PortList->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(PortList, 1);

    auto *grid = new QGridLayout;
    auto row = [&](int r, int com, QLineEdit *&edit, QPushButton *&assign, QLabel *&state) {
        grid->addWidget(new QLabel(QStringLiteral("\\\\.\\COM%1:").arg(com), this), r, 0);
        edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Com%1Edit").arg(com));
        edit->setPlaceholderText(QStringLiteral("%1 (по умолчанию)").arg(defaultDevice(com)));
        edit->setText(SerialPorts::assignedPort(com));
        grid->addWidget(edit, r, 1);
        assign = new QPushButton(QStringLiteral("Назначить выбранный"), this);
        assign->setObjectName(QStringLiteral("Com%1Assign").arg(com));
        grid->addWidget(assign, r, 2);
        state = new QLabel(this);
        state->setObjectName(QStringLiteral("Com%1State").arg(com));
        state->setWordWrap(true);
        grid->addWidget(state, r + 1, 1, 1, 2);
        connect(assign, &QPushButton::clicked, this, [this, field = edit] { assignSelected(field); });
        connect(edit, &QLineEdit::textChanged, this, &TPortsDialog::showStates);
    };
    row(0, 1, Com1Edit, Com1Assign, Com1State);
    row(2, 2, Com2Edit, Com2Assign, Com2State);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(SerialPorts::entryHint(), this));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_refresh.setInterval(1000);
    connect(&m_refresh, &QTimer::timeout, this, &TPortsDialog::refresh);
    m_refresh.start();
    refresh();
}

QString TPortsDialog::selectedPath() const
{
    const QList<QTableWidgetItem *> items = PortList->selectedItems();
    for (QTableWidgetItem *item : items) {
        if (item->column() == ColPath)
            return item->text();
    }
    return QString();
}

void TPortsDialog::refresh()
{
    // The assigned devices are listed too, present or not (a pseudo-terminal or a link is found
    // by no enumeration; an adapter that is not plugged in shows as missing).
    const QList<SerialPorts::PortEntry> ports =
        SerialPorts::listPorts({SerialPorts::assignedPort(1), SerialPorts::assignedPort(2)});
    QString shown;
    for (const SerialPorts::PortEntry &p : ports)
        shown += p.path + p.description + p.manufacturer + p.serialNumber +
                 SerialPorts::accessWord(p.check.access) + QLatin1Char('\n');
    if (shown != m_shown) {
        m_shown = shown;
        const QString selected = selectedPath();
        PortList->setRowCount(int(ports.size()));
        int row = 0;
        for (const SerialPorts::PortEntry &p : ports) {
            const QStringList cells{p.path, p.description, p.manufacturer, p.serialNumber,
                                    SerialPorts::accessWord(p.check.access)};
            for (int c = 0; c < ColumnCount; ++c) {
                auto *item = new QTableWidgetItem(cells[c]);
                if (c == ColPath && p.path != p.device)
                    item->setToolTip(p.device);
                if (c == ColAccess)
                    item->setToolTip(SerialPorts::accessText(p.check));
                PortList->setItem(row, c, item);
            }
            if (p.path == selected)
                PortList->selectRow(row);
            ++row;
        }
        PortList->resizeColumnsToContents();
    }
    showStates();
}

void TPortsDialog::showStates()
{
    auto state = [](QLineEdit *edit, QLabel *label, int com) {
        const QString path = edit->text().trimmed().isEmpty() ? defaultDevice(com) : edit->text().trimmed();
        label->setText(path + QStringLiteral(": ") + SerialPorts::accessText(SerialPorts::checkAccess(path)));
    };
    state(Com1Edit, Com1State, 1);
    state(Com2Edit, Com2State, 2);
}

void TPortsDialog::assignSelected(QLineEdit *field)
{
    const QString path = selectedPath();
    if (!path.isEmpty())
        field->setText(path);
}

void TPortsDialog::save()
{
    SerialPorts::assignPort(1, Com1Edit->text());
    SerialPorts::assignPort(2, Com2Edit->text());
}

void TPortsDialog::done(int result)
{
    m_refresh.stop();
    if (result == QDialog::Accepted)
        save();
    QDialog::done(result);
}
