#pragma once
// Drawing of prepared report pages with QPainter: the fonts (with a metric-compatible substitute
// when the named family is not installed), text measuring for the page builder, one page onto any
// paint device and the whole report as a PDF file. Qt Gui only: printing is in reportprint.h.
#include "components/reportengine.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPageSize>
#include <map>
#include <memory>
#include <vector>

class QPainter;

namespace Report {

// The installed family that stands for family: itself, else a metric-compatible substitute
// (Arial: Liberation Sans, Arimo), else the default sans-serif family.
QString resolveFamily(const QString &family);

// The font of a style at its point size on a device of the painter's resolution; unhinted so
// that widths scale with the resolution and match the measurer's.
QFont fontFor(const TextStyle &style);

// Measures with the fonts above at 1200 dpi.
class FontMeasurer : public TextMeasurer
{
public:
    FontMeasurer();
    ~FontMeasurer() override;
    double textWidth(const TextStyle &style, const QString &text) const override;
    double lineHeight(const TextStyle &style) const override;

private:
    struct Entry
    {
        TextStyle style;
        std::unique_ptr<QFontMetricsF> metrics;
        QHash<QString, double> widths; // report texts repeat a lot (dates, modes, captions)
    };
    Entry &entry(const TextStyle &style) const;
    struct Device;
    std::unique_ptr<Device> m_device;
    mutable std::vector<Entry> m_metrics; // a template has a handful of styles
    mutable Entry *m_last = nullptr;
};

// Draws page pageIndex of report so that the sheet fills target (device coordinates).
// highlightItem marks one item of the page (found text) with a coloured background.
void drawPage(QPainter &painter, const PreparedReport &report, int pageIndex, const QRectF &target,
              int highlightItem = -1);

// The paper of the template: its size (A4 for paper size code 9, else the template's own).
QPageSize pageSizeOf(const PageSetup &page);

// Writes every page as a PDF file. Throws QpxError when the file cannot be written.
void writePdf(const PreparedReport &report, const QString &path, const QString &title);

} // namespace Report
