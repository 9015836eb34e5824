#pragma once
// The splash window: the maker's banner, shown modally at start-up until its timer ends it.
#include <QDialog>
#include <QTimer>

class QLabel;

class TForm5 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    // 3000 ms, disabled until the window is shown.
    QTimer Timer1;

    void FormShow();    // starts Timer1
    void Timer1Timer(); // ends the modal display with OK

protected:
    void showEvent(QShowEvent *event) override;
};
