#include "reportrender.h"

#include "base/errors.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace Report {

namespace {

constexpr double MeasureDpi = 1200.0;
constexpr double MmPerInch = 25.4;

} // namespace

QPageSize pageSizeOf(const PageSetup &page)
{
    // Paper size code 9 is A4; other codes fall back to the template's own size.
    if (page.paperSize == 9)
        return QPageSize(QPageSize::A4);
    const double w = page.landscape ? page.height : page.width;
    const double h = page.landscape ? page.width : page.height;
    return QPageSize(QSizeF(w, h), QPageSize::Millimeter);
}

QString resolveFamily(const QString &family)
{
    static std::map<QString, QString> cache;
    const auto hit = cache.find(family);
    if (hit != cache.end())
        return hit->second;
    const QStringList installed = QFontDatabase::families();
    QStringList candidates{family};
    if (family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0 ||
        family.compare(QLatin1String("Helvetica"), Qt::CaseInsensitive) == 0)
        candidates << QStringLiteral("Liberation Sans") << QStringLiteral("Arimo");
    QString chosen;
    for (const QString &c : std::as_const(candidates)) {
        for (const QString &f : installed) {
            if (f.compare(c, Qt::CaseInsensitive) == 0) {
                chosen = f;
                break;
            }
        }
        if (!chosen.isEmpty())
            break;
    }
    if (chosen.isEmpty())
        chosen = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    cache[family] = chosen;
    return chosen;
}

QFont fontFor(const TextStyle &style)
{
    QFont font(resolveFamily(style.family));
    font.setPointSizeF(style.pointSize);
    font.setBold(style.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

struct FontMeasurer::Device
{
    QImage image{1, 1, QImage::Format_ARGB32};
    Device()
    {
        const int dotsPerMeter = qRound(MeasureDpi / MmPerInch * 1000.0);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
};

FontMeasurer::FontMeasurer() : m_device(std::make_unique<Device>()) {}

FontMeasurer::~FontMeasurer() = default;

FontMeasurer::Entry &FontMeasurer::entry(const TextStyle &style) const
{
    const auto same = [&](const TextStyle &s) {
        return s.pointSize == style.pointSize && s.bold == style.bold && s.family == style.family;
    };
    if (m_last && same(m_last->style))
        return *m_last;
    for (Entry &e : m_metrics) {
        if (same(e.style)) {
            m_last = &e;
            return e;
        }
    }
    m_metrics.push_back({style, std::make_unique<QFontMetricsF>(fontFor(style), &m_device->image), {}});
    m_last = nullptr; // the vector may have moved
    return m_metrics.back();
}

double FontMeasurer::textWidth(const TextStyle &style, const QString &text) const
{
    Entry &e = entry(style);
    const auto hit = e.widths.constFind(text);
    if (hit != e.widths.constEnd())
        return *hit;
    if (e.widths.size() > 20000)
        e.widths.clear();
    const double width = e.metrics->horizontalAdvance(text) * MmPerInch / m_device->image.logicalDpiX();
    e.widths.insert(text, width);
    return width;
}

double FontMeasurer::lineHeight(const TextStyle &style) const
{
    const QFontMetricsF &m = *entry(style).metrics;
    return (m.ascent() + m.descent()) * MmPerInch / m_device->image.logicalDpiY();
}

void drawPage(QPainter &painter, const PreparedReport &report, int pageIndex, const QRectF &target,
              int highlightItem)
{
    if (!report.layout || pageIndex < 0 || pageIndex >= report.pageCount())
        return;
    const PageSetup &setup = report.layout->page;
    const double scale = target.width() / setup.width; // device units per mm
    const auto map = [&](const QRectF &mm) {
        return QRectF(target.left() + mm.left() * scale, target.top() + mm.top() * scale, mm.width() * scale,
                      mm.height() * scale);
    };
    const double deviceDpi = painter.device() ? painter.device()->logicalDpiY() : 96.0;
    // Point size on this device that gives the style's size on the sheet at this scale.
    const double pointFactor = scale * MmPerInch / deviceDpi;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(target, Qt::white);

    const PreparedPage page = report.page(pageIndex);
    const QList<PlacedText> &items = page.items;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const PlacedText &item = items.at(i);
        const TextObject &o = *item.object;
        const QRectF box = map(item.rect);
        if (i == highlightItem)
            painter.fillRect(box, QColor(255, 230, 80));
        if (o.frame) {
            QPen pen(Qt::black, std::max(o.frameWidth * scale, 0.5), Qt::SolidLine, Qt::SquareCap,
                     Qt::MiterJoin);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
        }
        if (item.lines.isEmpty() || (item.lines.size() == 1 && item.lines.constFirst().isEmpty()))
            continue;
        QFont font = fontFor(o.style);
        font.setPointSizeF(o.style.pointSize * pointFactor);
        painter.setFont(font);
        painter.setPen(Qt::black);
        if (item.clipped) {
            painter.save();
            painter.setClipRect(box, Qt::IntersectClip);
        }
        int flags = Qt::TextSingleLine | Qt::TextDontClip | Qt::AlignTop;
        flags |= o.hAlign == HAlign::Left ? Qt::AlignLeft
                                          : (o.hAlign == HAlign::Right ? Qt::AlignRight : Qt::AlignHCenter);
        for (int line = 0; line < item.lines.size(); ++line)
            painter.drawText(map(item.lineRect(line)), flags, item.lines.at(line));
        if (item.clipped)
            painter.restore();
    }
    painter.restore();
}

void writePdf(const PreparedReport &report, const QString &path, const QString &title)
{
    if (!report.layout)
        return;
    const auto failed = [&] {
        return QpxError(QStringLiteral("Не удалось записать файл %1").arg(QFileInfo(path).fileName()));
    };
    // Written beside the target and put in its place only when complete, so that a failed
    // write leaves an earlier file of that name as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw failed();
    const PageSetup &setup = report.layout->page;
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("QPX"));
        writer.setResolution(int(MeasureDpi));
        writer.setPageLayout(QPageLayout(pageSizeOf(setup),
                                         setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer))
            throw failed();
        const double dotsPerMm = writer.resolution() / MmPerInch;
        const QRectF sheet(0, 0, setup.width * dotsPerMm, setup.height * dotsPerMm);
        for (int i = 0; i < report.pageCount(); ++i) {
            if (i > 0)
                writer.newPage();
            drawPage(painter, report, i, sheet);
        }
        if (!painter.end())
            throw failed();
    }
    if (!file.commit())
        throw failed();
}

} // namespace Report
