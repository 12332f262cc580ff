#include "platform/textfile.h"

#include "platform/inplacefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <array>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the five it leaves unassigned keep
// their C1 control codes, so that every byte has a character and back.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of a character in Windows-1252, or -1.
int windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    const auto *found = std::find(windows1252High.begin(), windows1252High.end(), c);
    return found == windows1252High.end() ? -1 : int(0x80 + (found - windows1252High.begin()));
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = (b >= 0x80 && b < 0xA0) ? windows1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

// UTF-16 is taken code unit by code unit, unpaired surrogates included, so
// that it goes back unchanged.
QString decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    if (bigEndian)
        qFromBigEndian<char16_t>(bytes.data(), text.size(), text.data());
    else
        qFromLittleEndian<char16_t>(bytes.data(), text.size(), text.data());
    return text;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing cut off at the
// end); a second byte-order mark after the first stays in the text.
bool decodeUtf8(QByteArrayView bytes, QString &text)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool isLineEndCandidate(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

// Counts the line ends and keeps each line's own; the most common one
// becomes the format's (the platform's where the text has none).
void scanLineEnds(DecodedTextFile &decoded)
{
    const auto *p = reinterpret_cast<const char16_t *>(decoded.text.constData());
    const qsizetype n = decoded.text.size();
    std::vector<quint8> lineEnds;
    std::array<qsizetype, lineEndKinds> counts {};
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if ((c > u'\r' && c < 0x2029) || !isLineEndCandidate(c))
            continue;
        LineEnd kind;
        switch (c) {
        case u'\r':
            if (i + 1 < n && p[i + 1] == u'\n') {
                kind = LineEnd::CrLf;
                ++i;
            } else {
                kind = LineEnd::Cr;
            }
            break;
        case u'\n': kind = LineEnd::Lf; break;
        case 0x2029: kind = LineEnd::ParagraphSeparator; break;
        case 0xFDD0: kind = LineEnd::Fdd0; break;
        default: kind = LineEnd::Fdd1; break;
        }
        lineEnds.push_back(quint8(kind));
        ++counts[size_t(kind)];
    }
    if (lineEnds.empty())
        return;
    const auto most = std::max_element(counts.begin(), counts.end());
    decoded.format.lineEnd = LineEnd(most - counts.begin());
    for (size_t line = 0; line < lineEnds.size(); ++line) {
        if (LineEnd(lineEnds[line]) != decoded.format.lineEnd)
            decoded.otherLineEnds.emplace_back(qsizetype(line), LineEnd(lineEnds[line]));
    }
}

bool isCharacterDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISCHR(status.st_mode);
#else
    Q_UNUSED(path);
    return false;
#endif
}

QString shownPath(const QString &path)
{
    return QLatin1Char('\'') + QDir::toNativeSeparators(path) + QLatin1Char('\'');
}

// A write beyond the file size limit raises SIGXFSZ, which ends the program
// with every unsaved document; ignored, the write fails with EFBIG and the
// save reports it. Checked at every save, since the program (or a test) may
// have put the default back since; a handler of the program's own stays.
void letTooLargeWritesFail()
{
#ifdef Q_OS_UNIX
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO)
        && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
#endif
}

// Whether no new file can be made in the folder of path (for the temporary
// file that would replace it).
bool folderTakesNoNewFile(const QFileInfo &info)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK | X_OK) != 0;
#else
    return !QFileInfo(info.absolutePath()).isWritable();
#endif
}

// The new file is made by whoever saves; root saving someone else's file
// gives it back its owner and group, and a user in the file's group keeps
// that at least. Where neither is allowed the file becomes the user's, as
// any new file would.
void keepOwnerAndGroup(QSaveFile &file, const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat old {};
    struct stat fresh {};
    const int fd = file.handle();
    if (::stat(QFile::encodeName(path).constData(), &old) != 0 || ::fstat(fd, &fresh) != 0)
        return;
    if (old.st_uid == fresh.st_uid && old.st_gid == fresh.st_gid)
        return;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && old.st_gid != fresh.st_gid)
        (void)::fchown(fd, uid_t(-1), old.st_gid);
