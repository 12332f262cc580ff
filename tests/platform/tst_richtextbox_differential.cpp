#include "platform/richtextbox.h"
#include "filebytes.h"
#include "suites.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QString crLf = QStringLiteral("\r\n");

// Each of these, or CR LF together, starts a new line in the control.
bool isBreak(QChar c)
{
    return c == u'\r' || c == u'\n' || c == QChar(0x2029) || c == QChar(0xFDD0) || c == QChar(0xFDD1);
}

const QStringList letters {QStringLiteral("a"), QStringLiteral("xyz"), QStringLiteral(" "), QStringLiteral("\t"),
                           QStringLiteral("\u00DF"), QStringLiteral("\u00E9"), QStringLiteral("\u00A0"),
                           QStringLiteral("\u20AC"), QStringLiteral("\u201C")};
// Characters Windows-1252 cannot hold; none of them starts a line.
const QStringList wideLetters {QStringLiteral("\U0001F600"), QStringLiteral("\u4E16"), QStringLiteral("\u2028")};
const QStringList lineEnds {QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r"),
                            QStringLiteral("\u2029"), QStringLiteral("\uFDD0"), QStringLiteral("\uFDD1")};

// The Windows-1252 byte of a character of those letters, or -1: none.
int windows1252(QChar c)
{
    if (c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF))
        return c.unicode();
    return c == u'\u20AC' ? 0x80 : c == u'\u201C' ? 0x93 : -1;
}

enum class Encoding { Utf8, Utf8WithBom, Utf16LE, Utf16BE, Windows1252 };

// Text as the control shows it, and the line end each of its breaks has in
// the file, in order.
struct Content
{
    QString text;
    QStringList lineEnds;
};

// The control as a plain string.
struct Model
{
    Content now;
    // What EM_UNDO brings back: the text before the last change, or after it
    // once that change is undone.
    Content other;
    bool canUndo = false;
    // Change events so far.
    int changes = 0;
    Encoding encoding = Encoding::Utf8;
    QString newLineEnd = lineEndText(platformLineEnd()).toString();
    qsizetype selStart = 0;
    qsizetype selLength = 0;

    bool insidePair(qsizetype at) const { return at > 0 && at < now.text.size() && now.text[at - 1].isHighSurrogate(); }
    bool insideCrLf(qsizetype at) const { return at > 0 && at < now.text.size() && now.text[at - 1] == u'\r'; }

    void setSelStart(qsizetype start)
    {
        selStart = qMin(start, now.text.size());
        selStart -= insideCrLf(selStart) ? 1 : 0;
        selLength = 0;
    }

    void setSelLength(qsizetype length)
    {
        qsizetype end = qMin(selStart + length, now.text.size());
        end += insideCrLf(end) ? 1 : 0;
        selLength = end - selStart;
    }

    void setSelText(const QString &inserted)
    {
        QString shown;
        QStringList newEnds;
        for (qsizetype at = 0; at < inserted.size(); ++at) {
            if (!isBreak(inserted[at])) {
                shown += inserted[at];
                continue;
            }
            if (inserted[at] == u'\r' && at + 1 < inserted.size() && inserted[at + 1] == u'\n')
                ++at;
            shown += crLf;
            newEnds += newLineEnd;
        }
        other = now;
        canUndo = true;
        ++changes;
        const qsizetype breaksBefore = QStringView(now.text).first(selStart).count(crLf);
        const qsizetype breaksRemoved = QStringView(now.text).sliced(selStart, selLength).count(crLf);
        now.lineEnds = now.lineEnds.first(breaksBefore) + newEnds + now.lineEnds.sliced(breaksBefore + breaksRemoved);
        now.text.replace(selStart, selLength, shown);
        selStart += shown.size();
        selLength = 0;
    }

