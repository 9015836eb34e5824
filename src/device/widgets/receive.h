#pragma once
// TForm2: the modal download dialog. It finds the instrument on "\\.\COM1" or "\\.\COM2",
// shows what the instrument reported and the progress of the memory transfer, and offers
// Cancel. exec() returns 1 when memoryImage() and deviceInfo() hold a fresh download and 2 when
// the instrument was not found, was the wrong one, the transfer failed or the operator cancelled.
#include "device/downloadrunner.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

class TForm2 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
    ~TForm2() override;

    DownloadRunner &runner() { return m_runner; }
    // The dialog's components, which the runner holds: the serial port and the two timers (the
    // no-reply time-out of the port search and the delay before the memory command).
    TCommPortDriver &CommPortDriver1() { return m_runner.port(); }
    QTimer &Timer1() { return m_runner.searchTimer(); }
    QTimer &Timer2() { return m_runner.memoryDelayTimer(); }

    QProgressBar *ProgressBar1 = nullptr;
    QLabel *StaticText2 = nullptr;
    QPushButton *Button1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *StaticText1 = nullptr;
    QLabel *StaticText3 = nullptr;
    QLabel *StaticText4 = nullptr;
    QLabel *StaticText5 = nullptr;
    QLabel *StaticText6 = nullptr;
    QLabel *StaticText7 = nullptr;

    void Button1Click();

public slots:
    void done(int result) override;
    // Escape does nothing: Cancel is the way out.
    void reject() override {}

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    void FormClose();
    void setText(DownloadText field, const QString &text);

    DownloadRunner m_runner;
};
