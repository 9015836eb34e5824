// The table file layer: bytes on disk, open rules, navigation, editing, pack, index, filter.
#include "dbase/codepage.h"
#include "dbftesting.h"

#include <QDate>

using namespace Measurement;

using DbfLayout = TableFixture;

TEST_F(DbfLayout, FreshMeasurementTableIs290Bytes)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    const QByteArray b = readAll(path());
    ASSERT_EQ(b.size(), 290);
    EXPECT_EQ(quint8(b[0]), 0x03);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(quint8(b[1]), today.year() - 1900);
    EXPECT_EQ(quint8(b[2]), today.month());
    EXPECT_EQ(quint8(b[3]), today.day());
    EXPECT_EQ(le32(b, 4), 0u);
    EXPECT_EQ(le16(b, 8), 289);
    EXPECT_EQ(le16(b, 10), 100);
    EXPECT_EQ(b.mid(12, 16), QByteArray(16, '\0'));
    EXPECT_EQ(quint8(b[28]), 0);
    EXPECT_EQ(quint8(b[29]), 0xC9);
    EXPECT_EQ(b.mid(30, 2), QByteArray(2, '\0'));

    const QList<DbfFieldDef> fields = schema();
    for (int i = 0; i < fields.size(); ++i) {
        const QByteArray d = b.mid(32 + 32 * i, 32);
        QByteArray name = fields[i].name.toLatin1();
        name.append(QByteArray(11 - name.size(), '\0'));
        EXPECT_EQ(d.left(11), name) << i;
        EXPECT_EQ(d[11], fields[i].type) << i;
        EXPECT_EQ(d.mid(12, 4), QByteArray(4, '\0'));
        EXPECT_EQ(quint8(d[16]), fields[i].width) << i;
        EXPECT_EQ(quint8(d[17]), 0) << i;
        EXPECT_EQ(d.mid(18, 14), QByteArray(14, '\0'));
    }
    EXPECT_EQ(b[288], '\x0D');
    EXPECT_EQ(b[289], '\x1A');
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("t.mdx"))));
}

TEST_F(DbfLayout, AppendedRowBytesAndHeader)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    table.append();
    table.setInteger(N, 12);
    table.setText(MODE, Observation);
    table.setText(DATE, QStringLiteral("07.11.2005"));
    table.setText(TIME, QStringLiteral("09:05:30"));
    table.setNumber(T_1, -123.45);
    table.setNumber(T_2, 7);
    table.setText(COMMENT, QString(60, QLatin1Char('x')));
    table.post();
    EXPECT_EQ(table.text(MODE), Observation);
    // Visible on disk at once, without closing.
    if (!heldTableReadable())
        return;
    const QByteArray b = readAll(path());
    ASSERT_EQ(b.size(), 390);
    EXPECT_EQ(le32(b, 4), 1u);
    const QByteArray r = b.mid(289, 100);
    EXPECT_EQ(r.mid(0, 1), " ");
    EXPECT_EQ(r.mid(1, 4), "  12");
    EXPECT_EQ(r.mid(5, 11), QByteArray("\xcd\xe0\xe1\xeb\xfe\xe4\xe5\xed\xe8\xe5 ")); // cp1251, one blank
    EXPECT_EQ(r.mid(16, 4), "    ");                                                  // EN_CH never set
    EXPECT_EQ(r.mid(20, 10), "07.11.2005");
    EXPECT_EQ(r.mid(30, 8), "09:05:30");
    EXPECT_EQ(r.mid(38, 6), "-123,4");
    EXPECT_EQ(r.mid(44, 6), "7     ");
    EXPECT_EQ(r.mid(50, 50), QByteArray(50, 'x'));
    EXPECT_EQ(b[389], '\x1A');

    EXPECT_EQ(table.text(QStringLiteral("t_2")), QStringLiteral("7"));
    EXPECT_EQ(table.integer(N), 12);
    EXPECT_TRUE(table.isNull(EN_CH));
    EXPECT_EQ(table.text(EN_CH), QString());
    EXPECT_DOUBLE_EQ(table.number(T_1), -123.4);
    EXPECT_EQ(table.text(COMMENT).size(), 50);
}

