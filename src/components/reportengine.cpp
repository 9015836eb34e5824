#include "reportengine.h"

#include "base/errors.h"
#include "base/regional.h"

#include <cmath>

namespace Report {

namespace {

constexpr double Epsilon = 1e-6; // mm; positions are given to 0.01 mm

// One piece of a text object's text: a literal or an expression.
struct Segment
{
    enum class Kind { Literal, Field, PageNumber, TotalPages } kind = Kind::Literal;
    QString text; // literal text or field name
};

struct CompiledObject
{
    const TextObject *object = nullptr;
    QList<Segment> segments;
    bool constant = true; // no expressions: wrapped once
    QStringList constantLines;
};

struct CompiledBand
{
    const Band *band = nullptr;
    QList<CompiledObject> objects;
};

[[noreturn]] void badExpression(const TextObject &object, const QString &expression)
{
    throw QpxError(QStringLiteral("Ошибка в выражении [%1] объекта %2").arg(expression, object.name));
}

QList<Segment> compileText(const TextObject &object, const QString &dataSetName)
{
    QList<Segment> segments;
    const QString &text = object.text;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('['), pos);
        if (open < 0) {
            segments.append({Segment::Kind::Literal, text.mid(pos)});
            break;
        }
        if (open > pos)
            segments.append({Segment::Kind::Literal, text.mid(pos, open - pos)});
        const qsizetype close = text.indexOf(QLatin1Char(']'), open + 1);
        if (close < 0)
            badExpression(object, text.mid(open + 1));
        const QString expression = text.mid(open + 1, close - open - 1).trimmed();
        pos = close + 1;

        if (expression.compare(QLatin1String("PAGE#"), Qt::CaseInsensitive) == 0) {
            segments.append({Segment::Kind::PageNumber, {}});
            continue;
        }
        if (expression.compare(QLatin1String("TOTALPAGES"), Qt::CaseInsensitive) == 0) {
            segments.append({Segment::Kind::TotalPages, {}});
            continue;
        }
        // Name."FIELD"
        const qsizetype dot = expression.indexOf(QLatin1Char('.'));
        if (dot <= 0)
            badExpression(object, expression);
        const QString setName = expression.left(dot).trimmed();
        QString field = expression.mid(dot + 1).trimmed();
        if (setName.compare(dataSetName, Qt::CaseInsensitive) != 0 || field.size() < 3 ||
            !field.startsWith(QLatin1Char('"')) || !field.endsWith(QLatin1Char('"')))
            badExpression(object, expression);
        field = field.mid(1, field.size() - 2);
        if (field.isEmpty())
            badExpression(object, expression);
        segments.append({Segment::Kind::Field, field});
    }
    return segments;
}

// The four kinds of band a page is made of, as the plan numbers them.
enum Slot : quint8 { TitleSlot, HeaderSlot, DataSlot, FooterSlot, SlotCount };

} // namespace

// What a prepared report keeps: the compiled template, the measurer, every band placement in page
// order (its band and its top edge), where each page's placements start, and the texts of the
// objects with expressions, in placement order, as one UTF-8 block.
class PagePlan
{
public:
    struct Placement
    {
        double top = 0.0; // mm on the sheet
        quint32 text = 0; // index of its first text
        Slot slot = DataSlot;
    };

    std::shared_ptr<const Template> layout;
    std::shared_ptr<const TextMeasurer> measurer;
    CompiledBand bands[SlotCount];
    QList<quint32> pageStarts; // index of each page's first placement
    QList<Placement> placements;
    QByteArray texts;        // UTF-8
    QList<quint32> textEnds; // where each text ends in texts

    void addText(const QString &text)
    {
        texts += text.toUtf8();
        textEnds.append(quint32(texts.size()));
    }
    QString text(quint32 index) const
    {
        const quint32 from = index == 0 ? 0 : textEnds.at(index - 1);
        return QString::fromUtf8(texts.constData() + from, qsizetype(textEnds.at(index) - from));
    }

    QStringList wrap(const TextObject &object, const QString &text) const
    {
        const double inner = object.width - 2 * object.insetX;
        return wrapText(text, inner, object.style, *measurer, object.wordWrap);
    }

    // The placements of page index: [first, last).
    std::pair<qsizetype, qsizetype> pageRange(int index) const
    {
        const qsizetype first = pageStarts.at(index);
        const qsizetype last = index + 1 < pageStarts.size() ? pageStarts.at(index + 1) : placements.size();
        return {first, last};
    }

