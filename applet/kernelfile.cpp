#include "kernelfile.h"

#include <QByteArrayList>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vesh::kernelfile {

Result read(QStringView root, std::initializer_list<QStringView> path, Buffer *contents, const Form &form)
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
    contents->resize(0);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {errno};

    // One byte past the limit tells a file that holds more from one that
    // holds just the limit, without reading on.
    const qsizetype most = form.limit + 1;
    Result result;
    for (;;) {
        if (contents->size() == contents->capacity())
            contents->reserve(std::min(contents->capacity() * 2, most));
        const qsizetype start = contents->size();
        const qsizetype room = std::min(contents->capacity(), most) - start;
        contents->resize(start + room);
        ssize_t got;
        do {
            got = ::read(fd, contents->data() + start, size_t(room));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            result.error = errno;
            break;
        }
        contents->resize(start + got);
        if (contents->size() > form.limit) {
            result.error = EFBIG;
            break;
        }
        if (got == 0 || (form.end == End::ShortRead && got < room))
            break;
    }
    ::close(fd);
    if (!result) {
        contents->resize(0);
        return result;
    }

    // Most files hold no carriage return; a fast scan spares them the copy.
    if (form.mode == Mode::Text && std::memchr(contents->constData(), '\r', size_t(contents->size())))
        contents->erase(std::remove(contents->begin(), contents->end(), '\r'), contents->end());
    return result;
}

Result resolve(QByteArrayView root, QByteArrayView folder, QByteArrayView path, QByteArray *resolved, Lookup lookup)
{
    const QByteArray base = root.toByteArray();
    QByteArray current = path.startsWith('/') ? QByteArray() : folder.toByteArray(); // each part after a '/'
    const QByteArrayList parts = path.toByteArray().split('/');
    QByteArrayList pending(parts.crbegin(), parts.crend()); // the next part last
    int links = 0;
    bool exists = true;
    Result result;
    while (!pending.isEmpty()) {
        const QByteArray part = pending.takeLast();
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            current.truncate(std::max<qsizetype>(current.lastIndexOf('/'), 0));
            continue;
        }
        current += '/' + part;
        if (!exists)
            continue;
        if (lookup.partsLeft && --*lookup.partsLeft < 0) {
            result = {E2BIG};
            break;
        }
        char target[PATH_MAX];
        const ssize_t size = ::readlink((base + current).constData(), target, sizeof target);
        // EINVAL: there, and no link.
        if (size < 0 && errno == EINVAL)
            continue;
        if (size <= 0 || size_t(size) == sizeof target) {
            if (!lookup.pastMissing) {
                result = {size < 0 ? errno : ENAMETOOLONG};
                break;
            }
            exists = false;
            continue;
        }
        if (++links > MostLinks) {
            result = {ELOOP};
            break;
        }
        current.truncate(current.lastIndexOf('/'));
        if (target[0] == '/')
            current.clear();
        const QByteArrayList targetParts = QByteArray(target, size).split('/');
        pending.append(QByteArrayList(targetParts.crbegin(), targetParts.crend()));
    }
    *resolved = current.isEmpty() ? QByteArray("/") : current;
    return result;
}

Result resolve(QStringView root, std::initializer_list<QStringView> path, QString *resolved)
{
    QString joined;
    for (QStringView part : path)
        joined += part;
    QByteArray found;
    const Result result = resolve(root.toUtf8(), {}, joined.toUtf8(), &found);
    *resolved = result ? QString::fromUtf8(found) : QString();
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