#else
    Q_UNUSED(file);
    Q_UNUSED(path);
#endif
}

} // namespace

bool isLineEndCharacter(QChar c)
{
    return isLineEndCandidate(c.unicode());
}

QStringView lineEndText(LineEnd lineEnd)
{
    static const char16_t texts[lineEndKinds][3] = {u"\r\n", u"\n", u"\r", u"\u2029", u"\uFDD0", u"\uFDD1"};
    const auto *text = texts[int(lineEnd)];
    return QStringView(text, lineEnd == LineEnd::CrLf ? 2 : 1);
}

LineEnd platformLineEnd()
{
#ifdef Q_OS_WIN
    return LineEnd::CrLf;
#else
    return LineEnd::Lf;
#endif
}

DecodedTextFile decodeTextFile(QByteArrayView bytes)
{
    DecodedTextFile decoded;
    TextFileFormat &format = decoded.format;
    const bool even = bytes.size() % 2 == 0;
    if (bytes.startsWith("\xEF\xBB\xBF") && decodeUtf8(bytes.sliced(3), decoded.text)) {
        format.encoding = TextEncoding::Utf8;
        format.byteOrderMark = true;
    } else if (bytes.startsWith("\xFF\xFE") && even) {
        format.encoding = TextEncoding::Utf16LE;
        format.byteOrderMark = true;
        decoded.text = decodeUtf16(bytes.sliced(2), false);
    } else if (bytes.startsWith("\xFE\xFF") && even) {
        format.encoding = TextEncoding::Utf16BE;
        format.byteOrderMark = true;
        decoded.text = decodeUtf16(bytes.sliced(2), true);
    } else if (decodeUtf8(bytes, decoded.text)) {
        format.encoding = TextEncoding::Utf8;
    } else {
        format.encoding = TextEncoding::Windows1252;
        decoded.text = decodeWindows1252(bytes);
    }
    scanLineEnds(decoded);
    return decoded;
}

Error readTextFile(const QString &path, DecodedTextFile &decoded)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        const bool folderExists = !path.isEmpty() && info.dir().exists();
        return Error::make(folderExists ? ErrorNumber::FileNotFound : ErrorNumber::PathNotFound, shownPath(path));
    }
    if (!info.isFile())
        return Error::make(ErrorNumber::PathFileAccessError, shownPath(path) + QStringLiteral(" is not a file"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Error::make(info.isReadable() ? ErrorNumber::PathFileAccessError : ErrorNumber::PermissionDenied,
                           shownPath(path) + QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
    }
    try {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            return Error::make(ErrorNumber::DeviceIOError,
                               shownPath(path) + QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
        }
        decoded = decodeTextFile(bytes);
    } catch (const std::bad_alloc &) {
        return Error::make(ErrorNumber::OutOfMemory, shownPath(path));
    }
    return Error::none();
}

bool canEncode(QStringView text, TextEncoding encoding)
{
    if (encoding != TextEncoding::Windows1252)
        return true;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return windows1252Byte(c.unicode()) >= 0; });
}

SafeFileWriter::SafeFileWriter() = default;
SafeFileWriter::~SafeFileWriter() = default;