TEST_F(DbfLayout, MassTextsAreCutToSix)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    const QList<std::pair<double, const char *>> cases = {
        {123.45, "123,45"}, {999.456, "999,45"}, {1000, "1000"},      {0.07, "0,07"},
        {-3.5, "-3,5"},     {-123.45, "-123,4"}, {-1234.5, "-1234,"}, {1234567, "123456"},
    };
    for (const auto &[value, text] : cases) {
        table.append();
        table.setNumber(T_1, value);
        table.post();
        EXPECT_EQ(table.text(T_1), QString::fromLatin1(text)) << value;
    }
    table.append();
    table.setText(MODE, Operative);
    table.post();
    EXPECT_EQ(table.recordBytes(table.recNo()).mid(5, 11),
              QByteArray("\xce\xef\xe5\xf0\xe0\xf2\xe8\xe2\xed\xfb\xe9"));
}

using DbfOpen = TableFixture;

namespace {
QString openError(const QString &file, const QList<DbfFieldDef> &schema = Measurement::schema())
{
    DbfTable table(Measurement::schema());
    table.setFileName(file);
    table.setSchema(schema);
    try {
        table.open();
    } catch (const QpxError &e) {
        return e.text();
    }
    return QString();
}
} // namespace

TEST_F(DbfOpen, RejectsBadHeadersWithoutTouchingTheFile)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    const QByteArray good = readAll(path());
    struct Case
    {
        const char *what;
        int at;
        char value;
    };
    const QList<Case> cases = {
        {"version 0x30", 0, '\x30'},
        {"version 0x04", 0, '\x04'},
        {"header length 0", 8, 0},
        {"record length 0", 10, 0},
        {"unknown type letter", 32 + 11, 'X'},
        {"empty name", 32, 0},
        {"field past record", 32 + 32 * 7 + 16, '\x7f'},
    };
    for (const Case &c : cases) {
        QByteArray bad = good;
        bad[c.at] = c.value;
        if (c.at == 8 || c.at == 10)
            bad[c.at + 1] = 0;
        writeAll(path(), bad);
        EXPECT_EQ(openError(path()), QStringLiteral("Invalid DBF file.")) << c.what;
        EXPECT_EQ(readAll(path()), bad) << c.what;
    }
    writeAll(path(), QByteArray("short"));
    EXPECT_EQ(openError(path()), QStringLiteral("Invalid DBF file."));
    EXPECT_FALSE(openError(dir.filePath(QStringLiteral("missing.db"))).isEmpty());
}

TEST_F(DbfOpen, AcceptsVersionBytesWithLowBitsThree)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    QByteArray b = readAll(path());
    b[0] = char(0x83);
    writeAll(path(), b);
    EXPECT_EQ(openError(path()), QString());
}

TEST_F(DbfOpen, SchemaBinding)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    QList<DbfFieldDef> wanted = schema();
    wanted.append({QStringLiteral("EXTRA"), 'C', 5, 0});
    EXPECT_EQ(openError(path(), wanted), QStringLiteral("Field 'EXTRA' not found"));

    wanted = schema();
    wanted[0].width = 6; // N as an integer of 6 digits
    EXPECT_EQ(openError(path(), wanted),
              QStringLiteral("Type mismatch for field 'N', expecting: Integer actual: SmallInt"));
    wanted = schema();
    wanted[5] = {T_1, 'N', 6, 2};
    EXPECT_EQ(openError(path(), wanted),
              QStringLiteral("Type mismatch for field 'T_1', expecting: Float actual: String"));
    wanted = schema();
    wanted[7].width = 10; // widths of character fields are not compared
    EXPECT_EQ(openError(path(), wanted), QString());

    // Fields the schema does not name are ignored; lookups ignore case.
    DbfTable wide(Measurement::schema());
    QList<DbfFieldDef> more = schema();
    more.insert(2, {QStringLiteral("Extra"), 'N', 10, 0});
    wide.setSchema(more);
    createTable(wide, QStringLiteral("wide.db"));
    DbfTable reader(Measurement::schema());
    reader.setFileName(path(QStringLiteral("wide.db")));
    reader.open();
    EXPECT_EQ(reader.fieldCount(), 9);
    EXPECT_EQ(reader.fieldIndex(QStringLiteral("extra")), 2);
    EXPECT_EQ(reader.fieldKind(2), DbfFieldKind::LargeInt);
    EXPECT_EQ(reader.fieldIndex(QStringLiteral("Date")), 4);
}

