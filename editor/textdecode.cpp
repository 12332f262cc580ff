#include "editor/textdecode.h"

#include "editor/textencode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QtEndian>

#include <uchardet.h>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLORY_SSE2
#endif

namespace {

// Decodes bytes of a character set of one byte a character, by its table,
// noting in seen the bytes beyond ASCII that it met.
char16_t *decodeByTable(QByteArrayView bytes, char16_t *out, const std::array<char16_t, 256> &table, bool asciiCompatible,
                        std::array<bool, 256> &seen)
{
    const char *p = bytes.begin();
    const char *const end = bytes.end();
    const auto character = [&table, &seen](char byte) {
        seen[static_cast<unsigned char>(byte)] = true;
        return table[static_cast<unsigned char>(byte)];
    };
#ifdef QUILLORY_SSE2
    // Sixteen bytes below 0x80 are the same sixteen characters.
    const __m128i zero = _mm_setzero_si128();
    for (; asciiCompatible && end - p >= 16; p += 16, out += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        if (_mm_movemask_epi8(b) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(b, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(b, zero));
        } else {
            std::transform(p, p + 16, out, character);
        }
    }
#else
    Q_UNUSED(asciiCompatible);
#endif
    return std::transform(p, end, out, character);
}

// Counts the line ends of a text as it is decoded, a piece at a time; the
// most common one becomes the format's (the platform's where the text has
// none), and the lines that end otherwise are listed. Only the lines where
// the kind of line end changes are noted on the way, so that a file whose
// lines all end alike (or all but the first) costs nothing per line.
class LineEndScan
{
public:
    // Scans text from position from up to end, and gives where the next scan
    // starts: a CR at the end waits for the next piece unless this is the
    // last.
    qsizetype scan(const char16_t *text, qsizetype from, qsizetype end, bool last)
    {
        const char16_t *p = text + from;
        const char16_t *const stop = text + end;
        while ((p = nextLineEndCandidate(p, stop)) != stop) {
            switch (*p) {
            case u'\r':
                if (p + 1 == stop) {
                    if (!last)
                        return p - text;
                    add(LineEnd::Cr);
                } else if (p[1] == u'\n') {
                    add(LineEnd::CrLf);
                    ++p;
                } else {
                    add(LineEnd::Cr);
                }
                break;
            case u'\n': add(LineEnd::Lf); break;
            case 0x2029: add(LineEnd::ParagraphSeparator); break;
            case 0xFDD0: add(LineEnd::Fdd0); break;
            case 0xFDD1: add(LineEnd::Fdd1); break;
            default: break;
            }
            ++p;
        }
        return end;
    }

    void finish(DecodedTextFile &decoded) const
    {
        if (m_lines == 0)
            return;
        const auto most = std::max_element(m_counts.begin(), m_counts.end());
        const LineEnd common = LineEnd(most - m_counts.begin());
        decoded.format.lineEnd = common;
        for (size_t run = 0; run < m_runs.size(); ++run) {
            const LineEnd kind = LineEnd(m_runs[run] & 7);
            if (kind == common)
                continue;
            const qsizetype end = run + 1 < m_runs.size() ? qsizetype(m_runs[run + 1] >> 3) : m_lines;
            for (qsizetype line = qsizetype(m_runs[run] >> 3); line < end; ++line)
                decoded.otherLineEnds.emplace_back(line, kind);
        }
    }

private:
    void add(LineEnd kind)
    {
        if (int(kind) != m_runKind) {
            m_runs.push_back(quint64(m_lines) << 3 | quint64(kind));
            m_runKind = int(kind);
        }
        ++m_counts[size_t(kind)];
        ++m_lines;
    }

    std::array<qsizetype, lineEndKinds> m_counts {};
    qsizetype m_lines = 0;
    // Where each run of lines that end alike starts: the line, and in the
    // low three bits how they end.
    std::vector<quint64> m_runs;
    int m_runKind = -1;
};

// Where the bytes of a text come from: a piece at a time, and once more from
// the start when they turn out not to be in the encoding first taken.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // How many bytes there are, as far as is known before reading them.
    virtual qint64 expectedSize() const = 0;
    // The next piece, empty at the end; false when reading fails. Every
    // piece but the last is at least 4 kB long, so the first holds any
    // byte-order mark.
    virtual bool next(QByteArrayView &piece) = 0;
    virtual bool rewind() = 0;
};

