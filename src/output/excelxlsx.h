#pragma once
// The default spreadsheet back end: keeps the sheet that the calls build and writes it as an .xlsx
// workbook (libxlsxwriter) when a copy is saved. Column, row and cell formats combine as in the
// spreadsheet program: a cell takes its column's number format and its row's font.
#include "excelautomation.h"

#include <QMap>
#include <QPair>
#include <functional>

// The spreadsheet's Russian number-format letters in the file format's codes:
// "ДД/ММ/ГГГГ Ч:ММ" -> "dd/mm/yyyy h:mm". Quoted and escaped text is left alone.
QString translateNumberFormat(const QString &localised);

class XlsxAutomation : public ExcelAutomation
{
public:
    // The saved copy lands in folder, under the name given to SaveCopyAs with ".xlsx" added when
    // it has no extension.
    explicit XlsxAutomation(const QString &folder);

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
    struct RowFont
    {
        bool bold = false;
        qint32 color = -1; // automatic
        qint32 size = 0;   // default
    };

    void requireApplication() const;
    void requireWorkbook(qint32 book) const;
    void requireSheet(qint32 book, const QString &sheetName) const;
    void requireColumn(qint32 column) const;
    void requireRow(qint32 row) const;
    void write(const QString &path) const;

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
    QMap<QPair<qint32, qint32>, QVariant> m_cells;
    QString m_savedFile;
};