TEST_F(DbfOpen, CountIsCorrectedFromTheFileSize)
{
    {
        DbfTable table(Measurement::schema());
        createTable(table);
        table.open();
        addRows(table, {1, 2, 3});
    }
    const QByteArray good = readAll(path());
    for (const quint32 wrong : {0u, 2u, 7u, 100000u}) {
        QByteArray b = good;
        b[4] = char(wrong & 0xff);
        b[5] = char((wrong >> 8) & 0xff);
        b[6] = char((wrong >> 16) & 0xff);
        writeAll(path(), b);
        DbfTable table(Measurement::schema());
        table.setFileName(path());
        table.open();
        EXPECT_EQ(table.physicalRecordCount(), 3);
        EXPECT_EQ(table.rowCount(), 3);
        if (heldTableReadable()) {
            EXPECT_EQ(le32(readAll(path()), 4), 3u) << wrong;
        }
    }
    // A torn last record (crash in the middle of a write) is no row, but its bytes stay: in
    // place, and copied aside before a new row can take their place.
    const QByteArray torn = good.left(good.size() - 1 - 40);
    writeAll(path(), torn);
    DbfTable table(Measurement::schema());
    table.setFileName(path());
    table.open();
    EXPECT_EQ(table.physicalRecordCount(), 2);
    table.close();
    const QByteArray after = readAll(path());
    EXPECT_EQ(after.size(), torn.size());
    EXPECT_EQ(le32(after, 4), 2u);
    EXPECT_EQ(after.mid(8), torn.mid(8));
    EXPECT_EQ(readAll(table.keptAsideFile()), torn.mid(289 + 200));
}

TEST_F(DbfOpen, MissingIndexFileClearsTheFlagAtTheNextHeaderWrite)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    QByteArray b = readAll(path());
    b[28] = 1;
    writeAll(path(), b);
    table.open();
    EXPECT_TRUE(table.indexNames().isEmpty());
    if (heldTableReadable()) {
        EXPECT_EQ(readAll(path())[28], 1); // nothing written yet
    }
    addRows(table, {5});
    table.close();
    EXPECT_EQ(readAll(path())[28], 0);
}

TEST_F(DbfOpen, DbaseThreeAndCode866)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    table.append();
    table.setText(COMMENT, QStringLiteral("Ёлка"));
    table.post();
    table.close();
    QByteArray b = readAll(path());
    b[29] = 0; // dBase III, no language driver: still 1251
    writeAll(path(), b);
    table.open();
    EXPECT_EQ(table.codePage(), 1251);
    EXPECT_EQ(table.text(COMMENT), QStringLiteral("Ёлка"));
    table.close();

    b[29] = 0x65;
    const QByteArray cp866("\xf0\xab\xaa\xa0", 4); // Ёлка in 866
    b.replace(289 + 50, 4, cp866);
    writeAll(path(), b);
    table.open();
    EXPECT_EQ(table.codePage(), 866);
    EXPECT_EQ(table.text(COMMENT), QStringLiteral("Ёлка"));
    table.edit();
    table.setText(COMMENT, QStringLiteral("Щука"));
    table.post();
    table.close();
    EXPECT_EQ(readAll(path()).mid(289 + 50, 4), QByteArray("\x99\xe3\xaa\xa0"));
}

TEST_F(DbfOpen, ExclusiveAlsoThroughASymlink)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    DbfTable second(Measurement::schema());
    second.setFileName(path());
    EXPECT_THROW(second.open(), DbfError);
#ifdef Q_OS_WIN
    return; // QFile::link makes a shell shortcut there, not a symbolic link
#endif
    ASSERT_TRUE(QFile::link(path(), path(QStringLiteral("link.db"))));
    second.setFileName(path(QStringLiteral("link.db")));
    EXPECT_THROW(second.open(), DbfError);
    DbfTable creator(Measurement::schema());
    creator.setFileName(path(QStringLiteral("link.db")));
    EXPECT_THROW(creator.create(), DbfError);
    EXPECT_FALSE(second.isOpen());
    table.close();
    second.open();
    EXPECT_TRUE(second.isOpen());
}

using DbfRows = TableFixture;