Error SafeFileWriter::open(const QString &path)
{
    m_path = path;
    letTooLargeWritesFail();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.dir().exists())
        return Error::make(ErrorNumber::PathNotFound, shownPath(path));
    if (info.exists() && !info.isFile()) {
        // A device such as /dev/null has no file to replace; anything else
        // (a folder, a pipe) cannot take the text.
        if (!isCharacterDevice(path))
            return Error::make(ErrorNumber::PathFileAccessError, shownPath(path) + QStringLiteral(" is not a file"));
        m_device = std::make_unique<QFile>(path);
        m_file = m_device.get();
    } else {
        m_saveFile = std::make_unique<QSaveFile>(path);
        m_file = m_saveFile.get();
    }
    if (!m_file->open(QIODevice::WriteOnly)) {
        // A writable file in a folder where no temporary file can be made
        // can only be saved in place.
        if (m_saveFile && m_saveFile->error() == QFileDevice::OpenError && info.isFile() && folderTakesNoNewFile(info)) {
            m_saveFile.reset();
            m_file = nullptr;
            m_inPlace = std::make_unique<InPlaceFile>();
            const Error error = m_inPlace->open(path);
            if (error.failed())
                m_inPlace.reset();
            return error;
        }
        const Error error = Error::make(ErrorNumber::PathFileAccessError,
                                        shownPath(path) + QStringLiteral(" (") + m_file->errorString() + QLatin1Char(')'));
        m_file = nullptr;
        return error;
    }
    if (m_saveFile && info.exists())
        keepOwnerAndGroup(*m_saveFile, path);
    return Error::none();
}

Error SafeFileWriter::reserve(qint64 size)
{
    if (m_inPlace && m_writeError.ok() && !m_inPlace->begun())
        m_writeError = m_inPlace->begin(size);
    return m_writeError;
}

void SafeFileWriter::write(QByteArrayView bytes)
{
    if (m_writeError.failed())
        return;
    if (m_inPlace) {
        m_writeError = m_inPlace->write(bytes);
        return;
    }
    if (!m_file)
        return;
    // A write can take only part of the bytes (the device is full, or the
    // file has grown to its size limit); the rest is written again so that
    // the failure shows.
    while (!bytes.isEmpty()) {
        const qint64 written = m_file->write(bytes.data(), bytes.size());
        if (written <= 0) {
            m_writeError = fileError(*m_file);
            return;
        }
        bytes = bytes.sliced(written);
    }
}

Error SafeFileWriter::commit()
{
    if (m_inPlace) {
        const Error error = m_inPlace->finish(m_writeError);
        m_inPlace.reset();
        return error;
    }
    if (!m_file)
        return Error::make(ErrorNumber::PathFileAccessError, shownPath(m_path));
    if (m_writeError.ok() && !m_file->flush())
        m_writeError = fileError(*m_file);
    if (m_saveFile) {
        if (m_writeError.failed()) {
            m_saveFile->cancelWriting();
            m_saveFile->commit();
        } else if (!m_saveFile->commit()) {
            m_writeError = fileError(*m_saveFile);
        }
    } else {
        m_device->close();
    }
    m_file = nullptr;
    return m_writeError;
}

Error SafeFileWriter::fileError(const QFileDevice &file) const
{
    const int number = file.error() == QFileDevice::ResourceError ? ErrorNumber::DiskFull : ErrorNumber::DeviceIOError;
    return Error::make(number, shownPath(m_path) + QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
}

namespace {

constexpr qsizetype chunkBytes = 4 << 20;

// The most bytes one character of UTF-16 can take in an encoding.
qsizetype bytesPerCharacter(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return 3;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: return 2;
    case TextEncoding::Windows1252: return 1;
    }
    return 3;
}

} // namespace

EncodedTextWriter::EncodedTextWriter(SafeFileWriter &file, TextEncoding encoding)
    : EncodedTextWriter(std::vector<SafeFileWriter *> {&file}, encoding)
{
}

EncodedTextWriter::EncodedTextWriter(std::vector<SafeFileWriter *> files, TextEncoding encoding)
    : EncodedTextWriter(encoding)
{
    m_files = std::move(files);
}

EncodedTextWriter::EncodedTextWriter(TextEncoding encoding)
    : m_encoding(encoding)
    , m_utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless)
{
    m_buffer.resize(chunkBytes);
    for (int kind = 0; kind < lineEndKinds; ++kind) {
        const QStringView text = lineEndText(LineEnd(kind));
        QByteArray &bytes = m_lineEnds[size_t(kind)];
        bytes.resize(text.size() * bytesPerCharacter(encoding));
        bytes.truncate(encode(text, bytes.data()) - bytes.constData());
    }
}

