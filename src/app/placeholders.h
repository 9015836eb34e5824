#pragma once
// PLACEHOLDERS: stand-ins for the pieces of other subsystems that are not in the tree yet, so that
// the shell builds and runs on its own. Each block disappears as soon as the real header exists.
#include "data/dbftable.h"
#include "data/memoryimage.h"
#include "data/messages.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QHeaderView>
#include <QTableView>

#if __has_include("device/receive.h")
#include "device/receive.h"
#else
// PLACEHOLDER: the download dialog is not built yet; every download fails (result 2).
class TForm2 : public QDialog
{
public:
    explicit TForm2(QWidget *parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Прием данных")); }
    int exec() override { return 2; }
};
#endif

#if __has_include("output/param_graf.h")
#include "output/param_graf.h"
#else
// PLACEHOLDER: the chart parameters dialog is not built yet; it is always cancelled.
class TForm4 : public QDialog
{
public:
    TForm4(DbfTable *, QWidget *parent) : QDialog(parent) {}
    int exec() override { return QDialog::Rejected; }
};
#endif

#if __has_include("output/graf.h")
#include "output/graf.h"
#else
// PLACEHOLDER: the chart window is not built yet.
class TForm3 : public QDialog
{
public:
    TForm3(DbfTable *, QWidget *parent) : QDialog(parent) {}
    int exec() override { return QDialog::Rejected; }
};
#endif

#if __has_include("output/excelexport.h")
#include "output/excelexport.h"
#define QPX_HAVE_EXCEL_EXPORT 1
#endif

#if __has_include("output/measurementreport.h")
#include "output/measurementreport.h"
#else
// PLACEHOLDER: the measurement report is not built yet; preview and print do nothing.
class MeasurementReport : public QObject
{
public:
    MeasurementReport(DbfTable *, QObject *parent) : QObject(parent) {}
    void preview(QWidget *) {}
    void print(QWidget *) {}
    void printLast(QWidget *) {}
};
#endif

#include "view/tableview.h"
