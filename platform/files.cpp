/* files.cpp: the array files, text files saved whole and line files that grow a line at a
** time. Arrays of unsigned bytes are kept as text: one line, each value in decimal,
** right-aligned in a field of the given width (4 to 16 characters, so that a space always
** separates two values), for example "   7 255   0\n". Divisions: errors and atomic saves;
** array files; text and line files.
*/
#include "qtpanel.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

/* A parameter file is about a hundred bytes; anything far larger is not one of ours and is
** refused before it is read into memory. */
constexpr qint64 kMaxFileBytes = 64 * 1024;
/* Field widths in characters, and the most values one file may carry: every file written
** stays below the size bound, so it reads back. */
constexpr int kMinFieldWidth = 4;
constexpr int kMaxFieldWidth = 16;
constexpr int kMaxElements = 4000;
static_assert(kMaxElements * kMaxFieldWidth + 1 <= kMaxFileBytes, "files written read back");

/* Negative results of ArrayToFile and FileToArray. */
enum {
    FileBadArgument = -1, /* null name or array, unsupported type, layout or action */
    FileOpenFailed = -2,  /* cannot open, create or read the file */
    FileWriteFailed = -3, /* writing or committing the new file failed; the old one is intact */
    FileTooLarge = -4,    /* larger than kMaxFileBytes */
    FileWrongCount = -5,  /* fewer or more values than asked for */
    FileBadValue = -6     /* a token that is not a whole decimal number 0..255 */
};

QByteArray lastError; /* text of the last failure; empty after a success */

int fail(int code, const QString &text)
{
    lastError = text.toLocal8Bit();
    return code;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/* Gives the new file in `file` the owner, group and permission bits of the file it is to
** replace, if there is one. The owner and group only where the process may (as root; else
** at least the group, if the process belongs to it); the bits always, and exactly: the
** toolkit's own copy would mark a read-only file writable for a process that may write it
** anyway. The owner first, as a change of owner clears the set-id bits. */
bool keepAttributes(QSaveFile &file, const QString &name)
{
    struct stat old;
    if (::stat(QFile::encodeName(name).constData(), &old) != 0) return true;
    const int fd = file.handle();
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, uid_t(-1), old.st_gid);
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

/* Writes all of `bytes` to an unbuffered file; returns the number written, and when that
** falls short the reason in *reason. */
qint64 writeAll(QFileDevice &file, const QByteArray &bytes, QString *reason)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        // A write the disk cuts short returns the part written; the next one gives the reason.
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            *reason = file.errorString();
            break;
        }
        written += n;
    }
    return written;
}

} // namespace

/* ---- Errors and atomic saves --------------------------------------------------------- */

void vrplatform::setFileErrorText(const QString &text)
{
    lastError = text.toLocal8Bit();
}

int vrplatform::saveAtomically(const QString &name, const QByteArray &bytes)
{
    /* The new contents go to a temporary file that replaces the old one only once it has
    ** been written in full; a failure on the way leaves the old file as it was. */
    QSaveFile file(name);
    /* Unbuffered, so that every write reports what reached the disk: a buffered write that
    ** the disk cuts short (full disk, size limit) would otherwise go unnoticed and commit a
    ** truncated file. */
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(FileOpenFailed,
                    QStringLiteral("cannot create the file: ") + file.errorString());
    if (!keepAttributes(file, name)) {
        file.cancelWriting();
        return fail(FileWriteFailed,
                    QStringLiteral("cannot give the new file the permissions of the old one"));
    }
    QString reason;
    const qint64 written = writeAll(file, bytes, &reason);
    if (written < bytes.size()) {
        file.cancelWriting();
        return fail(FileWriteFailed, QStringLiteral("cannot write the file (%1 of %2 bytes "
                                                    "written): %3")
                                         .arg(written)
                                         .arg(bytes.size())
                                         .arg(reason));
    }
    if (!file.commit())
        return fail(FileWriteFailed, QStringLiteral("cannot save the file: ") + file.errorString());
    lastError.clear();
    return 0;
}

/* ---- Array files ---------------------------------------------------------------------- */

int ArrayToFile(const char *fileName, const unsigned char *array, int dataType, int numElements,
                int numGroups, int, int, int, int fieldWidth, int fileType, int fileAction)
{
    if (!fileName || !*fileName || !array)
        return fail(FileBadArgument, QStringLiteral("no file name or no data"));
    if (dataType != VAL_UNSIGNED_CHAR || fileType != VAL_ASCII || fileAction != VAL_TRUNCATE ||
        numGroups != 1 || numElements < 1 || numElements > kMaxElements)
        return fail(FileBadArgument, QStringLiteral("unsupported array or file format"));

    const int width = fieldWidth < kMinFieldWidth   ? kMinFieldWidth
                      : fieldWidth > kMaxFieldWidth ? kMaxFieldWidth
                                                    : fieldWidth;
    QByteArray text;
    for (int i = 0; i < numElements; ++i)
        text += QByteArray::number(array[i]).rightJustified(width, ' ');
    text += '\n';

    return vrplatform::saveAtomically(QString::fromLocal8Bit(fileName), text);
}