    // The bytes SaveFile writes.
    QByteArray file()
    {
        const QStringList lines = now.text.split(crLf);
        QString text = lines.first();
        for (qsizetype line = 1; line < lines.size(); ++line)
            text += now.lineEnds.at(line - 1) + lines.at(line);
        if (encoding == Encoding::Windows1252) {
            QByteArray bytes;
            for (qsizetype at = 0; at < text.size() && windows1252(text[at]) >= 0; ++at)
                bytes += char(windows1252(text[at]));
            if (bytes.size() == text.size())
                return bytes;
            // A character it cannot hold: the file is UTF-8 from then on.
            encoding = Encoding::Utf8;
        }
        if (encoding == Encoding::Utf8 || encoding == Encoding::Utf8WithBom)
            return (encoding == Encoding::Utf8WithBom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
        return utf16(text, encoding == Encoding::Utf16BE);
    }
};

class Run
{
public:
    Run(quint32 seed, const QString &path) : m_random(seed), m_path(path) { }

    qsizetype below(qsizetype end) { return qsizetype(m_random.bounded(quint64(end))); }
    const QString &any(const QStringList &list) { return list.at(below(list.size())); }

    // A file of several lines with every line end its encoding can hold,
    // one of them the most common; the model knows what it holds.
    void loadFile(RichTextBox &box)
    {
        m.encoding = Encoding(below(5));
        const bool eightBit = m.encoding == Encoding::Windows1252;
        const QStringList ends = eightBit ? lineEnds.first(3) : lineEnds;
        const QStringList pieces = eightBit ? letters : letters + wideLetters;
        m.newLineEnd = any(ends);
        // A byte no UTF-8 file has, so that the file reads as 8-bit.
        m.now.text = eightBit ? QStringLiteral("\u00E9a") : QString();
        const qsizetype lines = 2 + below(30);
        for (qsizetype line = 0; line < lines; ++line) {
            if (line > 0) {
                m.now.lineEnds += below(3) > 0 ? m.newLineEnd : any(ends);
                m.now.text += crLf;
            }
            // No line is empty but the last, so no line end can read as another.
            for (qsizetype n = line + 1 < lines ? 1 + below(8) : below(3); n > 0; --n)
                m.now.text += any(pieces);
        }
        while (std::ranges::any_of(ends, [&](const QString &end) {
            return end != m.newLineEnd && m.now.lineEnds.count(end) >= m.now.lineEnds.count(m.newLineEnd);
        }))
            m.now.lineEnds[below(m.now.lineEnds.size())] = m.newLineEnd;
        QVERIFY(writeBytes(m_path, m.file()));
        QVERIFY(box.LoadFile(m_path).ok());
    }

    // Compares the control with the model after every step, and Text every
    // so often: it copies the whole text.
    void compare(RichTextBox &box, const QSignalSpy &changes)
    {
        QCOMPARE(changes.count(), m.changes);
        QCOMPARE(box.textLength(), m.now.text.size());
        QCOMPARE(box.SelStart(), m.selStart);
        QCOMPARE(box.SelLength(), m.selLength);
        QCOMPARE(box.SelText(), m.now.text.mid(m.selStart, m.selLength));
        QCOMPARE(SendMessageA(box.hwnd(), EM_CANUNDO) != 0, m.canUndo);
        if (stepsDone % 64 == 0)
            QCOMPARE(box.Text(), m.now.text);
    }

    // Any position, beyond the end and inside a CR LF too, but not between
    // the halves of a surrogate pair; a negative one is refused.
    void select(RichTextBox &box)
    {
        if (below(50) == 0) {
            QCOMPARE(box.setSelStart(-1 - below(3)).number, ErrorNumber::InvalidPropertyValue);
            QCOMPARE(box.setSelLength(-1).number, ErrorNumber::InvalidPropertyValue);
            return;
        }
        qsizetype start = below(m.now.text.size() + 3);
        start -= m.insidePair(start) ? 1 : 0;
        QVERIFY(box.setSelStart(start).ok());
        m.setSelStart(start);
        const qsizetype chance = below(20);
        qsizetype length = chance < 12 ? below(8) : chance < 19 ? below(200) : below(m.now.text.size() + 10);
        length += m.insidePair(m.selStart + length) ? 1 : 0;
        QVERIFY(box.setSelLength(length).ok());
        m.setSelLength(length);
    }

