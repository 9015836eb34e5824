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

#if __has_include("view/tableview.h")
#include "view/tableview.h"
#else
// PLACEHOLDER: until the measurement grid is built, the rows are shown read-only in a plain
// table view; the grid commands do nothing.
class PlaceholderRowsModel : public QAbstractTableModel
{
public:
    explicit PlaceholderRowsModel(DbfTable *table, QObject *parent)
        : QAbstractTableModel(parent), m_table(table)
    {
        connect(table, &DbfTable::rowsReset, this, [this] {
            beginResetModel();
            endResetModel();
        });
        connect(table, &DbfTable::recordChanged, this, [this](int recNo) {
            const int row = m_table->rowOf(recNo);
            if (row >= 0)
                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || !m_table->isOpen() ? 0 : m_table->rowCount();
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || !m_table->isOpen() ? 0 : m_table->fieldCount();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || !m_table->isOpen())
            return {};
        return m_table->text(m_table->recordAt(index.row()), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role == Qt::DisplayRole && orientation == Qt::Horizontal && m_table->isOpen())
            return m_table->field(section).name;
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    DbfTable *m_table;
};

class TableView : public QObject
{
    Q_OBJECT
public:
    TableView(DbfTable *table, QWidget *parent) : QObject(parent), m_grid(new QTableView(parent))
    {
        m_grid->setModel(new PlaceholderRowsModel(table, m_grid));
        m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_grid->verticalHeader()->hide();
    }
    QWidget *grid() const { return m_grid; }
    void sortReset(const QString &) {}
    void columnFit() {}
    void layoutSave(const QString &) {}
    void layoutRestore(const QString &) {}
    void commitEdit() {}
    void N17Click() {}
    void N18Click() {}
    void N19Click() {}
    void N21Click() {}
    void N23Click() {}
    void N37Click() {}

signals:
    void editStarted();
    void rowsDeleted();

private:
    QTableView *m_grid;
};
#endif