    void place(const Placement &placement, PreparedPage &page) const
    {
        const CompiledBand &band = bands[placement.slot];
        quint32 textIndex = placement.text;
        for (const CompiledObject &c : band.objects) {
            const TextObject &o = *c.object;
            PlacedText item;
            item.object = &o;
            item.lines = c.constant ? c.constantLines : wrap(o, text(textIndex++));
            item.lineHeight = measurer->lineHeight(o.style);
            double left = o.left;
            double width = o.width;
            if (o.fitWidthKeepRight) {
                double widest = 0.0;
                for (const QString &line : std::as_const(item.lines))
                    widest = std::max(widest, measurer->textWidth(o.style, line));
                width = std::min(o.width, widest + 2 * o.insetX);
                left = o.left + o.width - width;
            }
            item.rect = QRectF(left, placement.top, width, o.height);
            clip(item);
            page.items.append(std::move(item));
        }
    }

    // Drops the lines that start below the cell and notes whether the rest needs clipping.
    void clip(PlacedText &item) const
    {
        const TextObject &o = *item.object;
        const double innerBottom = item.rect.bottom() - o.insetY;
        while (item.lines.size() > 1 && item.lineRect(int(item.lines.size()) - 1).top() >= innerBottom)
            item.lines.removeLast();
        if (item.lines.isEmpty())
            return;
        const QRectF last = item.lineRect(int(item.lines.size()) - 1);
        bool over = last.bottom() > innerBottom + Epsilon || item.lineRect(0).top() < item.rect.top();
        for (const QString &line : std::as_const(item.lines))
            over = over || measurer->textWidth(o.style, line) > item.rect.width() - 2 * o.insetX + Epsilon;
        item.clipped = over;
    }
};

namespace {

class Builder
{
public:
    Builder(const Template &layout, RowSource &source, std::shared_ptr<const TextMeasurer> measurer,
            const Progress &progress)
        : m_source(source), m_progress(progress), m_plan(std::make_shared<PagePlan>())
    {
        auto owned = std::make_shared<Template>(layout);
        m_plan->layout = owned;
        m_plan->measurer = std::move(measurer);
        compile(TitleSlot, owned->band(BandType::ReportTitle));
        compile(HeaderSlot, owned->band(BandType::PageHeader));
        compile(DataSlot, owned->band(BandType::MasterData));
        compile(FooterSlot, owned->band(BandType::PageFooter));
    }

    std::optional<PreparedReport> run()
    {
        // Pass 1 only counts pages: bands never stretch, so no text is needed for the count.
        if (!pass(false))
            return std::nullopt;
        m_totalPages = m_pageNumber;
        if (!pass(true))
            return std::nullopt;
        m_source.finished();
        m_plan->pageStarts.squeeze();
        m_plan->placements.squeeze();
        m_plan->texts.squeeze();
        m_plan->textEnds.squeeze();
        PreparedReport report;
        report.layout = m_plan->layout;
        report.plan = std::move(m_plan);
        return report;
    }

private:
    void compile(Slot slot, const Band *band)
    {
        CompiledBand &compiled = m_plan->bands[slot];
        compiled.band = band;
        if (!band)
            return;
        for (const TextObject &object : band->objects) {
            CompiledObject c;
            c.object = &object;
            c.segments = compileText(object, m_plan->layout->dataSetName);
            for (const Segment &s : c.segments)
                c.constant = c.constant && s.kind == Segment::Kind::Literal;
            if (c.constant)
                c.constantLines = m_plan->wrap(object, object.text);
            compiled.objects.append(c);
        }
    }

    const CompiledBand &band(Slot slot) const { return m_plan->bands[slot]; }

    QString evaluate(const CompiledObject &c) const
    {
        QString result;
        for (const Segment &s : c.segments) {
            switch (s.kind) {
            case Segment::Kind::Literal:
                result += s.text;
                break;
            case Segment::Kind::Field:
                result += formatValue(m_source.value(s.text), c.object->format);
                break;
            case Segment::Kind::PageNumber:
                result += QString::number(m_pageNumber);
                break;
            case Segment::Kind::TotalPages:
                result += QString::number(m_totalPages);
                break;
            }
        }
        return result;
    }

    // Plans a band on the current page: the texts of its expressions are taken now, from the
    // row the source stands on.
    void place(Slot slot, double top)
    {
        const CompiledBand &b = band(slot);
        if (!m_building || !b.band)
            return;
        PagePlan::Placement placement;
        placement.top = top;
        placement.text = quint32(m_plan->textEnds.size());
        placement.slot = slot;
        for (const CompiledObject &c : b.objects) {
            if (!c.constant)
                m_plan->addText(evaluate(c));
        }
        m_plan->placements.append(placement);
    }