TEST_F(DbfRows, NavigationEditDeleteAndPack)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    EXPECT_TRUE(table.eof());
    EXPECT_TRUE(table.bof());
    addRows(table, {1, 2, 3, 4, 5});

    table.first();
    QStringList walked;
    while (!table.eof()) {
        walked.append(table.text(T_1));
        table.next();
    }
    EXPECT_EQ(walked, strings({"1", "2", "3", "4", "5"}));

    // Edit row 2 in place.
    table.first();
    table.next();
    table.edit();
    table.setText(COMMENT, QStringLiteral("изменено"));
    table.post();
    table.close();
    EXPECT_EQ(readAll(path()).size(), 289 + 500 + 1);
    table.open();
    table.next();
    EXPECT_EQ(table.text(COMMENT), QStringLiteral("изменено"));

    // Delete rows 2 and 4.
    table.deleteRecord();
    EXPECT_EQ(table.text(T_1), QStringLiteral("3"));
    table.next();
    table.deleteRecord();
    if (heldTableReadable()) {
        EXPECT_EQ(readAll(path())[289 + 100], '*');
    }
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.exactRecordCount(), 3);
    EXPECT_EQ(table.physicalRecordCount(), 5);
    EXPECT_EQ(column(table, T_1), strings({"1", "3", "5"}));

    table.pack();
    if (heldTableReadable()) {
        const QByteArray b = readAll(path());
        EXPECT_EQ(b.size(), 289 + 300 + 1);
        EXPECT_EQ(le32(b, 4), 3u);
        EXPECT_EQ(b.mid(289 + 100 + 38, 1), "3");
    }
    EXPECT_EQ(table.physicalRecordCount(), 3);
    EXPECT_EQ(column(table, T_1), strings({"1", "3", "5"}));
    const QStringList leftovers = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("t.db")});
    // Still exclusively ours after the file was replaced.
    DbfTable other(Measurement::schema());
    other.setFileName(path());
    EXPECT_THROW(other.open(), DbfError);
    table.close();
    other.open();
    EXPECT_EQ(other.rowCount(), 3);
}

TEST_F(DbfRows, SignalsAndArrayAccess)
{
    int resets = 0;
    QList<int> changed;
    DbfTable table(Measurement::schema());
    createTable(table);
    QObject::connect(&table, &DbfTable::rowsReset, [&] { ++resets; });
    QObject::connect(&table, &DbfTable::recordChanged, [&](int r) { changed.append(r); });
    table.open();
    addRows(table, {1, 2, 3});
    EXPECT_GE(resets, 4);
    table.first();
    table.edit();
    table.setText(COMMENT, QStringLiteral("x"));
    table.post();
    EXPECT_EQ(changed, QList<int>{1});
    EXPECT_EQ(table.recordAt(2), 3);
    EXPECT_EQ(table.rowOf(3), 2);
    EXPECT_EQ(table.rowOf(99), -1);
    EXPECT_EQ(table.recordAt(99), 0);
    EXPECT_TRUE(table.gotoRecord(3));
    EXPECT_EQ(table.recNo(), 3);
    EXPECT_FALSE(table.gotoRecord(4));
}

TEST_F(DbfRows, UnknownFieldNamesRaise)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    try {
        (void)table.text(QStringLiteral("MASS"));
        FAIL();
    } catch (const DbfError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("Field 'MASS' not found"));
    }
    table.append();
    EXPECT_THROW(table.setText(QStringLiteral("MASS"), QString()), DbfError);
    EXPECT_THROW(table.setInteger(N, 12345), DbfError); // does not fit N(4)
    table.cancel();
    EXPECT_EQ(table.physicalRecordCount(), 0);
}

using DbfIndex = TableFixture;

