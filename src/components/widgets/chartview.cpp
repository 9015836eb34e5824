#include "chartview.h"

#include <QPainter>

ChartView::ChartView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_chart.draw(painter, QRectF(rect()));
}
