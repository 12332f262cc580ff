// Times the print engine alone, on a surface that only counts what it is
// given, and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// A 5 MB single line without blanks, one long word broken into pieces, is
// set against 1 MB of prose per byte: breaking long words must cost time in
// proportion to their length. The time the printer itself takes is not in
// these figures.
//
// Usage: bench_printengine [--quick]
//   --quick  one run a figure: a smoke run.

#include "benchsupport.h"
#include "platform/printsurface.h"
#include "printing/cprintwrap.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

namespace {

// Additive widths, different for different characters, as a proportional
// font has them; every line 240 high on a letter-sized page.
class CountingSurface : public PrintSurface
{
public:
    qint64 texts = 0;
    qint64 characters = 0;
    qint64 lines = 0;
    qint64 pages = 1;

    double CurrentX() const override { return m_x; }
    void setCurrentX(double x) override { m_x = x; }
    double CurrentY() const override { return m_y; }
    void setCurrentY(double y) override { m_y = y; }
    double ScaleWidth() const override { return 12240; }
    double ScaleHeight() const override { return 15840; }
    double TextWidth(const QString &text) const override
    {
        double width = 0;
        for (const QChar c : text)
            width += 60 + c.unicode() % 7 * 10;
        return width;
    }
    double TextHeight(const QString &) const override { return 240; }
    Error Print(const QString &text) override
    {
        ++texts;
        characters += text.size();
        m_x += TextWidth(text);
        return Error::none();
    }
    Error EndLine() override
    {
        ++lines;
        m_x = 0;
        m_y += 240;
        return Error::none();
    }
    Error NewPage() override
    {
        ++m_page;
        ++pages;
        return Error::none();
    }
    Error EndDoc() override
    {
        m_page = 1;
        return Error::none();
    }
    void AbortDoc() override { m_page = 1; }
    qint64 Page() const override { return m_page; }

private:
    double m_x = 0;
    double m_y = 0;
    qint64 m_page = 1;
};

// The median time of printing text, in ms per MB of its UTF-8 bytes.
double msPerMB(const QString &name, const QString &text, qsizetype bytes, int runs)
{
    std::vector<double> times;
    qint64 pages = 0;
    for (int run = 0; run < runs; ++run) {
        CountingSurface surface;
        CPrintWrap engine(surface);
        times.push_back(elapsedMs([&] {
            if (engine.PrintText(text).failed())
                qFatal("printing failed");
        }));
        pages = surface.pages;
        if (surface.characters < text.size() / 2)
            qFatal("%s: the text was not printed", qPrintable(name));
    }
    const double perMB = median(times) / (double(bytes) / MB);
    std::printf("%s: %lld pages, %.0f ms\n", qPrintable(name), static_cast<long long>(pages), median(times));
    return perMB;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int runs = quick ? 1 : 5;

    const QByteArray prose = generateProse(MB, true);
    // The same words run together into one 5 MB line without a blank.
    QByteArray line = generateProse(6 * MB, false);
    line.replace(' ', QByteArray());
    line.truncate(5 * MB);

    const double proseMs = msPerMB(QStringLiteral("1 MB prose"), QString::fromUtf8(prose), prose.size(), runs);
    const double lineMs = msPerMB(QStringLiteral("5 MB single line"), QString::fromUtf8(line), line.size(), runs);
    printFigure(QStringLiteral("print engine, 1 MB prose"), proseMs, QStringLiteral("ms per MB"), proseMs,
                QStringLiteral("itself"), QStringLiteral("baseline"));
    printFigure(QStringLiteral("print engine, 5 MB single line without blanks"), lineMs, QStringLiteral("ms per MB"),
                proseMs, QStringLiteral("1 MB prose per MB"), QStringLiteral("ratio at most 3"));
    return 0;
}
