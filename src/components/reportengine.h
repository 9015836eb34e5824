#pragma once
// The report component's engine: a template of bands and text objects laid out in millimetres on
// a nominal sheet, prepared in two passes against a row source into a list of pages. The first
// pass counts the pages so that [TOTALPAGES] is known while the second plans them: which band goes
// where on which page, and the text every expression gave. A page's items (rectangles, wrapped
// lines, styles) are laid out from that plan whenever the preview, the printer or the PDF writer
// asks for the page, so a report of thousands of pages holds little more than its texts, and it
// still shows what was prepared when the rows change afterwards.
//
// Expressions in a text object's text are written in square brackets:
//   [Name."FIELD"]  the current row's value of FIELD of the data set called Name
//   [PAGE#]         the number of the page being built, from 1
//   [TOTALPAGES]    the number of pages of the whole report
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace Report {

struct TextStyle
{
    QString family = QStringLiteral("Arial");
    double pointSize = 10.0;
    bool bold = false;
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

struct TextObject
{
    QString name;
    QString text;        // literal text with [expressions]
    double left = 0.0;   // from the paper's left edge, mm
    double width = 0.0;  // mm
    double height = 0.0; // mm, from the top of its band
    TextStyle style;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    bool frame = false;
    double frameWidth = 0.28;  // mm, solid black
    double insetX = 0.55;      // text inset from the left and right edges, mm
    double insetY = 0.28;      // from the top and bottom edges, mm
    double lineSpacing = 0.55; // gap between wrapped lines, mm
    bool wordWrap = true;
    // Display format of the expression values: "" (as text), or a number pattern "0", "0.0",
    // "0.00", ... (rounded half away from zero, decimal comma; a text that is no number stays).
    QString format;
    // The width shrinks to the text while the right edge stays where it is.
    bool fitWidthKeepRight = false;
};

enum class BandType { ReportTitle, PageHeader, MasterData, PageFooter };

struct Band
{
    QString name;
    BandType type = BandType::MasterData;
    double height = 0.0; // mm; bands never stretch
    QList<TextObject> objects;
};

struct PageSetup
{
    int paperSize = 9; // system paper size code (9: A4)
    bool landscape = true;
    double width = 297.0; // mm, of the sheet as laid out (after orientation)
    double height = 210.0;
    double marginLeft = 0.0;
    double marginTop = 0.0;
    double marginRight = 0.0;
    double marginBottom = 0.0;
};

struct Template
{
    PageSetup page;
    QString dataSetName; // the name used in [Name."FIELD"]
    QList<Band> bands;

    const Band *band(BandType type) const; // the first band of that type, or nullptr
};

// Where the master data band's rows come from: walked from first() until eof().
class RowSource
{
public:
    virtual ~RowSource() = default;
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool eof() const = 0;
    virtual QString value(const QString &fieldName) const = 0; // of the current row
    virtual int rowCountHint() const { return -1; }            // for progress; -1 unknown
    virtual void finished() {}                                 // after the last pass
};

// Text measuring in millimetres for one style (fonts are drawn by the GUI side).
class TextMeasurer
{
public:
    virtual ~TextMeasurer() = default;
    virtual double textWidth(const TextStyle &style, const QString &text) const = 0;
    virtual double lineHeight(const TextStyle &style) const = 0; // ascent + descent
};

// One text object as placed on a prepared page.
struct PlacedText
{
    const TextObject *object = nullptr; // in the prepared report's template
    QRectF rect;                        // frame rectangle on the sheet, mm
    QStringList lines;                  // wrapped lines; lines entirely below the cell dropped
    double lineHeight = 0.0;            // mm
    bool clipped = false;               // text runs over the cell: draw clipped to rect

    // Where line i goes, mm: the full inner width, lineHeight high.
    QRectF lineRect(int i) const;
    QString text() const { return lines.join(QLatin1Char('\n')); }
};

struct PreparedPage
{
    QList<PlacedText> items;
};

class PagePlan;

// A prepared report; copies share the plan.
struct PreparedReport
{
    std::shared_ptr<const Template> layout; // the objects the items point into
    std::shared_ptr<const PagePlan> plan;

    bool isEmpty() const { return pageCount() == 0; }
    int pageCount() const;
    // The items of page index (from 0), laid out anew on every call; an empty page when there is
    // no such page. Their objects point into layout.
    PreparedPage page(int index) const;
    // False when no item of page index can contain text (case-insensitive), which the texts the
    // page was planned with tell without laying it out; true when one may.
    bool mayContain(int index, const QString &text) const;
};

// Called while preparing: rows done so far over both passes; return false to cancel.
using Progress = std::function<bool(qint64 done)>;

// Plans the pages; the report keeps the measurer to lay them out. Returns nothing when cancelled
// through progress; errors of the row source (and "Ошибка в выражении ..." for a malformed
// template) propagate as QpxError.
std::optional<PreparedReport> prepare(const Template &layout, RowSource &source,
                                      std::shared_ptr<const TextMeasurer> measurer,
                                      const Progress &progress = {});

// Wraps text into lines no wider than maxWidth (mm): breaks between words, cuts a word that
// alone is too wide; explicit line breaks are kept. Without wrap each paragraph is one line.
QStringList wrapText(const QString &text, double maxWidth, const TextStyle &style,
                     const TextMeasurer &measurer, bool wordWrap = true);

// The display format of a value: for a number pattern the text is read as a number (regional
// decimal separator) and printed rounded half away from zero with a decimal comma; a text that
// is no number is returned unchanged, an empty one stays empty.
QString formatValue(const QString &value, const QString &format);

// A finite number with a fixed count of decimals, rounded half away from zero on its 15
// significant digits (so 1.45 gives 1.5), with the given separator and no negative zero.
QString formatFixed(double value, int decimals, QChar separator);

} // namespace Report
