#pragma once
// A back end that records every automation call as one line of text, in order, with its
// argument values and their automation types (I2, I4, R8, BOOL, BSTR, DATE). It can be told to
// fail at the n-th call, as a spreadsheet program that refuses a call or was closed meanwhile.
#include "excelautomation.h"

#include <QStringList>

class ExcelRecorder : public ExcelAutomation
{
public:
    QStringList calls;
    // When >= 0: the call with this index (0-based, counted over calls) raises AutomationError.
    int failAtCall = -1;

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

    // An automation value as the recorder writes it, e.g. 5:I4, "x":BSTR, 2003-10-05 18:07:00:DATE.
    static QString describe(const QVariant &value);

private:
    void record(const QString &line);
    QString m_sheetName = QStringLiteral("Лист1");
};
