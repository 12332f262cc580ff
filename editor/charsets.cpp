#include "editor/charsets.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <mutex>

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the five it leaves unassigned keep
// their C1 control codes, so that every byte has a character and back.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

int windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    const auto *found = std::find(windows1252High.begin(), windows1252High.end(), c);
    return found == windows1252High.end() ? -1 : int(0x80 + (found - windows1252High.begin()));
}

std::shared_ptr<const LegacyCharset> LegacyCharset::named(const QByteArray &name)
{
    static std::mutex mutex;
    static QHash<QByteArray, std::shared_ptr<const LegacyCharset>> known;
    const std::lock_guard<std::mutex> lock(mutex);
    if (const auto found = known.constFind(name); found != known.cend())
        return *found;
    std::shared_ptr<LegacyCharset> charset;
    if (!name.isEmpty() && QStringDecoder(name.constData()).isValid()) {
        charset = std::make_shared<LegacyCharset>();
        charset->name = name;
        charset->fromUnicode.assign(0x10000, -1);
        // Every byte, forwards and backwards: a set of one byte a character
        // reads each as one character of its own, in either order, and
        // writes them back the same.
        QByteArray bytes(256, Qt::Uninitialized);
        for (int byte = 0; byte < 256; ++byte)
            bytes[byte] = char(byte);
        QByteArray backwards = bytes;
        std::reverse(backwards.begin(), backwards.end());
        QStringDecoder decoder(name.constData(), QStringConverter::Flag::Stateless);
        const QString characters = decoder.decode(bytes);
        QString reversed = decoder.decode(backwards);
        std::reverse(reversed.begin(), reversed.end());
        QStringEncoder encoder(name.constData(), QStringConverter::Flag::Stateless);
        const QByteArray back = characters.size() == 256 ? QByteArray(encoder.encode(characters)) : QByteArray();
        charset->singleByte = !decoder.hasError() && !encoder.hasError() && reversed == characters && back == bytes;
        for (int byte = 0; byte < 256 && charset->singleByte; ++byte) {
            const char16_t c = characters[byte].unicode();
            if (charset->fromUnicode[c] >= 0 || QChar::isSurrogate(c))
                charset->singleByte = false;
            charset->toUnicode[size_t(byte)] = c;
            charset->fromUnicode[c] = qint16(byte);
        }
        if (!charset->singleByte)
            charset->fromUnicode.clear();
        charset->asciiCompatible = charset->singleByte;
        for (int byte = 0; byte < 0x80 && charset->asciiCompatible; ++byte)
            charset->asciiCompatible = charset->toUnicode[size_t(byte)] == byte;
    }
    known.insert(name, charset);
    return charset;
}

const std::array<char16_t, 256> &windows1252Table()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> characters {};
        for (int b = 0; b < 256; ++b)
            characters[size_t(b)] = (b >= 0x80 && b < 0xA0) ? windows1252High[size_t(b - 0x80)] : char16_t(b);
        return characters;
    }();
    return table;
}

bool countsAsSingleBytes(const TextFileFormat &format)
{
    if (format.encoding == TextEncoding::Windows1252)
        return true;
    const auto charset = format.encoding == TextEncoding::Legacy ? LegacyCharset::named(format.legacyName) : nullptr;
    return charset && charset->singleByte && charset->asciiCompatible
           && std::none_of(charset->toUnicode.begin() + 0x80, charset->toUnicode.end(), isLineEndCharacter);
}

