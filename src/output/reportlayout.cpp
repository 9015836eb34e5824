#include "reportlayout.h"

namespace MeasurementReportLayout {

namespace {

using Report::Band;
using Report::BandType;
using Report::HAlign;
using Report::TextObject;
using Report::TextStyle;
using Report::VAlign;

TextObject text(const QString &name, const QString &content, double left, double width, double height,
                const TextStyle &style, HAlign h, VAlign v, bool frame)
{
    TextObject o;
    o.name = name;
    o.text = content;
    o.left = left;
    o.width = width;
    o.height = height;
    o.style = style;
    o.hAlign = h;
    o.vAlign = v;
    o.frame = frame;
    o.frameWidth = 0.28;
    o.insetX = 0.55;
    o.insetY = 0.28;
    o.lineSpacing = 0.55;
    o.wordWrap = true;
    return o;
}

TextStyle arial(double points, bool bold)
{
    TextStyle s;
    s.family = QStringLiteral("Arial");
    s.pointSize = points;
    s.bold = bold;
    return s;
}

} // namespace

Report::Template create()
{
    Report::Template t;
    t.dataSetName = DataSetName;
    t.page.paperSize = 9;
    t.page.landscape = true;
    t.page.width = 297.0;
    t.page.height = 210.0;
    t.page.marginLeft = 6.9;
    t.page.marginTop = 20.0;
    t.page.marginRight = 6.9;
    t.page.marginBottom = 6.9;

    Band title{QStringLiteral("ReportTitle1"), BandType::ReportTitle, 17.7, {}};
    title.objects.append(text(QStringLiteral("Memo19"), QStringLiteral("ЛКТ-ДН7"), 6.9, 64.9, 17.7,
                              arial(14, true), HAlign::Left, VAlign::Top, false));

    const TextStyle caption = arial(12, true);
    const auto head = [&](const char *name, const QString &content, double left, double width) {
        return text(QString::fromLatin1(name), content, left, width, 16.6, caption, HAlign::Center,
                    VAlign::Center, true);
    };
    Band header{QStringLiteral("Band1"), BandType::PageHeader, 16.6, {}};
    header.objects = {
        head("Memo1", QStringLiteral("N"), 6.9, 16.9),
        head("Memo3", QStringLiteral("Дата"), 23.8, 24.4),
        head("Memo5", QStringLiteral("Время"), 48.2, 20.0),
        head("Memo37", QStringLiteral("Режим"), 68.2, 33.5),
        head("Memo9", QStringLiteral("№ серии "), 101.7, 25.2),
        head("Memo7", QStringLiteral("Масса, г"), 127.0, 24.7),
        head("Memo39", QStringLiteral("Примечание"), 151.6, 45.7),
    };

    const TextStyle cell = arial(10, false);
    const auto column = [&](const char *name, const char *field, double left, double width) {
        return text(QString::fromLatin1(name), QStringLiteral("[Dbf1.\"%1\"]").arg(QLatin1String(field)),
                    left, width, 11.1, cell, HAlign::Center, VAlign::Center, true);
    };
    Band data{QStringLiteral("Band3"), BandType::MasterData, 11.1, {}};
    data.objects = {
        column("Memo2", "N", 6.9, 16.9),          column("Memo6", "DATE", 23.8, 24.4),
        column("Memo8", "TIME", 48.2, 20.0),      column("Memo4", "MODE", 68.2, 33.5),
        column("Memo22", "T_2", 101.7, 25.2),     column("Memo20", "T_1", 127.0, 24.4),
        column("Memo23", "COMMENT", 151.4, 45.7),
    };
    data.objects[5].format = QStringLiteral("0.0");

    Band footer{QStringLiteral("PageFooter1"), BandType::PageFooter, 5.5, {}};
    // Right edge at 290.0 mm (the right margin); the width shrinks to the text.
    TextObject pageLine = text(QStringLiteral("Memo21"), QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]"),
                               290.0 - 56.0, 56.0, 5.5, cell, HAlign::Right, VAlign::Center, false);
    pageLine.fitWidthKeepRight = true;
    footer.objects.append(pageLine);

    t.bands = {title, header, data, footer};
    return t;
}

} // namespace MeasurementReportLayout