// A file is read a megabyte at a time, so that its bytes and its whole text
// are never in memory together, and the text of each piece is still in the
// processor's cache when it is scanned for line ends.
constexpr qsizetype readPieceBytes = 1 << 20;

class ByteViewSource : public ByteSource
{
public:
    explicit ByteViewSource(QByteArrayView bytes) : m_bytes(bytes) {}
    qint64 expectedSize() const override { return m_bytes.size(); }
    bool next(QByteArrayView &piece) override
    {
        piece = m_bytes.sliced(m_at, std::min(readPieceBytes, m_bytes.size() - m_at));
        m_at += piece.size();
        return true;
    }
    bool rewind() override
    {
        m_at = 0;
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

class FileSource : public ByteSource
{
public:
    explicit FileSource(QFile &file)
        : m_file(file)
        , m_expectedSize(file.size())
        // A file of the system may say it is empty and still have bytes.
        , m_buffer(qsizetype(qBound<qint64>(4096, m_expectedSize + 1, readPieceBytes)), Qt::Uninitialized)
    {
    }
    qint64 expectedSize() const override { return m_expectedSize; }
    bool next(QByteArrayView &piece) override
    {
        qsizetype filled = 0;
        while (filled < m_buffer.size()) {
            const qint64 read = m_file.read(m_buffer.data() + filled, m_buffer.size() - filled);
            if (read < 0)
                return false;
            if (read == 0)
                break;
            filled += qsizetype(read);
        }
        piece = QByteArrayView(m_buffer.constData(), filled);
        return true;
    }
    bool rewind() override { return m_file.seek(0); }

private:
    QFile &m_file;
    qint64 m_expectedSize;
    QByteArray m_buffer;
};

// Decodes bytes in one encoding, piece by piece, into one string sized for
// the whole text at the start, and scans its line ends on the way.
class PieceDecoder
{
public:
    // A lenient decoder takes any bytes, putting replacement characters for
    // those that are not in the encoding.
    PieceDecoder(const TextFileFormat &format, qint64 expectedBytes, QString &text, bool lenient = false)
        : m_encoding(format.encoding)
        , m_lenient(lenient)
        , m_text(text)
    {
        // Strict: no overlong forms, no surrogates, nothing cut off at the
        // end. A second byte-order mark after the first stays in the text.
        if (m_encoding == TextEncoding::Utf8)
            m_decoder = QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        else if (m_encoding == TextEncoding::Utf32LE)
            m_decoder = QStringDecoder(QStringConverter::Utf32LE, QStringConverter::Flag::ConvertInitialBom);
        else if (m_encoding == TextEncoding::Utf32BE)
            m_decoder = QStringDecoder(QStringConverter::Utf32BE, QStringConverter::Flag::ConvertInitialBom);
        else if (m_encoding == TextEncoding::Legacy)
            m_charset = LegacyCharset::named(format.legacyName);
        if (m_charset && !m_charset->singleByte)
            m_decoder = QStringDecoder(format.legacyName.constData());
        const qsizetype bytes = qsizetype(std::max<qint64>(expectedBytes, 0));
        const qsizetype characters = m_decoder.isValid() ? m_decoder.requiredSpace(bytes) + probeSpace()
                                     : (m_encoding == TextEncoding::Utf16LE || m_encoding == TextEncoding::Utf16BE)
                                         ? bytes / 2
                                         : bytes;
        // The size exactly: growing would round it up. A second pass over the
        // same bytes keeps the memory of the first where it is large enough.
        if (m_text.capacity() >= characters) {
            m_text.resize(characters);
        } else {
            m_text = QString();
            m_text = QString(characters, Qt::Uninitialized);
        }
        m_data = reinterpret_cast<char16_t *>(m_text.data());
    }

    // False when the bytes are not in the encoding.
    bool add(QByteArrayView bytes)
    {
        if (!decode(bytes))
            return false;
        m_scanned = m_lineEnds.scan(m_data, m_scanned, m_used, false);
        return true;
    }

    bool saw(std::initializer_list<int> bytes) const
    {
        return std::any_of(bytes.begin(), bytes.end(), [this](int byte) { return m_seen[size_t(byte)]; });
    }

    // Whether the bytes read by table give the same text in table.
    bool readsTheSameIn(const std::array<char16_t, 256> &table) const
    {
        for (int byte = 0; byte < 256; ++byte) {
            if (m_seen[size_t(byte)] && m_charset && m_charset->toUnicode[size_t(byte)] != table[size_t(byte)])
                return false;
        }
        return true;
    }

    // False when the bytes end in the middle of a character.
    bool finish(DecodedTextFile &decoded)
    {
        if (m_lenient) {
        } else if (m_encoding == TextEncoding::Utf32LE || m_encoding == TextEncoding::Utf32BE) {
            if (m_bytes % 4 != 0)
                return false;
        } else if (m_decoder.isValid()) {
            // The decoder keeps a sequence that the last piece cut off for
            // the next one; a byte that can start nothing shows it.
            makeRoom(probeSpace());
            m_decoder.appendToBuffer(reinterpret_cast<QChar *>(m_data + m_used), "\n");
            if (m_decoder.hasError())
                return false;
        } else if (m_oddByte >= 0) {
            return false;
        }
        m_lineEnds.scan(m_data, m_scanned, m_used, true);
        m_text.resize(m_used);
        // Multibyte characters leave room at the end; it goes back to the
        // system without moving the text.
        m_text.squeeze();
        m_lineEnds.finish(decoded);
        return true;
    }

private:
    qsizetype probeSpace() const { return m_decoder.isValid() ? m_decoder.requiredSpace(1) : 0; }

    void makeRoom(qsizetype characters)
    {
        if (m_text.size() - m_used >= characters)
            return;
        // The file was longer than it said.
        m_text.resize(std::max(m_used + characters, m_text.size() + m_text.size() / 2));
        m_data = reinterpret_cast<char16_t *>(m_text.data());
    }

    bool decode(QByteArrayView bytes)
    {
        m_bytes += bytes.size();
        if (m_decoder.isValid()) {
            makeRoom(m_decoder.requiredSpace(bytes.size()));
            const QChar *end = m_decoder.appendToBuffer(reinterpret_cast<QChar *>(m_data + m_used), bytes);
            m_used = reinterpret_cast<const char16_t *>(end) - m_data;
            return m_lenient || !m_decoder.hasError();
        }
        switch (m_encoding) {
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            decodeUtf16(bytes, m_encoding == TextEncoding::Utf16BE);
            return true;
        case TextEncoding::Windows1252:
            makeRoom(bytes.size());
            m_used = decodeByTable(bytes, m_data + m_used, windows1252Table(), true, m_seen) - m_data;
            return true;
        case TextEncoding::Legacy:
            if (!m_charset)
                return false;
            makeRoom(bytes.size());
            m_used = decodeByTable(bytes, m_data + m_used, m_charset->toUnicode, m_charset->asciiCompatible, m_seen)
                     - m_data;
            return true;
        default:
            return false;
        }
    }

    // UTF-16 is taken code unit by code unit, unpaired surrogates included,
    // so that it goes back unchanged.
    void decodeUtf16(QByteArrayView bytes, bool bigEndian)
    {
        makeRoom(bytes.size() / 2 + 1);
        if (m_oddByte >= 0 && !bytes.isEmpty()) {
            const char pair[2] = {char(m_oddByte), bytes.front()};
            m_data[m_used++] = bigEndian ? qFromBigEndian<char16_t>(pair) : qFromLittleEndian<char16_t>(pair);
            m_oddByte = -1;
            bytes = bytes.sliced(1);
        }
        const qsizetype units = bytes.size() / 2;
        if (bigEndian)
            qFromBigEndian<char16_t>(bytes.data(), units, m_data + m_used);
        else
            qFromLittleEndian<char16_t>(bytes.data(), units, m_data + m_used);
        m_used += units;
        if (bytes.size() % 2)
            m_oddByte = static_cast<unsigned char>(bytes.back());
    }

    TextEncoding m_encoding;
    bool m_lenient = false;
    // The decoder of UTF-8, UTF-32 or a legacy set of many bytes a character.
    QStringDecoder m_decoder;
    std::shared_ptr<const LegacyCharset> m_charset;
    qint64 m_bytes = 0;
    std::array<bool, 256> m_seen {};
    QString &m_text;
    char16_t *m_data = nullptr;
    qsizetype m_used = 0;
    qsizetype m_scanned = 0;
    // A UTF-16 code unit whose second byte is in the next piece.
    int m_oddByte = -1;
    LineEndScan m_lineEnds;
};

// An encoding to try, and how many bytes of byte-order mark it skips.
struct Candidate
{
    TextFileFormat format;
    qsizetype markBytes = 0;
};

Candidate withMark(TextEncoding encoding, qsizetype markBytes)
{
    Candidate candidate;
    candidate.format.encoding = encoding;
    candidate.format.byteOrderMark = true;
    candidate.markBytes = markBytes;
    return candidate;
}

Candidate plain(TextEncoding encoding)
{
    Candidate candidate;
    candidate.format.encoding = encoding;
    return candidate;
}

// UTF-16 without a byte-order mark: in its first bytes, most bytes on one
// side of each pair are zero (those of Latin letters, digits, blanks and line
// ends), and hardly any on the other. No 8-bit text has such zeros.
bool looksLikeUtf16(QByteArrayView head, bool &bigEndian)
{
    const qsizetype pairs = std::min<qsizetype>(head.size(), 4096) / 2;
    if (pairs < 2)
        return false;
    qsizetype evenZeros = 0;
    qsizetype oddZeros = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        evenZeros += head[2 * i] == 0;
        oddZeros += head[2 * i + 1] == 0;
    }
    const auto most = [pairs](qsizetype zeros) { return zeros * 4 >= pairs * 3; };
    const auto few = [pairs](qsizetype zeros) { return zeros * 8 <= pairs; };
    bigEndian = most(evenZeros) && few(oddZeros);
    return bigEndian || (most(oddZeros) && few(evenZeros));
}

// The encodings the first bytes of a text suggest, most likely first.
std::vector<Candidate> candidatesFor(QByteArrayView head)
{
    if (head.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)))
        return {withMark(TextEncoding::Utf32LE, 4), withMark(TextEncoding::Utf16LE, 2)};
    if (head.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return {withMark(TextEncoding::Utf32BE, 4)};
    if (head.startsWith("\xEF\xBB\xBF"))
        return {withMark(TextEncoding::Utf8, 3)};
    if (head.startsWith("\xFF\xFE"))
        return {withMark(TextEncoding::Utf16LE, 2)};
    if (head.startsWith("\xFE\xFF"))
        return {withMark(TextEncoding::Utf16BE, 2)};
    bool bigEndian = false;
    if (looksLikeUtf16(head, bigEndian))
        return {plain(bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE), plain(TextEncoding::Utf8)};
    // Seven-bit Japanese: its shifts into JIS X 0208 are escapes no other
    // text has.
    if (head.contains("\x1B$B") || head.contains("\x1B$@")) {
        Candidate jis = plain(TextEncoding::Legacy);
        jis.format.legacyName = "ISO-2022-JP";
        return {jis, plain(TextEncoding::Utf8)};
    }
    return {plain(TextEncoding::Utf8)};
}

