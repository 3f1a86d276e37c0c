#include "inifile.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace folioset {

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

QByteArray escapedKey(const QString &key)
{
    QByteArray result;
    for (const QChar c : key) {
        const char16_t ch = c.unicode();
        if (ch == u'/') {
            result += '\\';
        } else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') ||
                   (ch >= u'0' && ch <= u'9') || ch == u'_' || ch == u'-' || ch == u'.') {
            result += char(ch);
        } else if (ch <= 0xFF) {
            result += '%';
            result += hexDigits[ch / 16];
            result += hexDigits[ch % 16];
        } else {
            result += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                result += hexDigits[(ch >> shift) & 0xF];
        }
    }
    return result;
}

bool isHexDigit(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
}

// One string value: control characters, quotes and backslashes escaped; quoted when it holds a
// character that would otherwise split it (a comma makes a list) or has edge blanks.
QByteArray escapedString(const QString &text)
{
    QByteArray result;
    bool needsQuotes = false;
    bool escapeNextIfHex = false; // "\x" escapes are read greedily
    QString plain;
    const auto flushPlain = [&] {
        result += plain.toUtf8();
        plain.clear();
    };
    for (const QChar c : text) {
        const char16_t ch = c.unicode();
        if (ch == u';' || ch == u',' || ch == u'=')
            needsQuotes = true;
        if (escapeNextIfHex && isHexDigit(ch)) {
            flushPlain();
            result += "\\x" + QByteArray::number(uint(ch), 16);
            continue;
        }
        escapeNextIfHex = false;
        static constexpr struct
        {
            char16_t ch;
            const char *text;
        } named[] = {{u'\a', "\\a"}, {u'\b', "\\b"}, {u'\f', "\\f"}, {u'\n', "\\n"}, {u'\r', "\\r"},
                     {u'\t', "\\t"}, {u'\v', "\\v"}, {u'"', "\\\""}, {u'\\', "\\\\"}};
        const auto escape = std::find_if(std::begin(named), std::end(named),
                                         [ch](const auto &entry) { return entry.ch == ch; });
        if (escape != std::end(named)) {
            flushPlain();
            result += escape->text;
        } else if (ch <= 0x1F) {
            flushPlain();
            result += "\\x" + QByteArray::number(uint(ch), 16);
            escapeNextIfHex = true;
        } else {
            plain += c;
        }
    }
    flushPlain();
    // The reader trims blanks from the ends of unquoted text, escaped ones too.
    const auto blank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
    };
    if (needsQuotes || (!text.isEmpty() && (blank(text.front()) || blank(text.back()))))
        result = '"' + result + '"';
    return result;
}

QString scalarText(const QVariant &value)
{
    // As QSettings writes it, so that the reader gives back no value rather than an empty text.
    if (!value.isValid())
        return QStringLiteral("@Invalid()");
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODateWithMs);
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default: {
        const QString text = value.toString();
        // A leading '@' marks a typed value to the reader; doubling it keeps plain text plain.
        return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
    }
    }
}

bool isListOfMaps(const QVariant &value)
{
    if (value.typeId() != QMetaType::QVariantList)
        return false;
    const QVariantList list = value.toList();
    return !list.isEmpty() && std::all_of(list.cbegin(), list.cend(), [](const QVariant &item) {
        return item.typeId() == QMetaType::QVariantMap;
    });
}

QByteArray valueText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList) {
        const QVariantList items = value.toList();
        if (items.isEmpty())
            return "@Invalid()";
        QByteArrayList parts;
        for (const QVariant &item : items) {
            const QByteArray part = escapedString(scalarText(item));
            // An empty last item would be taken for the trailing comma of a one-item list.
            parts << (part.isEmpty() ? QByteArray("\"\"") : part);
        }
        // One item alone would read back as plain text, not a list.
        return items.size() == 1 ? parts.first() + ", " : parts.join(", ");
    }
    return escapedString(scalarText(value));
}

void writeEntries(QByteArray &out, const QByteArray &prefix, const QVariantMap &map);