void EncodedTextWriter::writeByteOrderMark()
{
    QByteArrayView mark;
    switch (m_encoding) {
    case TextEncoding::Utf8: mark = "\xEF\xBB\xBF"; break;
    case TextEncoding::Utf16LE: mark = "\xFF\xFE"; break;
    case TextEncoding::Utf16BE: mark = "\xFE\xFF"; break;
    case TextEncoding::Windows1252: return;
    }
    std::copy(mark.begin(), mark.end(), room(mark.size()));
    m_used += mark.size();
}

void EncodedTextWriter::write(QStringView text)
{
    if (text.isEmpty())
        return;
    if (m_heldSurrogate) {
        const char16_t pair[2] = {m_heldSurrogate, text.front().unicode()};
        m_heldSurrogate = 0;
        const bool paired = QChar::isLowSurrogate(pair[1]);
        encodeInChunks(QStringView(pair, paired ? 2 : 1));
        if (paired)
            text = text.sliced(1);
    }
    // UTF-8 encodes a pair as one character; half of one alone would become
    // a replacement character.
    if (!text.isEmpty() && text.back().isHighSurrogate()) {
        m_heldSurrogate = text.back().unicode();
        text.chop(1);
    }
    encodeInChunks(text);
}

void EncodedTextWriter::encodeInChunks(QStringView text)
{
    const qsizetype perCharacter = bytesPerCharacter(m_encoding);
    while (!text.isEmpty()) {
        // A long line goes in pieces that fit the buffer, never cutting a
        // surrogate pair in two.
        qsizetype length = qMin(text.size(), chunkBytes / perCharacter);
        if (length < text.size() && text.at(length - 1).isHighSurrogate())
            --length;
        char *end = encode(text.first(length), room(length * perCharacter));
        m_used = end - m_buffer.constData();
        text = text.sliced(length);
    }
}

void EncodedTextWriter::writeHeldSurrogate()
{
    if (!m_heldSurrogate)
        return;
    const char16_t alone = m_heldSurrogate;
    m_heldSurrogate = 0;
    encodeInChunks(QStringView(&alone, 1));
}

char *EncodedTextWriter::encode(QStringView text, char *out)
{
    switch (m_encoding) {
    case TextEncoding::Utf8:
        return m_utf8.appendToBuffer(out, text);
    case TextEncoding::Utf16LE:
        qToLittleEndian<char16_t>(text.utf16(), text.size(), out);
        return out + 2 * text.size();
    case TextEncoding::Utf16BE:
        qToBigEndian<char16_t>(text.utf16(), text.size(), out);
        return out + 2 * text.size();
    case TextEncoding::Windows1252:
        for (const QChar c : text) {
            const int byte = windows1252Byte(c.unicode());
            *out++ = char(byte < 0 ? '?' : byte);
        }
        return out;
    }
    return out;
}

void EncodedTextWriter::writeLineEnd(LineEnd lineEnd)
{
    writeHeldSurrogate();
    const QByteArray &bytes = m_lineEnds[size_t(lineEnd)];
    std::copy(bytes.begin(), bytes.end(), room(bytes.size()));
    m_used += bytes.size();
}

void EncodedTextWriter::flush()
{
    writeHeldSurrogate();
    writeBuffer();
}

void EncodedTextWriter::writeBuffer()
{
    for (SafeFileWriter *file : m_files)
        file->write(QByteArrayView(m_buffer.constData(), m_used));
    m_flushed += m_used;
    m_used = 0;
}

char *EncodedTextWriter::room(qsizetype bytes)
{
    if (m_used + bytes > m_buffer.size())
        writeBuffer();
    return m_buffer.data() + m_used;
}
