#pragma once
// The about box: program name, the version of the running executable and what the program does.
#include <QDialog>

class QLabel;
class QPushButton;

// The version of the running executable: on Windows the "FileVersion" of its version resource
// (qpx.rc), elsewhere (and for a Windows program without the resource) the version compiled in;
// "0.0.0.0" when it is missing or shorter than two characters.
QString fileVersionText();
// The "FileVersion" value of the version resource of an executable, in its block for Russian,
// code page 1251 ("041904E3"); empty when the file has none or the system has no such resources
// (versionresource_win.cpp, versionresource.cpp).
QString resourceFileVersion(const QString &executable);
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
