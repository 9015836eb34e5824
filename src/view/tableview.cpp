#include "tableview.h"

#include "components/dbgrid.h"
#include "data/dbftable.h"

TableView::TableView(DbfTable *table, QWidget *parent)
    : QObject(parent), m_table(table), m_grid(new DbGrid(parent))
{
    m_grid->setObjectName(QStringLiteral("DBGridPro1"));
}

TableView::~TableView() = default;

QWidget *TableView::grid() const
{
    return m_grid;
}
DbGrid *TableView::dbGrid() const
{
    return m_grid;
}

void TableView::sortReset(const QString &) {}
void TableView::columnFit() {}
void TableView::layoutSave(const QString &) {}
void TableView::layoutRestore(const QString &) {}
void TableView::commitEdit() {}
void TableView::N17Click() {}
void TableView::N18Click() {}
void TableView::N19Click() {}
void TableView::N21Click() {}
void TableView::N23Click() {}
void TableView::N37Click() {}
void TableView::DBGridPro1DblClick() {}
void TableView::DBGridPro1TitleStateChange(int) {}
void TableView::DBGridPro1SelectionChange() {}
void TableView::DBGridPro1InitEdit()
{
    emit editStarted();
}
void TableView::reopen() {}
