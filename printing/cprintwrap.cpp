#include "printing/cprintwrap.h"

#include "platform/printsurface.h"
#include "platform/screen.h"
#include "editor/charsets.h"

#include <QDate>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// Space, tab, line ends and every other control character end a word.
bool isSeparator(QChar c)
{
    return c.unicode() <= 32;
}

// The length of the code point at at: 2 for a whole surrogate pair, else 1.
qsizetype codePointLength(const QString &word, qsizetype at)
{
    return word.at(at).isHighSurrogate() && at + 1 < word.size() && word.at(at + 1).isLowSurrogate() ? 2 : 1;
}

// How many characters from at a long word may not be broken between. A
// character of the upper half of the 8-bit code page (Windows-1252) keeps the
// character after it on its line, and a surrogate pair is never split.
qsizetype unitLength(const QString &word, qsizetype at)
{
    const QChar c = word.at(at);
    if (c.unicode() < 0x80 || at + 1 >= word.size())
        return 1;
    if (c.isHighSurrogate())
        return codePointLength(word, at);
    if (!canEncode(QStringView(&c, 1), TextEncoding::Windows1252))
        return 1;
    return 1 + codePointLength(word, at + 1);
}

// Reaching the page after the last one wanted ends the walk through the
// text as a failure would, without being one.
constexpr int lastPageDone = -1;

Error lastPageReached()
{
    return Error{lastPageDone, QString()};
}

// Lays pages out as the printer would print them, measuring with it, and
// draws nothing.
class LayoutSurface : public PrintSurface
{
public:
    explicit LayoutSurface(const PrintSurface &measure) : m_measure(measure) { }

    double CurrentX() const override { return m_x; }
    void setCurrentX(double x) override { m_x = x; }
    double CurrentY() const override { return m_y; }
    void setCurrentY(double y) override { m_y = y; }
    double ScaleWidth() const override { return m_measure.ScaleWidth(); }
    double ScaleHeight() const override { return m_measure.ScaleHeight(); }
    double TextWidth(const QString &text) const override { return m_measure.TextWidth(text); }
    double TextHeight(const QString &text) const override { return m_measure.TextHeight(text); }
    Error Print(const QString &text) override
    {
        m_x += TextWidth(text);
        return Error::none();
    }
    Error EndLine() override
    {
        m_x = 0;
        m_y += TextHeight(QString());
        return Error::none();
    }
    Error NewPage() override
    {
        m_x = m_y = 0;
        ++m_page;
        return Error::none();
    }
    Error EndDoc() override { return Error::none(); }
    void AbortDoc() override { }
    qint64 Page() const override { return m_page; }

private:
    const PrintSurface &m_measure;
    double m_x = 0;
    double m_y = 0;
    qint64 m_page = 1;
};

} // namespace

CPrintWrap::CPrintWrap(PrintSurface &printer) : m_printer(printer), m_out(&printer) { }

void CPrintWrap::setPageRange(qint64 first, qint64 last)
{
    m_FirstPage = first;
    m_LastPage = last;
}

PrintedText::PrintedText(qsizetype size, std::function<QString(qsizetype from, qsizetype count)> reader,
                         qsizetype windowChars)
    : m_size(size), m_reader(std::move(reader)), m_windowChars(std::max<qsizetype>(1, windowChars))
{
}

void PrintedText::load(qsizetype from) const
{
    m_window = m_reader(from, std::min(m_windowChars, m_size - from));
    m_windowStart = from;
}

QString PrintedText::mid(qsizetype from, qsizetype count) const
{
    if (from >= m_windowStart && from + count <= m_windowStart + m_window.size())
        return m_window.mid(from - m_windowStart, count);
    if (count > m_windowChars)
        return m_reader(from, count);
    load(from);
    return m_window.left(count);
}

Error CPrintWrap::PrintText(const PrintedText &text)
{
    Screen::setMousePointer(MousePointer::Hourglass);
    m_pagesPrinted = 0;
    PageStart start;
    bool inRange = true;
    if (m_FirstPage > 1) {
        inRange = false;
        LayOut(text, start, [&](const PageStart &page) {
            if (page.page < m_FirstPage)
                return true;
            start = page;
            inRange = true;
            return false;
        });
    }
    Error error;
    if (inRange)
        error = PrintPages(text, start, m_LastPage);
    Screen::setMousePointer(MousePointer::Default);
    return error;
}