int FileToArray(const char *fileName, unsigned char *array, int dataType, int numElements,
                int numGroups, int, int, int fileType)
{
    if (!fileName || !*fileName || !array)
        return fail(FileBadArgument, QStringLiteral("no file name or no destination"));
    if (dataType != VAL_UNSIGNED_CHAR || fileType != VAL_ASCII || numGroups != 1 ||
        numElements < 1 || numElements > kMaxElements)
        return fail(FileBadArgument, QStringLiteral("unsupported array or file format"));

    const QString name = QString::fromLocal8Bit(fileName);
    const QFileInfo info(name);
    if (!info.exists())
        return fail(FileOpenFailed, QStringLiteral("cannot read the file: it does not exist"));
    /* Only a regular file: opening a named pipe would wait for a writer, and a device such
    ** as /dev/zero never ends. */
    if (!info.isFile())
        return fail(FileOpenFailed, QStringLiteral("cannot read the file: not a regular file"));
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return fail(FileOpenFailed, QStringLiteral("cannot read the file: ") + file.errorString());
    if (file.size() > kMaxFileBytes)
        return fail(
            FileTooLarge,
            QStringLiteral("the file is too large (more than %1 bytes)").arg(kMaxFileBytes));
    /* Read one byte past the bound: a device or pipe reports no size, so the length read is
    ** the only reliable test there. */
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(FileOpenFailed, QStringLiteral("cannot read the file: ") + file.errorString());
    if (text.size() > kMaxFileBytes)
        return fail(
            FileTooLarge,
            QStringLiteral("the file is too large (more than %1 bytes)").arg(kMaxFileBytes));

    /* Parse into a local buffer; the caller's array is written only once the whole file has
    ** been found good. */
    unsigned char values[kMaxElements];
    int count = 0;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        int value = 0;
        int digits = 0;
        const int start = i;
        while (i < n && !isBlank(text[i])) {
            const char c = text[i];
            if (c < '0' || c > '9' || value > 255) {
                value = 256;
                break;
            }
            value = value * 10 + (c - '0');
            ++digits;
            ++i;
        }
        if (digits == 0 || value > 255) {
            QByteArray token = text.mid(start, 12);
            const int end = token.indexOf('\n');
            if (end >= 0) token.truncate(end);
            for (char &c : token)
                if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
                    c = '?';
            return fail(FileBadValue,
                        QStringLiteral("value %1 is not a whole number from 0 to 255: \"%2\"")
                            .arg(count + 1)
                            .arg(QString::fromLatin1(token.trimmed())));
        }
        if (count == numElements)
            return fail(FileWrongCount,
                        QStringLiteral("the file holds more than %1 values").arg(numElements));
        values[count++] = static_cast<unsigned char>(value);
    }
    if (count != numElements)
        return fail(
            FileWrongCount,
            QStringLiteral("the file holds %1 values instead of %2").arg(count).arg(numElements));

    for (int k = 0; k < numElements; ++k)
        array[k] = values[k];
    lastError.clear();
    return 0;
}

const char *GetFileErrorText(void)
{
    return lastError.constData();
}

int GetFileReadOnly(const char *fileName)
{
    if (!fileName) return 0;
    const QFileInfo info(QString::fromLocal8Bit(fileName));
    const auto anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.isFile() && info.isWritable() && !(info.permissions() & anyWrite) ? 1 : 0;
}

/* ---- Text and line files ---------------------------------------------------------------- */

namespace
{

enum { MaxLineFiles = 4 };
std::unique_ptr<QFile> lineFiles[MaxLineFiles]; /* open line files by handle */

QFile *lineFile(int handle)
{
    return handle >= 0 && handle < MaxLineFiles ? lineFiles[handle].get() : nullptr;
}

/* Waits until the file's data written so far is on the disk. */
bool syncToDisk(QFile *file)
{
#ifdef Q_OS_LINUX
    return fdatasync(file->handle()) == 0;
#else
    return fsync(file->handle()) == 0;
#endif
}

} // namespace

int SaveTextFile(const char *fileName, const char *text, std::size_t length)
{
    if (!fileName || !*fileName || !text)
        return fail(FileBadArgument, QStringLiteral("no file name or no data"));
    return vrplatform::saveAtomically(QString::fromLocal8Bit(fileName),
                                      QByteArray(text, qsizetype(length)));
}

int OpenLineFile(const char *fileName)
{
    if (!fileName || !*fileName) return fail(FileBadArgument, QStringLiteral("no file name"));
    int handle = 0;
    while (handle < MaxLineFiles && lineFiles[handle])
        handle++;
    if (handle == MaxLineFiles)
        return fail(FileBadArgument, QStringLiteral("too many line files open"));
    auto file = std::make_unique<QFile>(QString::fromLocal8Bit(fileName));
    // Unbuffered: each line goes to the system as it is written, none waits in a buffer.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail(FileOpenFailed,
                    QStringLiteral("cannot create the file: ") + file->errorString());
    lineFiles[handle] = std::move(file);
    lastError.clear();
    return handle;
}

int WriteLine(int handle, const char *line)
{
    QFile *file = lineFile(handle);
    if (!file || !line) return fail(FileBadArgument, QStringLiteral("the file is not open"));
    const QByteArray bytes = QByteArray(line) + '\n';
    const qint64 start = file->pos();
    QString reason;
    const qint64 written = writeAll(*file, bytes, &reason);
    if (written < bytes.size()) {
        if (written > 0 && file->resize(start)) file->seek(start); // no partial line stays
        return fail(FileWriteFailed, QStringLiteral("cannot write the file (%1 of %2 bytes of "
                                                    "a line written): %3")
                                         .arg(written)
                                         .arg(bytes.size())
                                         .arg(reason));
    }
    if (!syncToDisk(file))
        return fail(FileWriteFailed, QStringLiteral("cannot write the file to the disk: ") +
                                         QString::fromLocal8Bit(std::strerror(errno)));
    lastError.clear();
    return 0;
}

int CloseLineFile(int handle)
{
    if (!lineFile(handle)) return 0;
    lineFiles[handle].reset();
    return 0;
}
