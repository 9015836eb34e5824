#pragma once
// The grid's table view with the keyboard and editing rules of the grid, the delegate of its
// in-place editor, and its style: silver grid lines and the screen colours of colour values.
#include "components/gridtypes.h"

#include <QColor>
#include <QPalette>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QTableView>

class DbGridModel;

class DbGridView : public QTableView
{
    Q_OBJECT
public:
    explicit DbGridView(QWidget *parent = nullptr);

    // Posts the edit in progress, if any.
    void commitEdit();
    bool isEditing() const { return state() == EditingState; }
    void selectAll() override;
    using QTableView::moveCursor;

    // Whether the selection command being applied came from a move without Ctrl or Shift: it
    // selects the current row only as its highlight, not as an explicit selection. Reading it
    // clears it.
    bool takePlainMove();
    void setPlainMove(bool plain) { m_plainMove = plain; }

signals:
    void editorOpened();
    void gridDoubleClicked();
    // A mouse press and its release (also for a press whose button is not the left one, at once).
    void pressStarted();
    void pressEnded();
    void resized();
    // The viewport's geometry may have changed (rows, scroll bars, header).
    void geometriesUpdated();

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    // Set from the const selectionCommand, which Qt calls for every selection step.
    mutable bool m_plainMove = false;
};

// The in-place editor: a frameless line edit limited to the column's text length.
class DbGridDelegate : public QStyledItemDelegate
{
public:
    DbGridDelegate(const DbGridModel *model, QObject *parent);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

private:
    const DbGridModel *m_model;
};

// Grid lines in silver whatever the platform style says.
class DbGridStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override;
};

// The screen colour of a colour value, system colours from the palette; invalid for none and
// for the control's default.
QColor gridScreenColor(ColorValue value, const QPalette &palette);