Error CPrintWrap::PrintPages(const PrintedText &text, const PageStart &start, qint64 last)
{
    Screen::setMousePointer(MousePointer::Hourglass);
    m_out = &m_printer;
    m_lastWanted = last;
    m_pageBegun = nullptr;
    ErrorTrap trap(ErrorTrap::Mode::StopAtFirstFailure);
    trap.run([&] {
        Error error = printJob(text, start);
        return error.number == lastPageDone ? m_printer.EndDoc() : error;
    });
    m_pagesPrinted = m_page - start.page + 1;
    // Nothing half printed may be left waiting at the printer.
    if (trap.failed()) {
        m_printer.AbortDoc();
        m_pagesPrinted = 0;
    }
    Screen::setMousePointer(MousePointer::Default);
    return trap.firstError();
}

qint64 CPrintWrap::LayOut(const PrintedText &text, const PageStart &start,
                          const std::function<bool(const PageStart &)> &pageBegun)
{
    LayoutSurface layout(m_printer);
    m_out = &layout;
    m_lastWanted = 0;
    m_pageBegun = pageBegun;
    (void)printJob(text, start);
    m_out = &m_printer;
    m_pageBegun = nullptr;
    return m_page;
}

Error CPrintWrap::printJob(const PrintedText &text, const PageStart &start)
{
    m_unitWidths.clear();
    m_page = start.page;
    // The first page is not ejected first.
    if (Error error = StartPage(false); error.failed())
        return error;
    // Blanks and line ends after the last visible character print nothing,
    // and would only begin a page that holds nothing but header and footer.
    qsizetype length = text.size();
    while (length > 0 && isSeparator(text.at(length - 1)))
        --length;
    qsizetype i = start.position;
    bool inLongWord = start.inLongWord;
    while (i < length) {
        const qsizetype wordStart = i;
        while (i < length && !isSeparator(text.at(i)))
            ++i;
        const QString word = text.mid(wordStart, i - wordStart);
        if (Error error = inLongWord ? breakLongWord(word, wordStart) : printWord(word, wordStart); error.failed())
            return error;
        inLongWord = false;
        // Spaces are never measured: they may run past the right limit, and a
        // wrapped line never starts with them. CR prints nothing, so CR LF
        // ends one line.
        for (; i < length && isSeparator(text.at(i)); ++i) {
            Error error;
            switch (text.at(i).unicode()) {
            case u' ': error = m_out->Print(QStringLiteral(" ")); break;
            case u'\n':
                m_resume = {0, i + 1, false};
                error = endLine();
                break;
            case u'\t': moveToNextTabStop(); break;
            default: break;
            }
            if (error.failed())
                return error;
        }
    }
    return m_out->EndDoc();
}

// at is where the word stands in the text.
Error CPrintWrap::printWord(const QString &word, qsizetype at)
{
    if (word.isEmpty())
        return Error::none();
    const float right = rightLimit();
    const float width = float(m_out->TextWidth(word));
    if (width + float(m_out->CurrentX()) > right) {
        m_resume = {0, at, false};
        if (width + m_MarginLeft <= right) {
            if (Error error = endLine(); error.failed())
                return error;
        } else {
            // Wider than a whole line: it is broken from the left margin, on
            // a line of its own rather than over text already printed.
            if (m_lineHoldsText) {
                if (Error error = endLine(); error.failed())
                    return error;
            } else {
                m_out->setCurrentX(m_MarginLeft);
            }
            return breakLongWord(word, at);
        }
    }
    m_lineHoldsText = true;
    return m_out->Print(word);
}