TEST_F(DbfIndex, RussianCollationNumericAndDescending)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    const QStringList comments = {QStringLiteral("яблоко"), QStringLiteral("Ёж"),    QStringLiteral("ель"),
                                  QStringLiteral("Жук"),    QStringLiteral("zebra"), QStringLiteral("Apple"),
                                  QStringLiteral("10"),     QStringLiteral("9"),     QStringLiteral("Ель"),
                                  QStringLiteral("")};
    for (int i = 0; i < comments.size(); ++i) {
        table.append();
        table.setInteger(N, (i * 7) % 10);
        table.setText(COMMENT, comments[i]);
        table.setNumber(T_1, QList<double>{100, 12.5, 9, 1000, -3, 0.5, 7, 8, 11, 2}[i]);
        table.post();
    }
    table.addIndex(QStringLiteral("tab1"), COMMENT, false);
    if (heldTableReadable()) {
        EXPECT_EQ(readAll(path())[28], 1);
    }
    EXPECT_TRUE(QFile::exists(table.indexFileName()));
    table.selectIndex(QStringLiteral("tab1"));
    EXPECT_EQ(column(table, COMMENT),
              strings({"", "10", "9", "Apple", "zebra", "ель", "Ель", "Ёж", "Жук", "яблоко"}));

    // Texts sort as texts: 12,5 after 100 and before 9.
    table.addIndex(QStringLiteral("tab1"), T_1, false);
    table.rebuildIndexes();
    EXPECT_EQ(column(table, T_1).mid(0, 8), strings({"-3", "0,5", "100", "1000", "11", "12,5", "2", "7"}));

    table.addIndex(QStringLiteral("tab1"), N, true);
    table.rebuildIndexes();
    QStringList numbers = column(table, N);
    EXPECT_EQ(numbers, strings({"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}));

    // Kept up to date by append and edit; the current row stays on its record.
    table.append();
    table.setInteger(N, 5);
    table.post();
    EXPECT_EQ(table.recNo(), 11);
    EXPECT_EQ(table.rowOf(11), 5); // after the 5 of record 5 (equal keys keep file order)
    table.gotoRecord(1);
    table.edit();
    table.setInteger(N, 99);
    table.post();
    EXPECT_EQ(table.rowOf(1), 0);
    EXPECT_EQ(table.recNo(), 1);

    // Selected index is back after close and open while the index file exists.
    table.close();
    table.open();
    EXPECT_EQ(table.selectedIndex(), QStringLiteral("TAB1"));
    EXPECT_EQ(table.recNo(), 1);
    table.deleteIndex(QStringLiteral("tab1"));
    EXPECT_FALSE(QFile::exists(table.indexFileName()));
    if (heldTableReadable()) {
        EXPECT_EQ(readAll(path())[28], 0);
    }
    EXPECT_EQ(table.selectedIndex(), QString());
    EXPECT_EQ(table.recordAt(0), 1);
    EXPECT_THROW(table.deleteIndex(QStringLiteral("tab1")), DbfError);
}

using DbfFilter = TableFixture;

TEST_F(DbfFilter, ExactAndWildcards)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    const QStringList texts = strings({"5", "15", "51", "", "5", "it's", "a*b"});
    for (const QString &t : texts) {
        table.append();
        table.setText(T_2, t);
        table.post();
    }
    auto rows = [&](const QString &expression) {
        table.setFilter(expression);
        table.setFiltered(true);
        QStringList r;
        table.first();
        while (!table.eof()) {
            r.append(table.text(T_2));
            table.next();
        }
        EXPECT_EQ(table.exactRecordCount(), r.size());
        return r;
    };
    EXPECT_EQ(rows(QStringLiteral("T_2 ='5'")), strings({"5", "5"}));
    EXPECT_EQ(rows(QStringLiteral("T_2='5*'")), strings({"5", "51", "5"}));
    EXPECT_EQ(rows(QStringLiteral("t_2 = '*5'")), strings({"5", "15", "5"}));
    EXPECT_EQ(rows(QStringLiteral("T_2 ='*5*'")), strings({"5", "15", "51", "5"}));
    EXPECT_EQ(rows(QStringLiteral("T_2 =''")), strings({""}));
    EXPECT_EQ(rows(QStringLiteral("T_2 ='it''s'")), strings({"it's"}));
    EXPECT_EQ(rows(QStringLiteral("T_2 =\"a*b\"")), strings({"a*b"}));
    EXPECT_THROW(table.setFilter(QStringLiteral("T_2 = 5")), DbfError);
    EXPECT_EQ(table.filter(), QStringLiteral("T_2 =\"a*b\""));
    EXPECT_THROW(table.setFilter(QStringLiteral("MASS ='5'")), DbfError);
    table.setFiltered(false);
    EXPECT_EQ(table.rowCount(), 7);
}

TEST_F(DbfRows, CreateReplacesAnExistingFile)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {1, 2});
    table.create(); // closes first, then replaces
    EXPECT_FALSE(table.isOpen());
    EXPECT_EQ(readAll(path()).size(), 290);
    writeAll(path(QStringLiteral("junk.db")), QByteArray(5000, 'j'));
    DbfTable other(Measurement::schema());
    createTable(other, QStringLiteral("junk.db"));
    EXPECT_EQ(readAll(path(QStringLiteral("junk.db"))).size(), 290);
}