// The keys of a map or of a list of maps (QSettings' array form), each behind `prefix`.
void writeGroup(QByteArray &out, const QByteArray &prefix, const QVariant &value)
{
    if (value.typeId() == QMetaType::QVariantMap) {
        writeEntries(out, prefix, value.toMap());
        return;
    }
    const QVariantList list = value.toList();
    for (qsizetype i = 0; i < list.size(); ++i)
        writeEntries(out, prefix + QByteArray::number(i + 1) + '\\', list.at(i).toMap());
    out += prefix + "size=" + QByteArray::number(list.size()) + '\n';
}

void writeEntries(QByteArray &out, const QByteArray &prefix, const QVariantMap &map)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QByteArray key = prefix + escapedKey(it.key());
        if (it.value().typeId() == QMetaType::QVariantMap || isListOfMaps(it.value()))
            writeGroup(out, key + '\\', it.value());
        else
            out += key + '=' + valueText(it.value()) + '\n';
    }
}

bool isSection(const QVariant &value)
{
    return value.typeId() == QMetaType::QVariantMap || isListOfMaps(value);
}

} // namespace

QByteArray iniText(const QVariantMap &root)
{
    QByteArray out;
    QVariantMap general;
    for (auto it = root.cbegin(); it != root.cend(); ++it) {
        if (!isSection(it.value()))
            general.insert(it.key(), it.value());
    }
    if (!general.isEmpty()) {
        out += "[General]\n";
        writeEntries(out, {}, general);
    }
    for (auto it = root.cbegin(); it != root.cend(); ++it) {
        if (!isSection(it.value()))
            continue;
        if (!out.isEmpty())
            out += '\n';
        const QByteArray name = escapedKey(it.key());
        // A section of this name, in any letter case, would be read as the top level.
        out += '[' + (name.toLower() == "general" ? '%' + name : name) + "]\n";
        writeGroup(out, {}, it.value());
    }
    return out;
}

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString unescapedKey(const QByteArray &key)
{
    QString result;
    QByteArray plain; // UTF-8 bytes waiting to be decoded together
    const auto flushPlain = [&] {
        result += QString::fromUtf8(plain);
        plain.clear();
    };
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char c = key.at(i);
        if (c == '\\') {
            plain += '/';
            continue;
        }
        if (c == '%') {
            const bool wide = i + 1 < key.size() && key.at(i + 1) == 'U';
            const int digits = wide ? 4 : 2;
            const qsizetype start = i + 1 + (wide ? 1 : 0);
            uint code = 0;
            bool ok = start + digits <= key.size();
            for (int d = 0; ok && d < digits; ++d) {
                const int v = hexValue(key.at(start + d));
                ok = v >= 0;
                code = code * 16 + uint(v);
            }
            if (ok) {
                flushPlain();
                result += QChar(char16_t(code));
                i = start + digits - 1;
                continue;
            }
        }
        plain += c;
    }
    flushPlain();
    return result;
}

// A value's items: quotes group, backslash escapes, commas outside quotes separate.
QStringList unescapedItems(const QByteArray &value, bool *isList)
{
    QStringList items;
    QByteArray current;
    bool inQuotes = false;
    bool quotedTail = false; // blanks after a closing quote or inside quotes are kept
    // Only blanks written as they are end an item; escaped ones ("\t") belong to it.
    qsizetype kept = 0;
    *isList = false;
    const auto finishItem = [&] {
        items << QString::fromUtf8(quotedTail ? current : current.left(kept));
        current.clear();
        kept = 0;
        quotedTail = false;
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value.at(i);
        const qsizetype before = current.size();
        if (c == '"') {
            inQuotes = !inQuotes;
            quotedTail = true;
        } else if (c == ',' && !inQuotes) {
            *isList = true;
            finishItem();
            while (i + 1 < value.size() && (value.at(i + 1) == ' ' || value.at(i + 1) == '\t'))
                ++i;
        } else if (c == '\\' && i + 1 < value.size()) {
            const char next = value.at(++i);
            static constexpr char from[] = "abfnrtv\"'?\\";
            static constexpr char to[] = "\a\b\f\n\r\t\v\"'?\\";
            if (const char *hit = std::strchr(from, next); hit && next != '\0') {
                current += to[hit - from];
            } else if (next == 'x') {
                uint code = 0;
                bool any = false;
                while (i + 1 < value.size() && hexValue(value.at(i + 1)) >= 0) {
                    code = (code * 16 + uint(hexValue(value.at(++i)))) & 0xFFFF;
                    any = true;
                }
                if (any)
                    current += QString(QChar(char16_t(code))).toUtf8();
            } else if (next >= '0' && next <= '7') {
                uint code = uint(next - '0');
                while (i + 1 < value.size() && value.at(i + 1) >= '0' && value.at(i + 1) <= '7')
                    code = (code * 8 + uint(value.at(++i) - '0')) & 0xFFFF;
                current += QString(QChar(char16_t(code))).toUtf8();
            } else {
                current += next;
            }
        } else {
            current += c;
        }
        if (current.size() > before && !(c == ' ' || c == '\t'))
            kept = current.size();
    }
    finishItem();
    if (*isList && items.last().isEmpty() && !value.trimmed().endsWith('"'))
        items.removeLast(); // "a, " is a one-item list
    return items;
}