QStringList chosenEncodings()
{
    static const QStringList names = [] {
        QStringList all {QStringLiteral("UTF-8"),     QStringLiteral("UTF-8 with BOM"), QStringLiteral("UTF-16 LE"),
                         QStringLiteral("UTF-16 BE"), QStringLiteral("UTF-32 LE"),      QStringLiteral("UTF-32 BE")};
        for (int page = 1250; page <= 1258; ++page)
            all << QStringLiteral("windows-%1").arg(page);
        QStringList legacy;
        for (int part = 1; part <= 16; ++part)
            legacy << QStringLiteral("ISO-8859-%1").arg(part);
        legacy << QStringLiteral("KOI8-R") << QStringLiteral("KOI8-U") << QStringLiteral("IBM866")
               << QStringLiteral("Shift_JIS") << QStringLiteral("EUC-JP") << QStringLiteral("ISO-2022-JP")
               << QStringLiteral("EUC-KR") << QStringLiteral("GB18030") << QStringLiteral("GBK") << QStringLiteral("Big5");
        // Those ICU has.
        for (const QString &name : legacy) {
            if (LegacyCharset::named(name.toLatin1()))
                all << name;
        }
        return all;
    }();
    return names;
}

bool formatForEncoding(const QString &name, TextFileFormat &format)
{
    static const QHash<QString, TextEncoding> own = {
        {QStringLiteral("UTF-8"), TextEncoding::Utf8},         {QStringLiteral("UTF-8 with BOM"), TextEncoding::Utf8},
        {QStringLiteral("UTF-16 LE"), TextEncoding::Utf16LE},  {QStringLiteral("UTF-16 BE"), TextEncoding::Utf16BE},
        {QStringLiteral("UTF-32 LE"), TextEncoding::Utf32LE},  {QStringLiteral("UTF-32 BE"), TextEncoding::Utf32BE},
        {QStringLiteral("windows-1252"), TextEncoding::Windows1252}};
    const LineEnd lineEnd = format.lineEnd;
    format = TextFileFormat();
    format.lineEnd = lineEnd;
    if (const auto found = own.constFind(name); found != own.cend()) {
        format.encoding = *found;
        format.byteOrderMark = name != QLatin1String("UTF-8") && name != QLatin1String("windows-1252");
        return true;
    }
    if (!LegacyCharset::named(name.toLatin1()))
        return false;
    format.encoding = TextEncoding::Legacy;
    format.legacyName = name.toLatin1();
    return true;
}

QString encodingName(const TextFileFormat &format)
{
    switch (format.encoding) {
    case TextEncoding::Utf8: return format.byteOrderMark ? QStringLiteral("UTF-8 with BOM") : QStringLiteral("UTF-8");
    case TextEncoding::Utf16LE: return QStringLiteral("UTF-16 LE");
    case TextEncoding::Utf16BE: return QStringLiteral("UTF-16 BE");
    case TextEncoding::Utf32LE: return QStringLiteral("UTF-32 LE");
    case TextEncoding::Utf32BE: return QStringLiteral("UTF-32 BE");
    case TextEncoding::Windows1252: return QStringLiteral("windows-1252");
    case TextEncoding::Legacy: return QString::fromLatin1(format.legacyName);
    }
    return QString();
}

bool canEncode(QStringView text, TextEncoding encoding)
{
    TextFileFormat format;
    format.encoding = encoding;
    return canEncode(text, format);
}

bool canEncode(QStringView text, const TextFileFormat &format)
{
    if (format.encoding == TextEncoding::Windows1252)
        return std::all_of(text.begin(), text.end(), [](QChar c) { return windows1252Byte(c.unicode()) >= 0; });
    if (format.encoding != TextEncoding::Legacy)
        return true;
    const auto charset = LegacyCharset::named(format.legacyName);
    if (!charset)
        return false;
    if (charset->singleByte)
        return std::all_of(text.begin(), text.end(), [&](QChar c) { return charset->fromUnicode[c.unicode()] >= 0; });
    QStringEncoder encoder(format.legacyName.constData(), QStringConverter::Flag::Stateless);
    constexpr qsizetype piece = 1 << 16;
    for (qsizetype at = 0; at < text.size(); at += piece) {
        // A pair is never cut in two.
        qsizetype length = std::min(piece, text.size() - at);
        if (at + length < text.size() && text.at(at + length - 1).isHighSurrogate())
            ++length;
        (void)encoder.encode(text.sliced(at, length));
        if (encoder.hasError())
            return false;
        at += length - std::min(piece, text.size() - at);
    }
    return true;
}
