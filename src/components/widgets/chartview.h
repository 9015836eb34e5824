#pragma once
// The chart component on screen: a widget that draws its chart over its whole area.
#include "components/draw/chart.h"

#include <QWidget>

class ChartView : public QWidget
{
    Q_OBJECT
public:
    explicit ChartView(QWidget *parent = nullptr);
    Chart &chart() { return m_chart; }
    const Chart &chart() const { return m_chart; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Chart m_chart;
};