TEST_F(DbfRows, BackwardsAndRefresh)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {1, 2, 3});
    table.last();
    EXPECT_TRUE(table.eof());
    QStringList walked;
    while (!table.bof()) {
        walked.append(table.text(T_1));
        table.prior();
    }
    EXPECT_EQ(walked, strings({"3", "2", "1"}));
    table.gotoRecord(2);
    table.refresh();
    EXPECT_EQ(table.recNo(), 2);
    // A pending edit is posted by a move, as in every data-bound view.
    table.edit();
    table.setText(COMMENT, QStringLiteral("posted by next"));
    table.next();
    EXPECT_EQ(table.text(2, table.fieldIndex(COMMENT)), QStringLiteral("posted by next"));
}

TEST_F(DbfRows, NumericFieldConversions)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    table.append();
    EXPECT_THROW(table.setText(N, QStringLiteral("abc")), ConvertError);
    table.setText(N, QStringLiteral(" 42 "));
    EXPECT_EQ(table.integer(N), 42);
    table.setNumber(EN_CH, 7.6);
    EXPECT_EQ(table.text(EN_CH), QStringLiteral("8"));
    table.setText(T_2, QStringLiteral("abc"));
    EXPECT_EQ(table.integer(T_2), 0);
    EXPECT_THROW(table.number(T_2), ConvertError);
    table.setNull(N);
    EXPECT_TRUE(table.isNull(N));
    EXPECT_EQ(table.number(N), 0);
    table.post();
    EXPECT_EQ(table.recordBytes(1).mid(1, 4), "    ");
    EXPECT_EQ(table.recordBytes(1).mid(16, 4), "   8");
}

TEST_F(DbfIndex, GoneIndexFileMeansFileOrder)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {3, 1, 2});
    table.addIndex(QStringLiteral("tab1"), T_1, false);
    table.selectIndex(QStringLiteral("tab1"));
    EXPECT_EQ(column(table, T_1), strings({"1", "2", "3"}));
    table.close();
    ASSERT_TRUE(QFile::remove(table.indexFileName()));
    table.open();
    EXPECT_EQ(table.selectedIndex(), QString());
    EXPECT_EQ(column(table, T_1), strings({"3", "1", "2"}));
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_THROW(table.selectIndex(QStringLiteral("tab1")), DbfError);
}

TEST(Collation, KeysFromBytesMatchKeysFromTexts)
{
    for (const CodePage *page :
         {&CodePage::windows1251(), &CodePage::dos866(), &CodePage::forLanguageDriver(0x57)}) {
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            all.append(char(b));
        for (int i = 0; i + 3 <= all.size(); ++i) {
            const QByteArray piece = all.mid(i, 3);
            ASSERT_EQ(page->sortKey(piece.constData(), piece.size()),
                      russianSortKey(page->decode(piece.constData(), piece.size())))
                << page->number() << ' ' << i;
        }
        EXPECT_EQ(page->decode(all.constData(), all.size()).size(), 255);
        EXPECT_EQ(page->encode(page->decode(all.constData(), all.size())), all) << page->number();
    }
    // Case only breaks ties; Ё sorts after Е and before Ж.
    EXPECT_LT(russianSortKey(QStringLiteral("ель")), russianSortKey(QStringLiteral("Ель")));
    EXPECT_LT(russianSortKey(QStringLiteral("Ель")), russianSortKey(QStringLiteral("ехать")));
    EXPECT_LT(russianSortKey(QStringLiteral("ехать")), russianSortKey(QStringLiteral("ёж")));
    EXPECT_LT(russianSortKey(QStringLiteral("ежа")), russianSortKey(QStringLiteral("ёж")));
    EXPECT_LT(russianSortKey(QStringLiteral("ёж")), russianSortKey(QStringLiteral("Жук")));
    EXPECT_LT(russianSortKey(QStringLiteral("z")), russianSortKey(QStringLiteral("а")));
    EXPECT_LT(russianSortKey(QStringLiteral("9")), russianSortKey(QStringLiteral("A")));
    EXPECT_LT(russianSortKey(QStringLiteral("12,5")), russianSortKey(QStringLiteral("125")));
}
