#include "editor/filetext.h"
#include "editor/textstore.h"
#include "suites.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What the store should hold: its characters with each break as one '\n',
// and the line end of each break in order.
struct Model
{
    QString text;
    std::vector<LineEnd> lineEnds;

    qsizetype breaksBefore(qsizetype position) const { return QStringView(text).first(position).count(u'\n'); }

    // Replaces [position, position + removed) by stored, each break in it
    // taking lineEnd.
    void replace(qsizetype position, qsizetype removed, const QString &stored, LineEnd lineEnd)
    {
        const auto first = lineEnds.begin() + breaksBefore(position);
        const auto last = lineEnds.begin() + breaksBefore(position + removed);
        lineEnds.insert(lineEnds.erase(first, last), size_t(stored.count(u'\n')), lineEnd);
        text.replace(position, removed, stored);
    }

    // The text as a file has it.
    QString written() const
    {
        QString out;
        size_t next = 0;
        for (const QChar c : text)
            out += c == u'\n' ? lineEndText(lineEnds[next++]).toString() : QString(c);
        return out;
    }
};

// Letters, characters of two and three bytes in UTF-8 and beyond the basic
// plane, and line ends a file mixes; CR then LF make one break.
QString randomText(QRandomGenerator &random, int pieces)
{
    static const QStringList kinds {"a", "bc", " ", "\u00e9", "\u20ac", "\U0001F600", "\r\n", "\n", "\r", "\u2029"};
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += kinds.at(random.bounded(int(kinds.size())));
    return text;
}

Model modelOf(const QString &written)
{
    Model model;
    for (qsizetype at = 0; at < written.size(); ++at) {
        const QChar c = written[at];
        if (c != u'\r' && c != u'\n' && c != QChar::ParagraphSeparator) {
            model.text += c;
            continue;
        }
        const bool crLf = c == u'\r' && at + 1 < written.size() && written[at + 1] == u'\n';
        if (crLf)
            model.lineEnds.push_back(LineEnd::CrLf);
        else
            model.lineEnds.push_back(c == u'\r' ? LineEnd::Cr : c == u'\n' ? LineEnd::Lf : LineEnd::ParagraphSeparator);
        model.text += u'\n';
        at += crLf ? 1 : 0;
    }
    return model;
}

QString readAll(const std::function<bool(const std::function<void(QStringView)> &,
                                         const std::function<void(LineEnd)> &)> &read)
{
    QString out;
    if (!read([&](QStringView run) { out += run; }, [&](LineEnd lineEnd) { out += lineEndText(lineEnd); }))
        return QStringLiteral("(not read)");
    return out;
}

} // namespace

class TextStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void aStoreEditedAtRandomHoldsWhatAPlainStringHolds_data()
    {
        QTest::addColumn<bool>("keptInFile");
        QTest::newRow("in memory") << false;
        QTest::newRow("kept in its file, blocks of 16 bytes") << true;
    }

    // Typing and key deletions that join, undo and undo of undo, Replace All,
    // inserts with mixed line ends and deletions across breaks: after each
    // step the text, its lines and their line ends are the model's, and so
    // is what a snapshot reads.
    void aStoreEditedAtRandomHoldsWhatAPlainStringHolds()
    {
        QFETCH(bool, keptInFile);
        QRandomGenerator random(27);
        const QString initial = randomText(random, 120);
        Model model = modelOf(initial);
        TextStore store;
        QTemporaryDir folder;
        if (keptInFile) {
            QFile file(folder.filePath(QStringLiteral("text")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(initial.toUtf8());
            file.close();
            FileError error;
            const std::shared_ptr<FileText> text
                = FileText::open(file.fileName(), formatOf(TextEncoding::Utf8), error, 16);
            QVERIFY(text);
            text->waitForIndex();
            store.load(text);
            QVERIFY(store.file());
        } else {
            store.load(QString(initial));
        }

        // The text before the step undo takes back, where the step starts
        // and how long it is now; whether the next edit may join it.
        Model beforeStep = model;
        qsizetype stepStart = 0;
        qsizetype stepLength = 0;
        TextStore::EditKind stepKind = TextStore::EditKind::Separate;
        bool joinable = false;
        const std::array<LineEnd, 3> newLineEnds {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr};

        for (int step = 0; step < 3000; ++step) {
            const qsizetype length = model.text.size();
            const int what = random.bounded(100);
            const LineEnd newLineEnd = newLineEnds[size_t(random.bounded(3))];
            const TextSnapshot before = store.snapshot();
            const QString beforeWritten = model.written();
            QString doing;
            if (what < 10 && store.canUndo()) {
                doing = QStringLiteral("undo");
                qsizetype position = -1;
                qsizetype putBack = -1;
                QVERIFY(store.undo(&position, &putBack));
                const qsizetype nowLength = stepLength + beforeStep.text.size() - model.text.size();
                std::swap(model, beforeStep);
                QCOMPARE(position, stepStart);
                QCOMPARE(putBack, nowLength);
                stepLength = nowLength;
                joinable = false;
            } else if (what < 15 && length > 0) {
                doing = QStringLiteral("replaceEach");
                std::vector<TextStore::Replacement> replacements;
                for (qsizetype at = random.bounded(length / 4 + 1); at < length;) {
                    const qsizetype removed = std::min<qsizetype>(random.bounded(4), length - at);
                    replacements.push_back({at, removed, modelOf(randomText(random, random.bounded(3))).text});
                    at += removed + random.bounded(12);
                }
                if (replacements.empty())
                    continue;
                beforeStep = model;
                qsizetype shift = 0;
                for (const TextStore::Replacement &r : replacements) {
                    model.replace(r.position + shift, r.removed, r.text, newLineEnd);
                    shift += r.text.size() - r.removed;
                }
                store.replaceEach(replacements, newLineEnd);
                stepStart = replacements.front().position;
                stepLength = replacements.back().position + replacements.back().removed + shift - stepStart;
                joinable = false;
            } else {
                // Typing or deleting where the step before left off, now and
                // then, so that they join.
                TextStore::EditKind kind = TextStore::EditKind::Separate;
                qsizetype position = random.bounded(length + 1);
                qsizetype removed
                    = std::min<qsizetype>(random.bounded(what >= 97 ? 60 : length > 300 ? 12 : 4), length - position);
                QString inserted = randomText(random, random.bounded(length < 150 ? 8 : length > 300 ? 2 : 4));
                if (what < 40) {
                    kind = TextStore::EditKind::Typing;
                    if (joinable && stepKind == kind && random.bounded(2))
                        position = stepStart + stepLength;
                    removed = 0;
                } else if (what < 65) {
                    kind = TextStore::EditKind::Deleting;
                    if (joinable && stepKind == kind && random.bounded(2))
                        position = std::max<qsizetype>(0, stepStart - random.bounded(2));
                    removed = std::min<qsizetype>(1 + random.bounded(2), length - position);
                    inserted.clear();
                }
                const QString stored = modelOf(inserted).text;
                if (removed == 0 && stored.isEmpty())
                    continue;
                doing = QStringLiteral("replace(%1, %2, \"%3\")").arg(position).arg(removed).arg(stored);
                const bool typingOn = kind == TextStore::EditKind::Typing && position == stepStart + stepLength;
                const bool deletingOn = kind == TextStore::EditKind::Deleting && stepLength == 0
                                        && (position + removed == stepStart || position == stepStart);
                if (joinable && stepKind == kind && (typingOn || deletingOn)) {
                    stepLength += stored.size();
                    stepStart = std::min(stepStart, position);
                } else {
                    beforeStep = model;
                    stepStart = position;
                    stepLength = stored.size();
                    stepKind = kind;
                    joinable = kind != TextStore::EditKind::Separate;
                }
                model.replace(position, removed, stored, newLineEnd);
                store.replace(position, removed, inserted, newLineEnd, kind);
            }

            // A snapshot taken before the step reads the text before it, or
            // says it can no longer be read.
            const QString old = readAll([&](const auto &onText, const auto &onBreak) { return before.read(onText, onBreak); });
            if (old != QStringLiteral("(not read)"))
                QCOMPARE(old, beforeWritten);
            doing = QStringLiteral("step %1: %2").arg(step).arg(doing);
            QVERIFY2(store.text(0, store.length()) == model.text, qPrintable(doing));
            QCOMPARE(store.length(), model.text.size());
            QCOMPARE(store.lineCount(), qsizetype(model.lineEnds.size()) + 1);
            qsizetype start = 0;
            for (qsizetype line = 0; line < store.lineCount(); ++line) {
                const qsizetype end = line + 1 < store.lineCount() ? model.text.indexOf(u'\n', start) : model.text.size();
                QCOMPARE(store.lineStart(line), start);
                QCOMPARE(store.lineAt(start), line);
                QCOMPARE(store.lineAt(end), line);
                if (line + 1 < store.lineCount())
                    QVERIFY2(store.lineEnd(line) == model.lineEnds[size_t(line)], qPrintable(doing));
                start = end + 1;
            }
            const qsizetype from = random.bounded(model.text.size() + 1);
            const qsizetype to = std::min(model.text.size(), from + random.bounded(40));
            QCOMPARE(store.contiguous(from, to).toString(), model.text.mid(from, to - from));
            QCOMPARE(readAll([&](const auto &onText, const auto &onBreak) { return store.snapshot().read(onText, onBreak); }),
                     model.written());
            QCOMPARE(readAll([&](const auto &onText, const auto &onBreak) { return store.readRuns(onText, onBreak); }),
                     model.written());
        }
    }
};

QUILLORY_SUITE(TextStoreTest)
#include "tst_textstore.moc"
