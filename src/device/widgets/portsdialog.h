#pragma once
// "Настройка портов": which device "\\.\COM1" and "\\.\COM2" stand for on this machine. Lists
// the serial ports present (refreshed every second while open, as adapters come and go) and
// lets the operator assign the selected one, or any path typed in, to either name. OK stores
// the assignments in the settings ("Ports/COM1", "Ports/COM2"); an empty field stores nothing,
// so the name keeps its default device.
#include "device/serialports.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TPortsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TPortsDialog(QWidget *parent = nullptr);

    QTableWidget *PortList = nullptr;
    QLineEdit *Com1Edit = nullptr;
    QLineEdit *Com2Edit = nullptr;
    QLabel *Com1State = nullptr;
    QLabel *Com2State = nullptr;
    QPushButton *Com1Assign = nullptr;
    QPushButton *Com2Assign = nullptr;

    // Lists the ports again; the selected one stays selected while it is present.
    void refresh();
    // The path of the selected port, empty when none.
    QString selectedPath() const;
    // Stores the two fields (done by OK).
    void save();

    void done(int result) override;

private:
    void showStates();
    void assignSelected(QLineEdit *field);

    QTimer m_refresh;
    QString m_shown; // what the list shows, to redraw only on a change
};
