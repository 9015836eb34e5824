#pragma once
// TForm4 "Построение графиков": asks for the number of an observation series and filters the
// measurement table to its readings.
#include "output/draw/masschart.h"

#include <QDialog>

class DbfTable;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TForm4 : public QDialog
{
    Q_OBJECT
public:
    TForm4(DbfTable *table, QWidget *parent = nullptr);

    void setTable(DbfTable *table) { m_table = table; }

    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *Button1;

    // "Построить": selects the readings; closes with Accepted when the series has two readings or
    // more, otherwise warns "Данной серии измерений не существует" and closes with Rejected.
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    DbfTable *m_table;
};
