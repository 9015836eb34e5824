#pragma once
// TForm3 "Графики": the mass of one observation series over time, and its print.
#include "components/widgets/chartview.h"
#include "output/draw/masschart.h"

#include <QDialog>

class DbfTable;
class QPrinter;
class QPushButton;

// Prints the chart on one landscape page, stretched to the printable area less 4 % on each side,
// as the job "Chart1", without a dialog. Raises an error (and aborts the job) when it fails.
void printChart(const Chart &chart, QPrinter &printer);

// The program's current printer: the chart print keeps its orientation for later prints.
QPrinter &chartPrinter();

class TForm3 : public QDialog
{
    Q_OBJECT
public:
    TForm3(DbfTable *table, QWidget *parent = nullptr);

    void setTable(DbfTable *table) { m_table = table; }

    ChartView *Chart1;
    QPushButton *Button1;

    void FormShow();
    // "Печать": prints on the current printer.
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    DbfTable *m_table;
};