    double footerTop() const
    {
        const PageSetup &p = m_plan->layout->page;
        const double footer = band(FooterSlot).band ? band(FooterSlot).band->height : 0.0;
        return p.height - p.marginBottom - footer;
    }

    // Where the rows start on a page after the first.
    double freshPageTop() const
    {
        return m_plan->layout->page.marginTop + (band(HeaderSlot).band ? band(HeaderSlot).band->height : 0.0);
    }

    void startPage()
    {
        ++m_pageNumber;
        if (m_building)
            m_plan->pageStarts.append(quint32(m_plan->placements.size()));
        m_y = m_plan->layout->page.marginTop;
        m_rowsOnPage = 0;
        if (m_pageNumber == 1 && band(TitleSlot).band) {
            place(TitleSlot, m_y);
            m_y += band(TitleSlot).band->height;
        }
        if (band(HeaderSlot).band) {
            place(HeaderSlot, m_y);
            m_y += band(HeaderSlot).band->height;
        }
    }

    void finishPage() { place(FooterSlot, footerTop()); }

    bool pass(bool building)
    {
        m_building = building;
        m_pageNumber = 0;
        startPage();
        if (const Band *data = band(DataSlot).band) {
            const double height = data->height;
            for (m_source.first(); !m_source.eof(); m_source.next()) {
                // A row that does not fit whole above the page footer starts a new page; a row
                // taller than any page is placed anyway (and cut at the page's edge).
                const bool fits = m_y + height <= footerTop() + Epsilon;
                const bool fitsNowhere = height > footerTop() - freshPageTop() + Epsilon;
                if (!fits && !(fitsNowhere && m_rowsOnPage == 0)) {
                    finishPage();
                    startPage();
                }
                place(DataSlot, m_y);
                m_y += height;
                ++m_rowsOnPage;
                ++m_done;
                if (m_progress && !m_progress(m_done))
                    return false;
            }
        }
        finishPage();
        return true;
    }

    RowSource &m_source;
    const Progress &m_progress;
    std::shared_ptr<PagePlan> m_plan;

    bool m_building = false;
    int m_pageNumber = 0;
    int m_totalPages = 0;
    int m_rowsOnPage = 0;
    double m_y = 0.0;
    qint64 m_done = 0;
};

} // namespace

const Band *Template::band(BandType type) const
{
    for (const Band &b : bands) {
        if (b.type == type)
            return &b;
    }
    return nullptr;
}

QRectF PlacedText::lineRect(int i) const
{
    const TextObject &o = *object;
    const double innerTop = rect.top() + o.insetY;
    const double innerHeight = rect.height() - 2 * o.insetY;
    const qsizetype n = lines.size();
    const double block = n * lineHeight + std::max<qsizetype>(0, n - 1) * o.lineSpacing;
    double top = innerTop;
    // Text taller than the cell starts at the top and is cut at the bottom edge.
    if (block < innerHeight) {
        if (o.vAlign == VAlign::Center)
            top += (innerHeight - block) / 2;
        else if (o.vAlign == VAlign::Bottom)
            top += innerHeight - block;
    }
    return QRectF(rect.left() + o.insetX, top + i * (lineHeight + o.lineSpacing), rect.width() - 2 * o.insetX,
                  lineHeight);
}

std::optional<PreparedReport> prepare(const Template &layout, RowSource &source,
                                      std::shared_ptr<const TextMeasurer> measurer, const Progress &progress)
{
    Builder builder(layout, source, std::move(measurer), progress);
    return builder.run();
}

int PreparedReport::pageCount() const
{
    return plan ? int(plan->pageStarts.size()) : 0;
}

PreparedPage PreparedReport::page(int index) const
{
    PreparedPage page;
    if (index < 0 || index >= pageCount())
        return page;
    const auto [first, last] = plan->pageRange(index);
    for (qsizetype i = first; i < last; ++i)
        plan->place(plan->placements.at(i), page);
    return page;
}

