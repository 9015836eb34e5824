#include "dbgridview.h"

#include "dbgridmodel.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

// ---------------------------------------------------------------- view

DbGridView::DbGridView(QWidget *parent) : QTableView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(4);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 5);
}

bool DbGridView::takePlainMove()
{
    const bool plain = m_plainMove;
    m_plainMove = false;
    return plain;
}

void DbGridView::commitEdit()
{
    if (state() != EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool DbGridView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const bool wasEditing = state() == EditingState;
    const bool result = QTableView::edit(index, trigger, event);
    if (result && !wasEditing && state() == EditingState)
        emit editorOpened();
    return result;
}

QItemSelectionModel::SelectionFlags DbGridView::selectionCommand(const QModelIndex &index,
                                                                 const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags flags = QTableView::selectionCommand(index, event);
    Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    bool drag = false;
    if (event) {
        switch (event->type()) {
        case QEvent::MouseMove:
            drag = true;
            [[fallthrough]];
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
            modifiers = static_cast<const QInputEvent *>(event)->modifiers();
            break;
        default:
            break;
        }
    }
    m_plainMove = (flags & QItemSelectionModel::Clear) && !drag &&
                  !(modifiers & (Qt::ControlModifier | Qt::ShiftModifier));
    return flags;
}

void DbGridView::selectAll()
{
    m_plainMove = false;
    QTableView::selectAll();
}

void DbGridView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab in the editor moves on without opening an editor in the next cell.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        const QModelIndex next =
            moveCursor(hint == QAbstractItemDelegate::EditNextItem ? MoveNext : MovePrevious, Qt::NoModifier);
        if (next.isValid())
            setCurrentIndex(next);
        return;
    }
    QTableView::closeEditor(editor, hint);
}

void DbGridView::keyPressEvent(QKeyEvent *event)
{
    // The grid's own delete command is off, and rows are never inserted from the grid.
    if ((event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) ||
        event->key() == Qt::Key_Insert) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DbGridView::mousePressEvent(QMouseEvent *event)
{
    emit pressStarted();
    QTableView::mousePressEvent(event);
    if (!(event->buttons() & Qt::LeftButton))
        emit pressEnded(); // only the left button starts a selection that ends at its release
}

void DbGridView::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    emit pressEnded();
}

void DbGridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit gridDoubleClicked();
}

void DbGridView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    emit resized();
}

void DbGridView::updateGeometries()
{
    QTableView::updateGeometries();
    emit geometriesUpdated();
}

// ---------------------------------------------------------------- delegate

DbGridDelegate::DbGridDelegate(const DbGridModel *model, QObject *parent)
    : QStyledItemDelegate(parent), m_model(model)
{}

QWidget *DbGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    auto *editor = new QLineEdit(parent);
    editor->setFrame(false);
    const int length = m_model->editorMaxLength(index.column());
    if (length > 0)
        editor->setMaxLength(length);
    editor->setAlignment(option.displayAlignment);
    return editor;
}

// ---------------------------------------------------------------- style

int DbGridStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                           QStyleHintReturn *returnData) const
{
    if (hint == SH_Table_GridLineColor)
        return int(qRgb(192, 192, 192));
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QColor gridScreenColor(ColorValue value, const QPalette &palette)
{
    if (GridColor::isRgb(value))
        return QColor(GridColor::red(value), GridColor::green(value), GridColor::blue(value));
    if (!GridColor::isSystem(value))
        return {}; // no colour, or the control's default
    const QPalette &p = palette;
    switch (value & 0xFF) {
    case 0:  // scroll bar
    case 4:  // menu
    case 10: // active border
    case 11: // inactive border
    case 15: // button face
    case 30: // menu bar
        return p.color(QPalette::Button);
    case 1:  // desktop
    case 12: // application workspace
    case 16: // button shadow
        return p.color(QPalette::Dark);
    case 2:  // active caption
    case 13: // highlight
    case 27:
    case 29:
        return p.color(QPalette::Highlight);
    case 3: // inactive caption
    case 28:
        return p.color(QPalette::Mid);
    case 5: // window
        return p.color(QPalette::Base);
    case 6:  // window frame
    case 21: // 3D dark shadow
        return p.color(QPalette::Shadow);
    case 7:  // menu text
    case 8:  // window text
    case 18: // button text
    case 19: // inactive caption text
        return p.color(QPalette::Text);
    case 9:  // caption text
    case 14: // highlight text
        return p.color(QPalette::HighlightedText);
    case 17: // grey text
        return p.color(QPalette::Disabled, QPalette::Text);
    case 20: // button highlight
        return p.color(QPalette::Light);
    case 22: // 3D light
        return p.color(QPalette::Midlight);
    case 23: // tooltip text
        return p.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return p.color(QPalette::ToolTipBase);
    case 26: // hot light
        return p.color(QPalette::Link);
    default:
        return {};
    }
}
