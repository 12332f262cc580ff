#include "editor/lineend.h"

#include <QtAlgorithms>

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLORY_SSE2
#endif

namespace {

bool isLineEndCandidate(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

} // namespace

// Prose has a line end in about eighty characters, so eight are looked at a
// time where the processor can.
const char16_t *nextLineEndCandidate(const char16_t *p, const char16_t *end)
{
#ifdef QUILLORY_SSE2
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i paragraphSeparator = _mm_set1_epi16(short(0x2029));
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 8; p += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        // Unsigned saturating differences: zero where c <= CR, and where c >= U+2029.
        const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(c, cr), zero);
        const __m128i high = _mm_cmpeq_epi16(_mm_subs_epu16(paragraphSeparator, c), zero);
        if (const int found = _mm_movemask_epi8(_mm_or_si128(low, high)))
            return p + qCountTrailingZeroBits(quint32(found)) / 2;
    }
#endif
    for (; p != end; ++p) {
        if (*p <= u'\r' || *p >= 0x2029)
            return p;
    }
    return end;
}

bool isLineEndCharacter(QChar c)
{
    return isLineEndCandidate(c.unicode());
}

LineEnd lineEndAt(const char16_t *text, qsizetype at, qsizetype size, qsizetype &taken)
{
    taken = 1;
    switch (text[at]) {
    case u'\r':
        if (at + 1 < size && text[at + 1] == u'\n') {
            taken = 2;
            return LineEnd::CrLf;
        }
        return LineEnd::Cr;
    case u'\n': return LineEnd::Lf;
    case 0x2029: return LineEnd::ParagraphSeparator;
    case 0xFDD0: return LineEnd::Fdd0;
    default: return LineEnd::Fdd1;
    }
}

qsizetype storeLineBreaks(char16_t *text, qsizetype size, const std::function<void(LineEnd, qsizetype)> &onBreak)
{
    qsizetype out = 0;
    for (qsizetype in = 0; in < size;) {
        // Runs without a line end move as a whole, once a CR LF has made
        // the text shorter.
        const qsizetype run = nextLineEndCandidate(text + in, text + size) - (text + in);
        if (out != in)
            std::memmove(text + out, text + in, size_t(run) * sizeof(char16_t));
        out += run;
        in += run;
        if (in == size)
            break;
        if (!isLineEndCandidate(text[in])) {
            text[out++] = text[in++];
            continue;
        }
        qsizetype taken = 1;
        onBreak(lineEndAt(text, in, size, taken), out);
        text[out++] = u'\n';
        in += taken;
    }
    return out;
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