// How much a decoded text reads like writing: the share of its characters
// beyond ASCII that are letters next to a letter of their own script and to
// none of another. Wrong guesses give punctuation, controls, and letters of
// scripts mixed inside words.
double writingScore(QStringView text)
{
    const auto group = [](QChar c) {
        const QChar::Script script = c.script();
        switch (script) {
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
        case QChar::Script_Bopomofo: return int(QChar::Script_Han);
        default: return int(script);
        }
    };
    qsizetype beyondAscii = 0;
    qsizetype good = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80)
            continue;
        ++beyondAscii;
        if (!c.isLetter())
            continue;
        const int own = group(c);
        const auto neighbour = [&](qsizetype at) {
            return at < 0 || at >= text.size() || !text[at].isLetter() ? 0 : group(text[at]) == own ? 1 : -1;
        };
        const int before = neighbour(i - 1);
        const int after = neighbour(i + 1);
        good += before >= 0 && after >= 0 && before + after > 0;
    }
    return beyondAscii == 0 ? 1.0 : double(good) / double(beyondAscii);
}

// When the start of a text read in a legacy set does not read like writing,
// the set of many bytes a character in which it reads best, if it reads well
// there and much better.
std::optional<Candidate> betterWrittenCandidate(QByteArrayView head, double score)
{
    // Well, and much better than one byte a character.
    constexpr double readsWell = 0.75;
    constexpr double margin = 0.3;
    score += margin;
    std::optional<Candidate> best;
    for (const char *name : {"Shift_JIS", "EUC-JP", "EUC-KR", "GB18030", "Big5"}) {
        QStringDecoder decoder(name);
        const QString text = decoder.decode(head);
        if (decoder.hasError())
            continue;
        const double candidateScore = writingScore(text);
        if (candidateScore >= readsWell && candidateScore > score) {
            score = candidateScore;
            best = plain(TextEncoding::Legacy);
            best->format.legacyName = name;
        }
    }
    return best;
}

