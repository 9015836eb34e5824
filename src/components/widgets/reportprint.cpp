#include "reportprint.h"

#include "base/errors.h"
#include "components/draw/reportrender.h"

#include <QPainter>
#include <QPrinter>

namespace Report {

void setUpPrinter(QPrinter &printer, const PageSetup &page)
{
    printer.setPageSize(pageSizeOf(page));
    printer.setPageOrientation(page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

int printReport(const PreparedReport &report, QPrinter &printer)
{
    if (!report.layout || report.isEmpty())
        return 0;
    const PageSetup &setup = report.layout->page;
    setUpPrinter(printer, setup);
    int from = 1;
    int to = report.pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(1, printer.fromPage());
        to = std::min(to, printer.toPage() > 0 ? printer.toPage() : to);
    }
    if (from > to)
        return 0;
    // The driver makes the copies when it can; otherwise the pages are sent that many times.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    const bool collate = printer.collateCopies();

    QPainter painter;
    if (!painter.begin(&printer))
        throw QpxError(QStringLiteral("Ошибка печати: принтер недоступен"));
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF sheet(0, 0, paper.width(), paper.height());
    int sent = 0;
    const auto sendPage = [&](int page) {
        if (sent > 0)
            printer.newPage();
        drawPage(painter, report, page - 1, sheet);
        ++sent;
    };
    if (collate) {
        for (int c = 0; c < copies; ++c)
            for (int p = from; p <= to; ++p)
                sendPage(p);
    } else {
        for (int p = from; p <= to; ++p)
            for (int c = 0; c < copies; ++c)
                sendPage(p);
    }
    painter.end();
    return sent;
}

} // namespace Report
