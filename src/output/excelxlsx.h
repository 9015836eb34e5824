#pragma once
// The default spreadsheet back end: collects the sheet that the calls build and writes it as an
// .xlsx workbook (libxlsxwriter) when a copy is saved. Column, row and cell formats combine as in
// the spreadsheet program: a cell takes its column's number format and its row's font, as they
// stand when the copy is saved.
//
// Memory stays flat however many rows the sheet gets: the cells go, in the order they come, to a
// scratch file of compact records, and the save streams them from there row by row into the
// writer's constant-memory mode. Only a cell for a row that earlier cells have already passed is
// kept in memory, and merged into its row when the copy is written; so every order of calls gives
// the same workbook.
#include "excelautomation.h"

#include <QByteArray>
#include <QMap>
#include <QPair>
#include <functional>
#include <memory>

// The spreadsheet's Russian number-format letters in the file format's codes:
// "ДД/ММ/ГГГГ Ч:ММ" -> "dd/mm/yyyy h:mm". Quoted and escaped text is left alone.
QString translateNumberFormat(const QString &localised);

class XlsxAutomation : public ExcelAutomation
{
public:
    // The saved copy lands in folder, under the name given to SaveCopyAs with ".xlsx" added when
    // it has no extension.
    explicit XlsxAutomation(const QString &folder);
    ~XlsxAutomation() override;

    // Saves every copy to exactly this file instead (qpx-cli).
    void setTargetFile(const QString &path) { m_targetFile = path; }
    // Called by quit() with the file of the saved copy, if one was saved (the desktop hand-off).
    void setHandOff(std::function<void(const QString &)> handOff) { m_handOff = std::move(handOff); }
    QString savedFile() const { return m_savedFile; }

    void createObject(const QString &progId) override;
    void setVisible(bool visible) override;
    void workbooks() override;
    void workbooksAdd(qint16 templateKind) override;
    void workbook(qint32 index) override;
    void worksheet(qint32 book, qint32 sheet) override;
    void setWorksheetName(qint32 book, qint32 sheet, const QString &name) override;
    QString worksheetName(qint32 book, qint32 sheet) override;
    void columns(qint32 book, const QString &sheetName) override;
    void setColumnWidth(qint32 column, qint32 width) override;
    void setColumnNumberFormat(qint32 column, const QString &format) override;
    void rows(qint32 book, const QString &sheetName) override;
    void setRowFontBold(qint32 row, bool bold) override;
    void setRowFontColor(qint32 row, qint32 color) override;
    void setRowFontSize(qint32 row, qint32 size) override;
    void worksheetByName(qint32 book, const QString &sheetName) override;
    void setCell(qint32 row, qint32 column, const QVariant &value) override;
    void saveCopyAs(const QString &fileName) override;
    void quit() override;

private:
    // A cell as the workbook receives it: a number (integers and dates converted), a text in
    // UTF-8, or an empty text.
    struct Cell
    {
        enum Kind : quint8 { Number, Text, Empty };
        Kind kind = Empty;
        double number = 0;
        QByteArray text;
    };
    static Cell cellOf(const QVariant &value);

    struct RowFont
    {
        bool bold = false;
        qint32 color = -1; // automatic
        qint32 size = 0;   // default
    };

    class Spool;
    class SheetWriter;

    void requireApplication() const;
    void requireWorkbook(qint32 book) const;
    void requireSheet(qint32 book, const QString &sheetName) const;
    void requireColumn(qint32 column) const;
    void requireRow(qint32 row) const;
    void write(const QString &path);

    QString m_folder;
    QString m_targetFile;
    std::function<void(const QString &)> m_handOff;
    bool m_created = false;
    bool m_quit = false;
    int m_workbooks = 0;
    QString m_sheetName = QStringLiteral("Лист1");
    QMap<qint32, double> m_widths;
    QMap<qint32, QString> m_columnFormats; // translated
    QMap<qint32, RowFont> m_rowFonts;
    std::unique_ptr<Spool> m_spool;           // cells in call order, rows never decreasing
    qint32 m_spooledRow = 0;                  // the highest row spooled so far
    QMap<QPair<qint32, qint32>, Cell> m_late; // cells for rows the spool had passed
    QString m_savedFile;
};