// What a charset detector makes of the first bytes of a text that is not
// UTF-8: a legacy character set ICU knows, or none. Windows-1252 and
// ISO-8859-1 are left to the engine's own Windows-1252, which holds both.
std::optional<Candidate> detectedCandidate(QByteArrayView head)
{
    uchardet_t detector = uchardet_new();
    uchardet_handle_data(detector, head.data(), size_t(head.size()));
    uchardet_data_end(detector);
    const QByteArray detected = QByteArray(uchardet_get_charset(detector)).toUpper();
    uchardet_delete(detector);
    if (detected.isEmpty() || detected == "ASCII" || detected.startsWith("UTF") || detected == "WINDOWS-1252"
        || detected == "ISO-8859-1")
        return std::nullopt;
    // The names people know them by, where ICU's spelling differs.
    static const QHash<QByteArray, QByteArray> spelling = {
        {"SHIFT_JIS", "Shift_JIS"}, {"BIG5", "Big5"}, {"MAC-CYRILLIC", "x-mac-cyrillic"}, {"UHC", "windows-949"}};
    QByteArray name = spelling.value(detected, detected);
    if (name.startsWith("WINDOWS-"))
        name = "windows-" + name.mid(8);
    if (!LegacyCharset::named(name))
        return std::nullopt;
    Candidate candidate = plain(TextEncoding::Legacy);
    candidate.format.legacyName = name;
    return candidate;
}

