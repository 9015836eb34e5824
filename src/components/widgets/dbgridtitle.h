#pragma once
// The grid's title row (captions, sort marks, a click that reports its modifiers) and its footer
// row (the footer texts under their columns).
#include <QHeaderView>
#include <QPointer>
#include <QTableView>
#include <QWidget>

class DbGridModel;

class DbGridTitle : public QHeaderView
{
    Q_OBJECT
public:
    DbGridTitle(const DbGridModel *model, QWidget *parent);

    // Text lines of the title row (at least one).
    void setLines(int lines);
    int lines() const { return m_lines; }
    QSize sizeHint() const override;

signals:
    // A click on a column's title with the modifiers held at the press.
    void titleClicked(int column, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    const DbGridModel *m_model;
    int m_lines = 2;
    Qt::KeyboardModifiers m_pressModifiers;
};

// Drawn under the view's columns, following their widths and the horizontal scrolling.
class DbGridFooter : public QWidget
{
public:
    DbGridFooter(const DbGridModel *model, const QTableView *view, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const DbGridModel *m_model;
    QPointer<const QTableView> m_view;
};
