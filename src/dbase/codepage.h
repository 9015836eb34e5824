#pragma once
// Single-byte code pages of table texts (Windows 1251, DOS 866, Windows 1252) with tables of our
// own, and the Russian collation that orders text index keys.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtGlobal>

class CodePage
{
public:
    // The code page named by a language driver identifier (header byte 29). 0 and unknown
    // identifiers mean the system's own code page, 1251.
    static const CodePage &forLanguageDriver(quint8 id);
    static const CodePage &windows1251();
    static const CodePage &dos866();

    int number() const { return m_number; }
    QString decode(const char *data, qsizetype size) const;
    // Characters the code page cannot hold become '?'.
    QByteArray encode(const QString &text) const;
    // russianSortKey of the decoded bytes, computed from the bytes directly.
    QByteArray sortKey(const char *data, qsizetype size) const;

private:
    CodePage(int number, const char16_t *upper);
    int m_number;
    const char16_t *m_upper;        // 0x80..0xFF
    unsigned char m_reverse[0x500]; // U+0080..U+047F back to a byte, 0 when absent
    QHash<char16_t, unsigned char> *m_others = nullptr;
    quint16 m_weight[256]; // primary collation weight of each byte
    char m_case[256];      // 1 lower case or caseless, 2 upper case
};

// Sort key of a text under the Russian collation: compare two keys bytewise (memcmp, shorter
// first). Blanks and punctuation come first, then digits, Latin letters, Cyrillic letters in
// alphabet order (Ё after Е); letter case only breaks ties, lower case first.
QByteArray russianSortKey(const QString &text);