// Whether text, written in format, gives exactly the bytes source gives.
bool encodesBackTo(const QString &text, const TextFileFormat &format, ByteSource &source)
{
    if (!source.rewind())
        return false;
    QByteArrayView piece;
    bool same = true;
    EncodedTextWriter writer(
        [&](QByteArrayView bytes) {
            while (same && !bytes.isEmpty()) {
                if (piece.isEmpty() && (!source.next(piece) || piece.isEmpty())) {
                    same = false;
                    break;
                }
                const qsizetype count = std::min(piece.size(), bytes.size());
                same = bytes.first(count) == piece.first(count);
                bytes = bytes.sliced(count);
                piece = piece.sliced(count);
            }
        },
        format);
    if (format.byteOrderMark)
        writer.writeByteOrderMark();
    writer.write(text);
    writer.flush();
    return same && piece.isEmpty() && source.next(piece) && piece.isEmpty();
}

// The chosen encoding, with its byte-order mark when the text starts with it.
Candidate chosenCandidate(QByteArrayView head, const TextFileFormat &chosen)
{
    Candidate candidate;
    candidate.format = chosen;
    candidate.format.byteOrderMark = false;
    for (const Candidate &marked : candidatesFor(head)) {
        if (marked.markBytes > 0 && marked.format.encoding == chosen.encoding) {
            candidate.format.byteOrderMark = true;
            candidate.markBytes = marked.markBytes;
        }
    }
    return candidate;
}

