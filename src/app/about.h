#pragma once
// The about box: program name, the version of the running executable and what the program does.
#include <QDialog>

class QLabel;
class QPushButton;

// The file version compiled into the executable; "0.0.0.0" when it is missing or shorter than two
// characters.
QString fileVersionText();
// The same rule applied to a given version string (nullptr: no version information).
QString fileVersionText(const char *compiledVersion);

class Tform6 : public QDialog
{
    Q_OBJECT
public:
    explicit Tform6(QWidget *parent = nullptr);

    QLabel *StaticText1 = nullptr;
    QLabel *StaticText2 = nullptr;
    QLabel *StaticText3 = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void Button1Click();
};
