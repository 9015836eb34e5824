#include "gridlayout.h"

#include <limits>

// ---------------------------------------------------------------- enumerations

namespace {
const char *const titleStateNames[] = {"tsSortedNone", "tsSortedUp", "tsSortedDown"};
const char *const alignmentNames[] = {"talDefault", "talLeftJustify", "talRightJustify", "talCenter"};

// A text in the streaming form: quoted parts with doubled quotes, control characters as #code.
QString quoted(const QString &text)
{
    const QChar quote = QLatin1Char('\'');
    QString result;
    bool open = false;
    for (const QChar c : text) {
        if (c.unicode() < 0x20) {
            if (open)
                result += quote;
            open = false;
            result += QLatin1Char('#') + QString::number(c.unicode());
            continue;
        }
        if (!open)
            result += quote;
        open = true;
        result += c;
        if (c == quote)
            result += quote;
    }
    if (result.isEmpty())
        return QString(2, quote);
    if (open)
        result += quote;
    return result;
}

QString colorText(ColorValue value)
{
    const QString named = GridColor::name(value);
    if (!named.isEmpty())
        return named;
    // The value as the 32-bit signed number the streaming form uses (an RGB colour is positive).
    return QString::number(qint32(value));
}
} // namespace

QString writeGridLayout(const QList<GridColumnLayout> &columns)
{
    const QString eol = QStringLiteral("\r\n");
    QString text = QStringLiteral("object TUniDataStorage") + eol;
    if (columns.isEmpty()) {
        text += QStringLiteral("  Data = <>") + eol;
    } else {
        text += QStringLiteral("  Data = <") + eol;
        const GridColumnLayout defaults;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const GridColumnLayout &c = columns.at(i);
            auto line = [&](const char *name, const QString &value) {
                text += QStringLiteral("      ") + QLatin1String(name) + QStringLiteral(" = ") + value + eol;
            };
            text += QStringLiteral("    item") + eol;
            line("FieldName", quoted(c.fieldName));
            if (c.titleState != defaults.titleState)
                line("TitleState", QLatin1String(titleStateNames[int(c.titleState)]));
            if (c.width != defaults.width)
                line("Width", QString::number(c.width));
            if (c.layoutLevel != defaults.layoutLevel)
                line("LayoutLevel", QString::number(c.layoutLevel));
            if (c.layoutIndex != defaults.layoutIndex)
                line("LayoutIndex", QString::number(c.layoutIndex));
            if (c.color != defaults.color)
                line("Color", colorText(c.color));
            if (c.alignment != defaults.alignment)
                line("Alignment", QLatin1String(alignmentNames[int(c.alignment)]));
            if (c.sortOrder != -1)
                line("SortOrder", QString::number(c.sortOrder));
            text += (i + 1 == columns.size() ? QStringLiteral("    end>") : QStringLiteral("    end")) + eol;
        }
    }
    text += QStringLiteral("end") + eol;
    return text;
}

// ---------------------------------------------------------------- parsing

namespace {

struct Token
{
    enum Kind { End, Ident, Integer, String, Symbol } kind = End;
    QString text; // identifier, string value or symbol
    qint64 number = 0;
    int line = 1;
};

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) {}

    Token next()
    {
        skipBlanks();
        Token t;
        t.line = m_line;
        if (m_pos >= m_text.size())
            return t;
        const QChar c = m_text.at(m_pos);
        if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() &&
                   (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == QLatin1Char('_') ||
                    m_text.at(m_pos) == QLatin1Char('.')))
                ++m_pos;
            t.kind = Token::Ident;
            t.text = m_text.mid(start, m_pos - start);
            return t;
        }
        if (c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('$')) {
            t.kind = Token::Integer;
            t.number = readInteger();
            return t;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('#')) {
            t.kind = Token::String;
            t.text = readString();
            return t;
        }
        ++m_pos;
        t.kind = Token::Symbol;
        t.text = c;
        return t;
    }

    [[noreturn]] void fail(int line, const QString &what) const
    {
        throw LayoutParseError(
            QStringLiteral("Неверный текст раскладки таблицы (строка %1): %2").arg(line).arg(what));
    }

