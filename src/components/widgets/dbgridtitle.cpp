#include "dbgridtitle.h"

#include "dbgridmodel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

// ---------------------------------------------------------------- title

DbGridTitle::DbGridTitle(const DbGridModel *model, QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent), m_model(model)
{
    setSectionsMovable(false);
    setSectionsClickable(true);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setMinimumSectionSize(GridColumnLayout::MinWidth);
    setStretchLastSection(false);
    connect(this, &QHeaderView::sectionClicked, this,
            [this](int section) { emit titleClicked(section, m_pressModifiers); });
}

void DbGridTitle::setLines(int lines)
{
    m_lines = std::max(1, lines);
}

QSize DbGridTitle::sizeHint() const
{
    const QSize base = QHeaderView::sizeHint();
    return {base.width(), fontMetrics().lineSpacing() * m_lines + 8};
}

void DbGridTitle::mousePressEvent(QMouseEvent *event)
{
    m_pressModifiers = event->modifiers();
    QHeaderView::mousePressEvent(event);
}

void DbGridTitle::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid() || logicalIndex < 0 || logicalIndex >= m_model->columnCount())
        return;
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.position = QStyleOptionHeader::Middle;
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);

    const DbGridColumn &column = m_model->column(logicalIndex);
    QRect textRect = rect.adjusted(3, 2, -3, -2);
    if (column.layout.titleState != TitleState::SortedNone) {
        // The sort mark: a triangle pointing up (descending) or down (ascending).
        const int size = 4;
        const int cx = rect.right() - 8;
        const int cy = rect.center().y();
        QPolygon mark;
        if (column.layout.titleState == TitleState::SortedUp)
            mark << QPoint(cx - size, cy + size / 2) << QPoint(cx + size, cy + size / 2)
                 << QPoint(cx, cy - size);
        else
            mark << QPoint(cx - size, cy - size / 2) << QPoint(cx + size, cy - size / 2)
                 << QPoint(cx, cy + size);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::ButtonText));
        painter->drawPolygon(mark);
        painter->restore();
        textRect.setRight(textRect.right() - 2 * size - 6);
    }
    painter->save();
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(textRect,
                      int(toQtAlignment(column.titleAlignment) | Qt::AlignVCenter) | Qt::TextWordWrap,
                      column.caption);
    painter->restore();
}

// ---------------------------------------------------------------- footer

DbGridFooter::DbGridFooter(const DbGridModel *model, const QTableView *view, QWidget *parent)
    : QWidget(parent), m_model(model), m_view(view)
{
    setFixedHeight(fontMetrics().height() + 8);
}

void DbGridFooter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    const QPen line(QColor(192, 192, 192));
    painter.setPen(line);
    painter.drawLine(0, 0, width(), 0);
    if (!m_view)
        return;
    const QHeaderView *title = m_view->horizontalHeader();
    const int offset = m_view->geometry().x() + m_view->viewport()->geometry().x() - geometry().x();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int x = offset + title->sectionViewportPosition(c);
        const int w = title->sectionSize(c);
        if (w <= 0)
            continue;
        const QRect cell(x, 1, w, height() - 1);
        painter.setPen(line);
        painter.drawLine(cell.right(), 0, cell.right(), height());
        const DbGridColumn &column = m_model->column(c);
        if (column.footerText.isEmpty())
            continue;
        painter.setPen(palette().color(QPalette::ButtonText));
        const QRect textRect = cell.adjusted(3, 0, -4, 0);
        painter.drawText(textRect, int(toQtAlignment(column.layout.alignment) | Qt::AlignVCenter),
                         fontMetrics().elidedText(column.footerText, Qt::ElideRight, textRect.width()));
    }
}