// Decodes what source gives (see decodeTextFile), in the chosen encoding if
// there is one; false when reading fails.
bool decodeFrom(ByteSource &source, DecodedTextFile &decoded, const TextFileFormat *chosen = nullptr)
{
    QByteArrayView piece;
    if (!source.next(piece))
        return false;
    // The detector reads no more than this of the start of the text.
    constexpr qsizetype detectorBytes = 64 * 1024;
    const QByteArray head = piece.first(std::min(piece.size(), detectorBytes)).toByteArray();
    if (chosen) {
        const Candidate candidate = chosenCandidate(head, *chosen);
        PieceDecoder decoder(candidate.format, source.expectedSize() - candidate.markBytes, decoded.text, true);
        decoder.add(piece.sliced(std::min(candidate.markBytes, piece.size())));
        for (;;) {
            if (!source.next(piece))
                return false;
            if (piece.isEmpty())
                break;
            decoder.add(piece);
        }
        decoder.finish(decoded);
        const LineEnd lineEnd = decoded.format.lineEnd;
        decoded.format = candidate.format;
        decoded.format.lineEnd = lineEnd;
        return true;
    }
    std::vector<Candidate> candidates = candidatesFor(head);
    bool detected = false;
    bool triedWriting = false;
    DecodedTextFile result;
    for (size_t next = 0;; ++next) {
        if (next == candidates.size()) {
            // Bytes in none of the encodings their start suggests: a legacy
            // character set if the detector finds one, else Windows-1252,
            // which takes any byte.
            if (!std::exchange(detected, true)) {
                if (const std::optional<Candidate> legacy = detectedCandidate(head))
                    candidates.push_back(*legacy);
            }
            if (next == candidates.size())
                candidates.push_back(plain(TextEncoding::Windows1252));
        }
        const Candidate &candidate = candidates[next];
        result.format = TextFileFormat();
        result.otherLineEnds.clear();
        if (next > 0 && (!source.rewind() || !source.next(piece)))
            return false;
        PieceDecoder decoder(candidate.format, source.expectedSize() - candidate.markBytes, result.text);
        bool valid = piece.size() >= candidate.markBytes && decoder.add(piece.sliced(candidate.markBytes));
        while (valid) {
            if (!source.next(piece))
                return false;
            if (piece.isEmpty())
                break;
            valid = decoder.add(piece);
        }
        if (!valid || !decoder.finish(result))
            continue;
        const auto charset = candidate.format.encoding == TextEncoding::Legacy
                                 ? LegacyCharset::named(candidate.format.legacyName)
                                 : nullptr;
        // UTF-32 and sets of many bytes a character may read bytes they
        // cannot write back the same; the file is then read as another.
        const bool utf32 = candidate.format.encoding == TextEncoding::Utf32LE
                           || candidate.format.encoding == TextEncoding::Utf32BE;
        if ((utf32 || (charset && !charset->singleByte)) && !encodesBackTo(result.text, candidate.format, source))
            continue;
        const TextFileFormat format = candidate.format;
        // KOI8-U is KOI8-R with Ukrainian letters where KOI8-R draws boxes.
        if (format.legacyName == "KOI8-R" && decoder.saw({0xA4, 0xA6, 0xA7, 0xAD, 0xB4, 0xB6, 0xB7, 0xBD})) {
            Candidate ukrainian = candidate;
            ukrainian.format.legacyName = "KOI8-U";
            candidates.insert(candidates.begin() + qsizetype(next) + 1, ukrainian);
            continue;
        }
        // A text read in a legacy set that does not read like writing may be
        // in a set of many bytes a character: tried once, before this one.
        if ((format.encoding == TextEncoding::Windows1252 || format.encoding == TextEncoding::Legacy) && !triedWriting) {
            triedWriting = true;
            constexpr qsizetype sample = 1 << 16;
            const double score = writingScore(QStringView(result.text).first(std::min(result.text.size(), sample)));
            const std::optional<Candidate> better
                = score < 0.8 ? betterWrittenCandidate(QByteArrayView(head).first(std::min(head.size(), sample)), score)
                              : std::nullopt;
            if (better) {
                candidates.insert(candidates.begin() + qsizetype(next) + 1, {*better, candidate});
                continue;
            }
        }
        const LineEnd lineEnd = result.format.lineEnd;
        result.format = format;
        result.format.lineEnd = lineEnd;
        // Where the proposed set reads the file as Windows-1252 does (a
        // short text, letters both have), the engine's own is kept: it
        // holds more of what may be typed later.
        if (charset && charset->singleByte && decoder.readsTheSameIn(windows1252Table()))
            result.format = TextFileFormat {TextEncoding::Windows1252, false, lineEnd, {}};
        decoded = std::move(result);
        return true;
    }
}

} // namespace

