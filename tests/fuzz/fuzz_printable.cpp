// libFuzzer target: bytes of any shape as the runner shows them. Nothing a
// terminal acts on gets through, the cut holds, and escaped() keeps every
// byte: unescaping it gives the input back.
#include "printable.h"

#include <QChar>

#include <cstdint>
#include <cstdlib>

namespace {

bool safe(const QString &text)
{
    for (const char32_t c : text.toUcs4()) {
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            break;
        }
    }
    return true;
}

// The bytes that escaped() stands for; false where it is no escaped text.
bool unescaped(const QString &text, QByteArray *bytes)
{
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '\\') {
            bytes->append(utf8[i]);
            continue;
        }
        if (++i == utf8.size())
            return false;
        const char kind = utf8[i];
        const int digits = kind == 'x' ? 2 : kind == 'u' ? 4 : kind == 'U' ? 8 : 0;
        if (digits == 0) {
            const QByteArrayView plain = kind == 'n' ? "\n" : kind == 't' ? "\t" : kind == 'r' ? "\r"
                : kind == '\\' ? "\\" : kind == '"' ? "\"" : kind == '0' ? QByteArrayView("", 1) : QByteArrayView();
            if (plain.isEmpty())
                return false;
            bytes->append(plain);
            continue;
        }
        if (i + digits >= utf8.size())
            return false;
        bool ok = false;
        const uint value = utf8.mid(i + 1, digits).toUInt(&ok, 16);
        if (!ok)
            return false;
        i += digits;
        if (kind == 'x')
            bytes->append(char(value));
        else
            bytes->append(QString::fromUcs4(reinterpret_cast<const char32_t *>(&value), 1).toUtf8());
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString all = vesh::printable::escaped(bytes, bytes.size());
    QByteArray back;
    if (!safe(all) || !unescaped(all, &back) || back != bytes)
        std::abort();
    for (const qsizetype limit : {0, 5, 60, 120}) {
        const QString quoted = vesh::printable::quoted(bytes, limit);
        const QString name = vesh::printable::name(bytes, limit);
        // Within the limit, but for the quotes and joints of the pieces,
        // of which there is one per unit shown, and the count of what is
        // left out.
        if (!safe(quoted) || !safe(name) || name.size() > 2 * limit + 40 || quoted.size() > 4 * limit + 42)
            std::abort();
    }
    return 0;
}