private:
    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace()) {
            if (m_text.at(m_pos) == QLatin1Char('\n'))
                ++m_line;
            ++m_pos;
        }
    }

    qint64 readInteger()
    {
        bool negative = false;
        if (m_text.at(m_pos) == QLatin1Char('-')) {
            negative = true;
            ++m_pos;
        }
        int base = 10;
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('$')) {
            base = 16;
            ++m_pos;
        }
        const qsizetype start = m_pos;
        qint64 value = 0;
        while (m_pos < m_text.size()) {
            const char16_t u = m_text.at(m_pos).unicode();
            int digit = -1;
            if (u >= u'0' && u <= u'9')
                digit = u - u'0';
            else if (base == 16 && u >= u'a' && u <= u'f')
                digit = u - u'a' + 10;
            else if (base == 16 && u >= u'A' && u <= u'F')
                digit = u - u'A' + 10;
            if (digit < 0)
                break;
            value = value * base + digit;
            if (value > qint64(std::numeric_limits<quint32>::max()))
                fail(m_line, QStringLiteral("слишком большое число"));
            ++m_pos;
        }
        if (m_pos == start)
            fail(m_line, QStringLiteral("ожидалось число"));
        return negative ? -value : value;
    }

    // 'text' parts and #code characters, side by side.
    QString readString()
    {
        QString result;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == QLatin1Char('\'')) {
                ++m_pos;
                for (;;) {
                    if (m_pos >= m_text.size() || m_text.at(m_pos) == QLatin1Char('\n'))
                        fail(m_line, QStringLiteral("незакрытая строка"));
                    if (m_text.at(m_pos) == QLatin1Char('\'')) {
                        if (m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == QLatin1Char('\'')) {
                            result += QLatin1Char('\'');
                            m_pos += 2;
                            continue;
                        }
                        ++m_pos;
                        break;
                    }
                    result += m_text.at(m_pos++);
                }
            } else if (c == QLatin1Char('#')) {
                ++m_pos;
                const qsizetype start = m_pos;
                while (m_pos < m_text.size() && m_text.at(m_pos).isDigit() &&
                       m_text.at(m_pos).unicode() < 128)
                    ++m_pos;
                bool ok = false;
                const uint code = QStringView(m_text).mid(start, m_pos - start).toUInt(&ok);
                if (!ok || code > 0xFFFF)
                    fail(m_line, QStringLiteral("неверный код символа"));
                result += QChar(char16_t(code));
            } else {
                break;
            }
        }
        return result;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
};

class Parser
{
public:
    explicit Parser(const QString &text) : m_lexer(text) { advance(); }

    QList<GridColumnLayout> run()
    {
        QList<GridColumnLayout> columns;
        parseObject(&columns);
        if (m_token.kind != Token::End)
            fail(QStringLiteral("лишний текст после конца"));
        return columns;
    }

private:
    void advance() { m_token = m_lexer.next(); }
    [[noreturn]] void fail(const QString &what) const { m_lexer.fail(m_token.line, what); }

