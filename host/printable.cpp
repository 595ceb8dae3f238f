#include "printable.h"

#include <QChar>
#include <QFile>

#include <algorithm>
#include <cstring>

namespace vesh::printable {

namespace {

using namespace Qt::Literals::StringLiterals;

// How far a run of one escaped character is counted: one page of the
// largest size, what a sysfs attribute holds at most. A longer run is cut
// there, with the rest, so that counting it costs no more.
constexpr qsizetype RunScanMost = 64 * 1024;

// The length of the valid UTF-8 sequence that bytes begin with, and its
// code point; 0 where they begin with none (overlong forms and surrogates
// included).
int utf8Sequence(QByteArrayView bytes, char32_t *codePoint)
{
    const uchar lead = uchar(bytes.front());
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    int length = 0;
    char32_t value = 0;
    uchar low = 0x80;
    uchar high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        value = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        value = lead & 0x0f;
        low = lead == 0xe0 ? 0xa0 : low;
        high = lead == 0xed ? 0x9f : high;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        value = lead & 0x07;
        low = lead == 0xf0 ? 0x90 : low;
        high = lead == 0xf4 ? 0x8f : high;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        const uchar next = uchar(bytes[i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xbf))
            return 0;
        value = (value << 6) | (next & 0x3f);
    }
    *codePoint = value;
    return length;
}

// What could move the cursor, clear the screen, reorder the line or hide
// in it, by the character's Unicode category: controls, format characters
// (bidirectional controls, zero-width characters, tags), private use,
// unassigned code points, and the line and paragraph separators.
bool isUnprintable(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// One character or byte of the input as shown: at most ten characters
// ("\U000e0041"), held without touching the heap.
struct Unit
{
    char16_t text[10];
    int size = 0;
    bool escaped = false; // stands for an unprintable character or byte
    int bytes = 1;        // of the input

    QStringView view() const { return QStringView(text, size); }
};

Unit escapeUnit(const char *form, char32_t value, int digits, int bytes)
{
    Unit unit;
    unit.escaped = true;
    unit.bytes = bytes;
    for (; *form; ++form)
        unit.text[unit.size++] = char16_t(*form);
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        unit.text[unit.size++] = char16_t("0123456789abcdef"[(value >> shift) & 0xf]);
    return unit;
}

Unit plainUnit(QStringView text, bool escaped)
{
    Unit unit;
    unit.escaped = escaped;
    for (const QChar c : text)
        unit.text[unit.size++] = c.unicode();
    return unit;
}

// The unit that bytes, which are not empty, begin with.
Unit unitAt(QByteArrayView bytes, bool escapeQuotes)
{
    char32_t c = 0;
    const int length = utf8Sequence(bytes, &c);
    if (length == 0)
        return escapeUnit("\\x", uchar(bytes.front()), 2, 1);
    switch (c) {
    case '\n': return plainUnit(u"\\n", true);
    case '\t': return plainUnit(u"\\t", true);
    case '\r': return plainUnit(u"\\r", true);
    case '\0': return plainUnit(u"\\0", true);
    case '\\': return plainUnit(u"\\\\", false);
    case '"':
        if (escapeQuotes)
            return plainUnit(u"\\\"", false);
        break;
    default: break;
    }
    if (isUnprintable(c)) {
        if (c < 0x80)
            return escapeUnit("\\x", c, 2, 1);
        return c <= 0xffff ? escapeUnit("\\u", c, 4, length) : escapeUnit("\\U", c, 8, length);
    }
    Unit unit;
    unit.bytes = length;
    if (QChar::requiresSurrogates(c)) {
        unit.text[unit.size++] = QChar::highSurrogate(c);
        unit.text[unit.size++] = QChar::lowSurrogate(c);
    } else {
        unit.text[unit.size++] = char16_t(c);
    }
    return unit;
}

// How many times the first length bytes of bytes repeat from its start,
// looking no further than RunScanMost bytes.
qsizetype repeats(QByteArrayView bytes, int length)
{
    const QByteArrayView window = bytes.first(std::min(bytes.size(), RunScanMost));
    qsizetype count = 1;
    while ((count + 1) * length <= window.size()
           && std::memcmp(window.data() + count * length, window.data(), size_t(length)) == 0)
        ++count;
    return count;
}

QString moreBytes(qsizetype count)
{
    return u"… ("_s + QString::number(count) + u" more bytes)"_s;
}

QString shown(QByteArrayView bytes, qsizetype limit, bool quote)
{
    QString out;
    QString segment;
    qsizetype used = 0;
    qsizetype at = 0;
    auto append = [&out](const QString &piece) { out += (out.isEmpty() ? QString() : u" + "_s) + piece; };
    auto flush = [&] {
        if (!segment.isEmpty())
            append(quote ? u'"' + segment + u'"' : segment);
        segment.clear();
    };
    while (at < bytes.size()) {
        const QByteArrayView rest = bytes.sliced(at);
        const Unit unit = unitAt(rest, quote);
        const qsizetype count = unit.escaped ? repeats(rest, unit.bytes) : 1;
        if (count >= 4) {
            const QString run = QString::number(count) + u" × "_s + unit.view().toString();
            if (used + run.size() > limit)
                break;
            flush();
            append(run);
            used += run.size();
            at += count * unit.bytes;
            // A run that fills what is counted of it is cut there.
            if (rest.size() > RunScanMost && (count + 1) * unit.bytes > RunScanMost)
                break;
            continue;
        }
        if (used + unit.size > limit)
            break;
        segment += unit.view();
        used += unit.size;
        at += unit.bytes;
    }
    flush();
    if (out.isEmpty() && quote)
        out = u"\"\""_s;
    if (at < bytes.size())
        out += moreBytes(bytes.size() - at);
    return out;
}

} // namespace

QString escaped(QByteArrayView bytes, qsizetype most)
{
    QString out;
    qsizetype at = 0;
    while (at < bytes.size() && at < most) {
        const Unit unit = unitAt(bytes.sliced(at), false);
        out += unit.view();
        at += unit.bytes;
    }
    if (at < bytes.size())
        out += moreBytes(bytes.size() - at);
    return out;
}

QString quoted(QByteArrayView bytes, qsizetype limit)
{
    return shown(bytes, limit, true);
}

QString name(QByteArrayView bytes, qsizetype limit)
{
    return shown(bytes, limit, false);
}

QString escaped(QStringView text)
{
    return escaped(QFile::encodeName(text.toString()), PathLimit);
}

QString name(QStringView text, qsizetype limit)
{
    return name(QFile::encodeName(text.toString()), limit);
}

QStringList wrapped(const QString &first, const QStringList &items, const QString &indent, qsizetype width,
                    qsizetype most)
{
    QStringList lines;
    QString line = first;
    const qsizetype shownItems = std::min(items.size(), most);
    for (qsizetype i = 0; i < shownItems; ++i) {
        const QString item = items.at(i) + (i + 1 < items.size() ? u","_s : QString());
        if (line.size() + 1 + item.size() > width && line.size() > indent.size()) {
            lines << line;
            line = indent;
        } else if (!line.isEmpty() && line != indent) {
            line += u' ';
        }
        line += item;
    }
    if (items.size() > shownItems)
        line += u" and "_s + QString::number(items.size() - shownItems) + u" more"_s;
    lines << line;
    return lines;
}

} // namespace vesh::printable
