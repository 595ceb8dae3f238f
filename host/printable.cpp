#include "printable.h"

#include <QList>

namespace vesh::printable {

namespace {

using namespace Qt::Literals::StringLiterals;

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
// in it.
bool isControl(char32_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0) || c == 0x061c || c == 0x200e || c == 0x200f
        || (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0xfeff;
}

QString hex(uint value, int digits)
{
    return QString::number(value, 16).rightJustified(digits, u'0');
}

struct Unit
{
    QString text;
    bool escaped; // stands for an unprintable character or byte
    int bytes;
};

QList<Unit> units(QByteArrayView bytes, bool escapeQuotes)
{
    QList<Unit> result;
    while (!bytes.isEmpty()) {
        char32_t c = 0;
        const int length = utf8Sequence(bytes, &c);
        if (length == 0) {
            result.append({u"\\x"_s + hex(uchar(bytes.front()), 2), true, 1});
            bytes = bytes.sliced(1);
            continue;
        }
        switch (c) {
        case '\n': result.append({u"\\n"_s, true, 1}); break;
        case '\t': result.append({u"\\t"_s, true, 1}); break;
        case '\r': result.append({u"\\r"_s, true, 1}); break;
        case '\0': result.append({u"\\0"_s, true, 1}); break;
        case '\\': result.append({u"\\\\"_s, false, 1}); break;
        default:
            if (c == '"' && escapeQuotes)
                result.append({u"\\\""_s, false, 1});
            else if (isControl(c))
                result.append({(c < 0x80 ? u"\\x"_s + hex(c, 2) : u"\\u"_s + hex(c, 4)), true, length});
            else
                result.append({QString::fromUcs4(&c, 1), false, length});
        }
        bytes = bytes.sliced(length);
    }
    return result;
}

QString shown(QByteArrayView bytes, qsizetype limit, bool quote)
{
    const QList<Unit> all = units(bytes, quote);
    QString out;
    QString segment;
    qsizetype used = 0;
    qsizetype consumed = 0;
    auto append = [&out](const QString &piece) { out += (out.isEmpty() ? QString() : u" + "_s) + piece; };
    auto flush = [&] {
        if (!segment.isEmpty())
            append(quote ? u'"' + segment + u'"' : segment);
        segment.clear();
    };
    qsizetype i = 0;
    while (i < all.size()) {
        qsizetype end = i + 1;
        while (all.at(i).escaped && end < all.size() && all.at(end).text == all.at(i).text)
            ++end;
        if (end - i >= 4) {
            const QString run = QString::number(end - i) + u" × "_s + all.at(i).text;
            if (used + run.size() > limit)
                break;
            flush();
            append(run);
            used += run.size();
            for (; i < end; ++i)
                consumed += all.at(i).bytes;
            continue;
        }
        if (used + all.at(i).text.size() > limit)
            break;
        segment += all.at(i).text;
        used += all.at(i).text.size();
        consumed += all.at(i).bytes;
        ++i;
    }
    flush();
    if (out.isEmpty() && quote)
        out = u"\"\""_s;
    if (i < all.size())
        out += u"… ("_s + QString::number(bytes.size() - consumed) + u" more bytes)"_s;
    return out;
}

} // namespace

QString escaped(QByteArrayView bytes)
{
    QString out;
    const QList<Unit> all = units(bytes, false);
    for (const Unit &unit : all)
        out += unit.text;
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