bool decodesInBlocks(const TextFileFormat &format)
{
    switch (format.encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
    case TextEncoding::Windows1252: return true;
    case TextEncoding::Legacy: {
        const auto charset = LegacyCharset::named(format.legacyName);
        return charset && charset->singleByte;
    }
    default: return false;
    }
}

bool decodeBlock(QByteArrayView bytes, const TextFileFormat &format, QString &text)
{
    const auto byTable = [&](const std::array<char16_t, 256> &table, bool asciiCompatible) {
        std::array<bool, 256> seen {};
        text.resize(bytes.size());
        decodeByTable(bytes, reinterpret_cast<char16_t *>(text.data()), table, asciiCompatible, seen);
        return true;
    };
    // A character cut off at the block's end is an error, not kept for later.
    constexpr QStringConverter::Flags blockFlags
        = QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless;
    QStringDecoder decoder;
    switch (format.encoding) {
    case TextEncoding::Utf8:
        decoder = QStringDecoder(QStringConverter::Utf8, blockFlags);
        break;
    case TextEncoding::Utf16LE: decoder = QStringDecoder(QStringConverter::Utf16LE, blockFlags); break;
    case TextEncoding::Utf16BE: decoder = QStringDecoder(QStringConverter::Utf16BE, blockFlags); break;
    case TextEncoding::Windows1252: return byTable(windows1252Table(), true);
    case TextEncoding::Legacy:
        if (const auto charset = LegacyCharset::named(format.legacyName); charset && charset->singleByte)
            return byTable(charset->toUnicode, charset->asciiCompatible);
        text.clear();
        return false;
    default: text.clear(); return false;
    }
    // Into the text's own memory where it has room: a block read after
    // another takes no new memory.
    text.resize(bytes.size());
    const QChar *end = decoder.appendToBuffer(text.data(), bytes);
    text.truncate(end - text.constData());
    return !decoder.hasError();
}

DecodedTextFile decodeTextFile(QByteArrayView bytes)
{
    DecodedTextFile decoded;
    ByteViewSource source(bytes);
    decodeFrom(source, decoded);
    return decoded;
}

DecodedTextFile decodeTextFile(QByteArrayView bytes, const TextFileFormat &chosen)
{
    DecodedTextFile decoded;
    ByteViewSource source(bytes);
    decodeFrom(source, decoded, &chosen);
    return decoded;
}

namespace {

FileError readDecoded(const QString &path, DecodedTextFile &decoded, const TextFileFormat *chosen)
{
    using Kind = FileError::Kind;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        const bool folderExists = !path.isEmpty() && info.dir().exists();
        return FileError::make(folderExists ? Kind::NoFile : Kind::NoFolder, path);
    }
    if (!info.isFile())
        return FileError::make(Kind::NotAFile, path);

    QFile file(path);
    // Read straight into the piece, without Qt's buffer between.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FileError::make(info.isReadable() ? Kind::CannotOpen : Kind::NotReadable, path, file.errorString());
    try {
        FileSource source(file);
        if (!decodeFrom(source, decoded, chosen))
            return FileError::make(Kind::ReadFailed, path, file.errorString());
    } catch (const std::bad_alloc &) {
        return FileError::make(Kind::OutOfMemory, path);
    }
    return FileError::none();
}

} // namespace

FileError readTextFile(const QString &path, DecodedTextFile &decoded)
{
    return readDecoded(path, decoded, nullptr);
}

FileError readTextFile(const QString &path, DecodedTextFile &decoded, const TextFileFormat &chosen)
{
    return readDecoded(path, decoded, &chosen);
}
