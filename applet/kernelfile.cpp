#include "kernelfile.h"

#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vesh::kernelfile {

Result read(QStringView root, std::initializer_list<QStringView> path, Buffer *contents, End end)
{
    // File names are UTF-8 to Qt on Linux; join and encode on the stack.
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    qsizetype length = root.size();
    for (QStringView part : path)
        length += part.size();
    QVarLengthArray<char, 256> name(toUtf8.requiredSpace(length) + 1);
    char *end8 = toUtf8.appendToBuffer(name.data(), root);
    for (QStringView part : path)
        end8 = toUtf8.appendToBuffer(end8, part);
    *end8 = '\0';
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {errno};

    contents->resize(0);
    Result result;
    for (;;) {
        if (contents->size() == contents->capacity())
            contents->reserve(contents->capacity() * 2);
        const qsizetype room = contents->capacity() - contents->size();
        const qsizetype start = contents->size();
        contents->resize(contents->capacity());
        ssize_t got;
        do {
            got = ::read(fd, contents->data() + start, size_t(room));
        } while (got < 0 && errno == EINTR);
        const int error = got < 0 ? errno : 0;
        contents->resize(start + std::max<ssize_t>(got, 0));
        if (error == EISDIR)
            result.error = EISDIR;
        if (got <= 0 || (end == End::ShortRead && got < room))
            break;
    }
    ::close(fd);

    // Most files hold no carriage return; a fast scan spares them the copy.
    if (std::memchr(contents->constData(), '\r', size_t(contents->size())))
        contents->erase(std::remove(contents->begin(), contents->end(), '\r'), contents->end());
    return result;
}

bool plainDecimal(QByteArrayView digits, quint64 *value)
{
    if (digits.isEmpty() || digits.size() > 19)
        return false;
    quint64 result = 0;
    for (char digit : digits) {
        if (digit < '0' || digit > '9')
            return false;
        result = result * 10 + quint64(digit - '0');
    }
    *value = result;
    return true;
}

} // namespace vesh::kernelfile