bool PreparedReport::mayContain(int index, const QString &text) const
{
    if (index < 0 || index >= pageCount())
        return false;
    // A line of an item is a piece of its text without carriage returns: what no text of the
    // page contains, no item shows (unless it spans a line break).
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        return true;
    const auto holds = [&](QString candidate) {
        candidate.remove(QLatin1Char('\r'));
        return candidate.contains(text, Qt::CaseInsensitive);
    };
    const auto [first, last] = plan->pageRange(index);
    for (qsizetype i = first; i < last; ++i) {
        const PagePlan::Placement &placement = plan->placements.at(i);
        quint32 textIndex = placement.text;
        for (const CompiledObject &c : plan->bands[placement.slot].objects) {
            if (holds(c.constant ? c.object->text : plan->text(textIndex++)))
                return true;
        }
    }
    return false;
}

QStringList wrapText(const QString &text, double maxWidth, const TextStyle &style,
                     const TextMeasurer &measurer, bool wordWrap)
{
    QStringList lines;
    QString normalized = text;
    normalized.remove(QLatin1Char('\r'));
    const QStringList paragraphs = normalized.split(QLatin1Char('\n'));
    const auto fits = [&](const QString &candidate) {
        return measurer.textWidth(style, candidate) <= maxWidth + Epsilon;
    };
    for (const QString &para : paragraphs) {
        if (!wordWrap || para.isEmpty() || fits(para)) {
            lines.append(para);
            continue;
        }
        const qsizetype n = para.size();
        qsizetype start = 0;
        while (start < n) {
            // The longest run of whole words from start that fits.
            qsizetype lineEnd = -1;
            qsizetype i = start;
            qsizetype firstWordEnd = -1;
            while (i < n) {
                qsizetype j = i;
                while (j < n && para.at(j) != QLatin1Char(' '))
                    ++j;
                if (firstWordEnd < 0 && j > start)
                    firstWordEnd = j;
                if (j > start && !fits(para.mid(start, j - start)))
                    break;
                if (j > start)
                    lineEnd = j;
                while (j < n && para.at(j) == QLatin1Char(' '))
                    ++j;
                i = j;
            }
            if (lineEnd < 0) {
                // A single word wider than the cell: cut it at the last character that fits.
                const qsizetype wordEnd = firstWordEnd < 0 ? n : firstWordEnd;
                qsizetype k = start + 1;
                while (k < wordEnd && fits(para.mid(start, k + 1 - start)))
                    ++k;
                lines.append(para.mid(start, k - start));
                start = k;
                continue;
            }
            lines.append(para.mid(start, lineEnd - start));
            start = lineEnd;
            while (start < n && para.at(start) == QLatin1Char(' '))
                ++start;
        }
    }
    return lines;
}

QString formatFixed(double value, int decimals, QChar separator)
{
    if (!std::isfinite(value))
        return QString::number(value);
    decimals = std::clamp(decimals, 0, 20);
    const bool negative = value < 0;
    // d.dddddddddddddde+XX: the 15 significant digits the table's texts are written with.
    const QByteArray e = QByteArray::number(std::fabs(value), 'e', 14);
    const qsizetype ePos = e.indexOf('e');
    QByteArray digits = e.left(1) + e.mid(2, ePos - 2);
    int point = e.mid(ePos + 1).toInt() + 1; // digits before the decimal point
    if (point <= 0) {
        digits.prepend(QByteArray(1 - point, '0'));
        point = 1;
    }
    const qsizetype keep = point + decimals;
    if (digits.size() < keep + 1)
        digits.append(QByteArray(keep + 1 - digits.size(), '0'));
    const bool roundUp = digits.at(keep) >= '5';
    digits.truncate(keep);
    if (roundUp) {
        qsizetype i = keep - 1;
        for (; i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
        }
        if (i < 0) {
            digits.prepend('1');
            ++point;
        }
    }
    QByteArray whole = digits.left(point);
    while (whole.size() > 1 && whole.startsWith('0'))
        whole.remove(0, 1);
    const QByteArray fraction = digits.mid(point);
    QString result = QString::fromLatin1(whole);
    if (decimals > 0)
        result += separator + QString::fromLatin1(fraction);
    if (negative && digits.count('0') != digits.size())
        result.prepend(QLatin1Char('-'));
    return result;
}

QString formatValue(const QString &value, const QString &format)
{
    if (format.isEmpty() || value.trimmed().isEmpty())
        return value;
    // Number patterns: "0", "0.0", "0.00", ...
    const qsizetype dot = format.indexOf(QLatin1Char('.'));
    const int decimals = dot < 0 ? 0 : int(format.size() - dot - 1);
    double number = 0.0;
    if (!Regional::current().tryParseFloat(value, &number) || !std::isfinite(number))
        return value;
    return formatFixed(number, decimals, QLatin1Char(','));
}

} // namespace Report