QVariant typedValue(const QString &text)
{
    if (!text.startsWith(QLatin1Char('@')))
        return text;
    if (text.startsWith(QLatin1String("@@")))
        return text.mid(1);
    if (text == QLatin1String("@Invalid()"))
        return {};
    for (const QLatin1String prefix : {QLatin1String("@String("), QLatin1String("@ByteArray(")}) {
        if (text.startsWith(prefix) && text.endsWith(QLatin1Char(')')))
            return text.mid(prefix.size(), text.size() - prefix.size() - 1);
    }
    return text;
}

// The items of a list are typed one by one, as QSettings writes them; a list of plain texts
// stays a string list.
QVariant listValue(const QStringList &items)
{
    QVariantList values;
    bool plain = true;
    for (const QString &item : items) {
        values << typedValue(item);
        plain = plain && values.last().typeId() == QMetaType::QString;
    }
    if (!plain)
        return values;
    QStringList texts;
    for (const QVariant &value : std::as_const(values))
        texts << value.toString();
    return texts;
}

void insertAt(QVariantMap &map, QStringList path, const QVariant &value)
{
    const QString head = path.takeFirst();
    if (path.isEmpty()) {
        map.insert(head, value);
        return;
    }
    QVariantMap child = map.value(head).toMap();
    insertAt(child, path, value);
    map.insert(head, child);
}

} // namespace

QVariantMap parseIni(const QByteArray &text)
{
    QVariantMap root;
    QStringList section;
    const QByteArray body = text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text;
    const QList<QByteArray> lines = body.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray joined = lines.at(n);
        // A line ending in a backslash goes on on the next line; one ending in an escaped
        // backslash ("\\") does not.
        const auto continues = [](const QByteArray &piece) {
            const QByteArray end = piece.endsWith('\r') ? piece.chopped(1) : piece;
            qsizetype backslashes = 0;
            while (backslashes < end.size() && end.at(end.size() - 1 - backslashes) == '\\')
                ++backslashes;
            return backslashes % 2 == 1;
        };
        while (continues(joined) && n + 1 < lines.size()) {
            joined.chop(joined.endsWith('\r') ? 2 : 1);
            joined += lines.at(++n);
        }
        const QByteArray line = joined.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype end = line.lastIndexOf(']');
            const QByteArray name = line.mid(1, end < 0 ? -1 : end - 1).trimmed();
            // Told apart before unescaping: "[%General]" is a section of that name, as the
            // writer and QSettings mean it, not the top level.
            if (name.toLower() == "general")
                section.clear();
            else if (name.toLower() == "%general")
                section = QStringList{QString::fromLatin1(name.mid(1))};
            else
                section = unescapedKey(name).split(QLatin1Char('/'), Qt::SkipEmptyParts);
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QStringList key =
            unescapedKey(line.left(equals).trimmed()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (key.isEmpty())
            continue;
        bool isList = false;
        const QStringList items = unescapedItems(line.mid(equals + 1).trimmed(), &isList);
        QVariant value = isList ? listValue(items) : typedValue(items.value(0));
        insertAt(root, section + key, value);
    }
    return root;
}

} // namespace folioset