    void edit(RichTextBox &box)
    {
        QString inserted;
        for (qsizetype n = below(5); n > 0; --n) {
            const qsizetype kind = below(100);
            inserted += kind == 0 ? QString(1000 + below(7000), u'w') : any(kind < 45 ? letters : kind < 60 ? wideLetters : lineEnds);
        }
        // Replacing nothing by nothing is no change to undo.
        if (inserted.isEmpty() && m.selLength == 0)
            inserted = QStringLiteral("q");
        box.setSelText(inserted);
        m.setSelText(inserted);
    }

    void undo(RichTextBox &box)
    {
        QCOMPARE(SendMessageA(box.hwnd(), EM_UNDO) != 0, m.canUndo);
        if (m.canUndo) {
            std::swap(m.now, m.other);
            ++m.changes;
        }
        // Where undo leaves the selection is the control's own affair.
        QVERIFY(box.setSelStart(0).ok());
        m.setSelStart(0);
    }

    void save(RichTextBox &box)
    {
        // As a user agrees to UTF-8 for a character the 8-bit code lacks.
        const SaveEncoding encoding = box.fitsFileEncoding() ? SaveEncoding::Own : SaveEncoding::Utf8;
        QVERIFY(box.SaveFiles({m_path}, RichTextFileType::Text, false, encoding).constFirst().ok());
        QCOMPARE(readBytes(m_path), m.file());
    }

    // Random steps on a new document, or a file loaded over the last run's
    // text, which takes its place and leaves nothing to undo.
    void run(qint64 steps)
    {
        m = Model();
        const bool load = m_box && below(3) > 0;
        if (!load)
            m_box = std::make_unique<RichTextBox>();
        RichTextBox &box = *m_box;
        QSignalSpy changes(&box, &RichTextBox::Change);
        if (load) {
            loadFile(box);
            QVERIFY(changes.count() >= 1);
            changes.clear();
            QCOMPARE(SendMessageA(box.hwnd(), EM_CANUNDO), 0);
            QVERIFY(box.setSelStart(0).ok());
            QCOMPARE(box.Text(), m.now.text);
            save(box);
        }
        for (qint64 step = 0; step < steps && !QTest::currentTestFailed(); ++step) {
            ++stepsDone;
            const qsizetype what = below(100);
            if (what < 35)
                select(box);
            else if (what < 85)
                edit(box);
            else if (what < 95)
                undo(box);
            else if (what < 97) {
                SendMessageA(box.hwnd(), EM_EMPTYUNDOBUFFER);
                m.canUndo = false;
            } else
                save(box);
            if (!QTest::currentTestFailed())
                compare(box, changes);
        }
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(box.Text(), m.now.text);
        save(box);
    }

    // Steps of all runs so far.
    qint64 stepsDone = 0;

private:
    QRandomGenerator m_random;
    QString m_path;
    Model m;
    std::unique_ptr<RichTextBox> m_box;
};

} // namespace

class RichTextBoxDifferential : public QObject
{
    Q_OBJECT

private slots:
    // QUILLORY_DIFF_STEPS runs more steps, QUILLORY_DIFF_SEED repeats a run.
    void randomEditsSelectionsUndoAndSavesAgreeWithAPlainString()
    {
        const quint32 seed = qEnvironmentVariableIsSet("QUILLORY_DIFF_SEED") ? qgetenv("QUILLORY_DIFF_SEED").toUInt()
                                                                              : QRandomGenerator::global()->generate();
        const qint64 steps = qEnvironmentVariableIsSet("QUILLORY_DIFF_STEPS") ? qgetenv("QUILLORY_DIFF_STEPS").toLongLong() : 5000;
        qInfo("QUILLORY_DIFF_SEED=%u", seed);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        Run random(seed, folder.filePath(QStringLiteral("file.txt")));
        const auto report = qScopeGuard([&] {
            if (QTest::currentTestFailed())
                qWarning("QUILLORY_DIFF_SEED=%u, failed at step %lld", seed, random.stepsDone);
        });
        while (random.stepsDone < steps && !QTest::currentTestFailed())
            random.run(qMin(steps - random.stepsDone, 200 + qint64(random.below(1300))));
    }
};

QUILLORY_SUITE(RichTextBoxDifferential)
#include "tst_richtextbox_differential.moc"