// Cuts line-sized pieces off the front of the word, each filling its line up
// to the right limit without passing it, until the rest fits; the rest stays
// on its line and the text goes on after it. A piece is measured as the sum
// of its units' widths, so a long word costs time in proportion to its
// length. A line always takes at least one unit, so that margins leaving no
// room for one still print everything.
Error CPrintWrap::breakLongWord(const QString &word, qsizetype at)
{
    const qsizetype length = word.size();
    qsizetype from = 0;
    for (;;) {
        const float x = float(m_out->CurrentX());
        const float right = rightLimit();
        double width = 0;
        qsizetype end = from;
        qsizetype lastUnit = from;
        do {
            lastUnit = end;
            const qsizetype unit = unitLength(word, end);
            width += unitWidth(word, end, unit);
            end += unit;
        } while (end < length && float(width) + x < right);

        const bool overshoots = float(width) + x > right;
        if (end == length && (!overshoots || lastUnit == from)) {
            m_lineHoldsText = true;
            return m_out->Print(word.mid(from));
        }
        if (overshoots && lastUnit > from)
            end = lastUnit;
        if (Error error = m_out->Print(word.mid(from, end - from)); error.failed())
            return error;
        m_resume = {0, at + end, true};
        if (Error error = endLine(); error.failed())
            return error;
        from = end;
    }
}

Error CPrintWrap::endLine()
{
    if (Error error = m_out->EndLine(); error.failed())
        return error;
    return lineEndCheck();
}

// A page is full only once a line end has gone below the bottom limit.
Error CPrintWrap::lineEndCheck()
{
    m_lineHoldsText = false;
    if (float(m_out->CurrentY()) > bottomLimit())
        return StartPage(true);
    m_out->setCurrentX(m_MarginLeft);
    return Error::none();
}

// Tab stops lie every ten widths of "0" from 720 twips, whatever the left
// margin. A tab always advances, and a position less than half a digit before
// a stop counts as on it. It never wraps: the next word does.
void CPrintWrap::moveToNextTabStop()
{
    const float w = float(unitWidth(QStringLiteral("0"), 0, 1));
    if (!(w > 0))
        return;
    // Rounded to the nearest, halves to the even one.
    const qint64 k = qint64(std::nearbyint((float(m_out->CurrentX()) - 720) / w));
    const qint64 n = 10 - k % 10 + k;
    m_out->setCurrentX(w * float(n) + 720);
}

// Header and footer come first on every page, in the body's font.
Error CPrintWrap::StartPage(bool bNewPage)
{
    if (bNewPage) {
        const PageStart next{m_page + 1, m_resume.position, m_resume.inLongWord};
        if (m_pageBegun && !m_pageBegun(next))
            return lastPageReached();
        if (m_lastWanted > 0 && next.page > m_lastWanted)
            return lastPageReached();
        if (Error error = m_out->NewPage(); error.failed())
            return error;
        m_page = next.page;
    }
    const float width = float(m_out->ScaleWidth());
    const float height = float(m_out->ScaleHeight());

    // Centred on the whole printable width, and within the top margin.
    m_out->setCurrentY((m_MarginTop - float(m_out->TextHeight(m_HeaderText))) / 2);
    m_out->setCurrentX((width - float(m_out->TextWidth(m_HeaderText))) / 2);
    if (Error error = m_out->Print(m_HeaderText); error.failed())
        return error;

    // The footer's top lies halfway into the bottom margin.
    const float footerY = height - m_MarginBottom / 2;
    m_out->setCurrentX(m_MarginLeft);
    m_out->setCurrentY(footerY);
    if (Error error = m_out->Print(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        error.failed())
        return error;

    // Its right end on the right limit.
    const QString label = QStringLiteral("Page ") + QString::number(m_page);
    m_out->setCurrentX(width - (float(m_out->TextWidth(label)) + m_MarginRight));
    m_out->setCurrentY(footerY);
    if (Error error = m_out->Print(label); error.failed())
        return error;

    m_out->setCurrentX(m_MarginLeft);
    m_out->setCurrentY(m_MarginTop);
    m_lineHoldsText = false;
    return Error::none();
}

float CPrintWrap::rightLimit() const
{
    return float(m_out->ScaleWidth()) - m_MarginRight;
}

float CPrintWrap::bottomLimit() const
{
    return float(m_out->ScaleHeight()) - m_MarginBottom;
}

double CPrintWrap::unitWidth(const QString &word, qsizetype at, qsizetype length)
{
    // A unit is at most three UTF-16 characters; none is 0, a separator.
    quint64 key = 0;
    for (qsizetype c = at; c < at + length; ++c)
        key = key << 16 | word.at(c).unicode();
    const auto found = m_unitWidths.constFind(key);
    if (found != m_unitWidths.constEnd())
        return *found;
    const double width = m_out->TextWidth(word.mid(at, length));
    m_unitWidths.insert(key, width);
    return width;
}