    bool isIdent(const char *word) const
    {
        return m_token.kind == Token::Ident &&
               m_token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(char symbol) const
    {
        return m_token.kind == Token::Symbol && m_token.text == QLatin1Char(symbol);
    }
    void expectSymbol(char symbol)
    {
        if (!isSymbol(symbol))
            fail(QStringLiteral("ожидалось \"%1\"").arg(QLatin1Char(symbol)));
        advance();
    }
    QString expectIdent()
    {
        if (m_token.kind != Token::Ident)
            fail(QStringLiteral("ожидалось имя"));
        const QString text = m_token.text;
        advance();
        return text;
    }

    // object Name[: Class] property* (object ...)* end. The columns are the items of its "Data"
    // (the outermost object's only).
    void parseObject(QList<GridColumnLayout> *columns)
    {
        const DepthGuard guard(this);
        if (!isIdent("object") && !isIdent("inherited") && !isIdent("inline"))
            fail(QStringLiteral("ожидалось \"object\""));
        advance();
        expectIdent();
        if (isSymbol(':')) {
            advance();
            expectIdent();
        }
        while (!isIdent("end")) {
            if (m_token.kind == Token::End)
                fail(QStringLiteral("ожидалось \"end\""));
            if (isIdent("object") || isIdent("inherited") || isIdent("inline")) {
                parseObject(nullptr);
                continue;
            }
            const QString name = expectIdent();
            expectSymbol('=');
            if (columns && name.compare(QLatin1String("Data"), Qt::CaseInsensitive) == 0) {
                if (!isSymbol('<'))
                    fail(QStringLiteral("ожидалось \"<\""));
                *columns = parseCollection();
            } else {
                skipValue();
            }
        }
        advance();
    }

    QList<GridColumnLayout> parseCollection()
    {
        expectSymbol('<');
        QList<GridColumnLayout> items;
        while (!isSymbol('>')) {
            if (!isIdent("item"))
                fail(QStringLiteral("ожидалось \"item\""));
            advance();
            GridColumnLayout item;
            while (!isIdent("end")) {
                if (m_token.kind == Token::End)
                    fail(QStringLiteral("ожидалось \"end\""));
                const QString name = expectIdent();
                expectSymbol('=');
                readProperty(name, &item);
            }
            advance();
            items.append(item);
        }
        advance();
        return items;
    }

    int readInt()
    {
        if (m_token.kind != Token::Integer)
            fail(QStringLiteral("ожидалось целое число"));
        if (m_token.number < std::numeric_limits<int>::min() ||
            m_token.number > std::numeric_limits<int>::max())
            fail(QStringLiteral("число вне допустимых пределов"));
        const int value = int(m_token.number);
        advance();
        return value;
    }

    template <std::size_t N> int readEnum(const char *const (&names)[N])
    {
        if (m_token.kind == Token::Ident) {
            for (std::size_t i = 0; i < N; ++i) {
                if (m_token.text.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) {
                    advance();
                    return int(i);
                }
            }
        }
        fail(QStringLiteral("неверное значение свойства"));
    }

    void readProperty(const QString &name, GridColumnLayout *item)
    {
        auto is = [&](const char *property) {
            return name.compare(QLatin1String(property), Qt::CaseInsensitive) == 0;
        };
        if (is("FieldName")) {
            if (m_token.kind != Token::String)
                fail(QStringLiteral("ожидалась строка"));
            item->fieldName = readConcatenatedString();
        } else if (is("TitleState")) {
            item->titleState = TitleState(readEnum(titleStateNames));
        } else if (is("Width")) {
            item->width = readInt();
        } else if (is("LayoutLevel")) {
            item->layoutLevel = readInt();
        } else if (is("LayoutIndex")) {
            item->layoutIndex = readInt();
        } else if (is("Color")) {
            if (m_token.kind == Token::Ident) {
                if (!GridColor::fromName(m_token.text, &item->color))
                    fail(QStringLiteral("неизвестный цвет %1").arg(m_token.text));
                advance();
            } else if (m_token.kind == Token::Integer &&
                       m_token.number >= std::numeric_limits<qint32>::min()) {
                item->color = ColorValue(quint32(m_token.number));
                advance();
            } else {
                fail(QStringLiteral("ожидался цвет"));
            }
        } else if (is("Alignment")) {
            item->alignment = ColumnAlignment(readEnum(alignmentNames));
        } else if (is("SortOrder")) {
            item->sortOrder = readInt();
        } else {
            skipValue(); // visual options, footer kind, font: the grid keeps its own
        }
    }

    QString readConcatenatedString()
    {
        QString text = m_token.text;
        advance();
        while (isSymbol('+')) {
            advance();
            if (m_token.kind != Token::String)
                fail(QStringLiteral("ожидалась строка"));
            text += m_token.text;
            advance();
        }
        return text;
    }

    void skipValue()
    {
        const DepthGuard guard(this);
        switch (m_token.kind) {
        case Token::String:
            readConcatenatedString();
            return;
        case Token::Integer:
        case Token::Ident:
            advance();
            return;
        case Token::End:
            fail(QStringLiteral("ожидалось значение"));
        case Token::Symbol:
            break;
        }
        if (isSymbol('[')) {
            skipUntil(']');
        } else if (isSymbol('(')) {
            skipUntil(')');
        } else if (isSymbol('{')) {
            skipUntil('}');
        } else if (isSymbol('<')) {
            skipUntil('>');
        } else {
            fail(QStringLiteral("ожидалось значение"));
        }
    }

    void skipUntil(char close)
    {
        advance();
        while (!isSymbol(close)) {
            if (m_token.kind == Token::End)
                fail(QStringLiteral("ожидалось \"%1\"").arg(QLatin1Char(close)));
            if (isSymbol('[') || isSymbol('(') || isSymbol('{') || isSymbol('<'))
                skipValue();
            else
                advance();
        }
        advance();
    }

    // Nesting deeper than any real layout text is refused rather than followed.
    struct DepthGuard
    {
        explicit DepthGuard(Parser *p) : parser(p)
        {
            if (++parser->m_depth > 64)
                parser->fail(QStringLiteral("слишком глубокая вложенность"));
        }
        ~DepthGuard() { --parser->m_depth; }
        Parser *parser;
    };

    Lexer m_lexer;
    Token m_token;
    int m_depth = 0;
};

} // namespace

QList<GridColumnLayout> parseGridLayout(const QString &text)
{
    Parser parser(text);
    return parser.run();
}
