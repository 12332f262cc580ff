#include "fuzz/loaderroundtrip.h"
#include "suites.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

namespace {

// Bytes that decide how a file is read: line ends, byte order marks, a UTF-8
// lead byte, an emoji, NUL, the separators that end lines, a surrogate no
// UTF-8 file may hold; and Windows-1252's letters of 0x80 to 0x9F.
const QList<QByteArray> interestingBytes {"\r", "\n", "\r\n", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\xC3",
                                          "\xF0\x9F\x98\x80", QByteArray(1, '\0'), "\xE2\x80\xA9", "\xEF\xB7\x90",
                                          "\xED\xA0\x80"};

// Random bytes decode to letters of many scripts, and Qt warns once for each
// script a font cannot shape; that says nothing about the file.
QtMessageHandler testHandler = nullptr;
void withoutShapingWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.contains(QLatin1String("OpenType support missing")))
        testHandler(type, context, message);
}

QByteArray mutated(QByteArray bytes, const QList<QByteArray> &pool, QRandomGenerator &random)
{
    const auto below = [&random](qsizetype end) { return qsizetype(random.bounded(quint32(end))); };
    const auto interesting = [&] {
        const qsizetype pick = below(interestingBytes.size() + 1);
        return pick < interestingBytes.size() ? interestingBytes[pick] : QByteArray(1, char(0x80 + below(0x20)));
    };
    for (qsizetype n = 1 + below(4); n > 0; --n) {
        // Most of what decides the encoding is at the start of the file.
        const qsizetype at = below(4) == 0 ? 0 : below(bytes.size() + 1);
        switch (below(5)) {
        case 0:
            if (at < bytes.size())
                bytes[at] = char(bytes[at] ^ (1 << below(8)));
            break;
        case 1:
            bytes.insert(at, interesting());
            break;
        case 2: {
            const QByteArray over = interesting();
            bytes.replace(at, over.size(), over);
            break;
        }
        case 3:
            bytes.truncate(at);
            break;
        default: {
            const QByteArray &other = pool.at(below(pool.size()));
            bytes = bytes.first(at) + other.sliced(below(other.size() + 1));
        }
        }
    }
    return bytes.first(qMin(bytes.size(), qsizetype(4096)));
}

} // namespace

class LoaderMutations : public QObject
{
    Q_OBJECT

private slots:
    // The fuzzer's seed files, every byte value, and a line of 5 MB, then
    // mutations of them. QUILLORY_FUZZ_SECONDS runs it longer,
    // QUILLORY_FUZZ_SEED repeats a run.
    void filesAndTheirMutationsAreSavedAgainByteForByte()
    {
        QByteArray everyByte(256, 0);
        std::iota(everyByte.begin(), everyByte.end(), char(0));
        QList<QByteArray> pool {everyByte};
        const QDir corpus(QStringLiteral(QUILLORY_FUZZ_CORPUS));
        for (const QString &name : corpus.entryList(QDir::Files)) {
            QFile file(corpus.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            pool.append(file.readAll());
        }
        QVERIFY(pool.size() >= 6);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());

        const quint32 seed = qEnvironmentVariableIsSet("QUILLORY_FUZZ_SEED") ? qgetenv("QUILLORY_FUZZ_SEED").toUInt()
                                                                              : QRandomGenerator::global()->generate();
        const int seconds = qEnvironmentVariableIsSet("QUILLORY_FUZZ_SECONDS") ? qEnvironmentVariableIntValue("QUILLORY_FUZZ_SECONDS") : 3;
        qInfo("QUILLORY_FUZZ_SEED=%u", seed);
        QRandomGenerator random(seed);
        testHandler = qInstallMessageHandler(withoutShapingWarnings);
        const auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(testHandler); });
        QByteArray input;
        const auto report = qScopeGuard([&] {
            if (QTest::currentTestFailed())
                qWarning("QUILLORY_FUZZ_SEED=%u; the input: %s", seed, input.left(4096).toHex().constData());
        });
        // A line of 5 MB is read and written in pieces; too long to mutate.
        for (const QByteArray &file : pool + QList<QByteArray> {QByteArray(5 << 20, 'x')}) {
            input = file;
            QCOMPARE(loaderRoundTripFault(input, folder.path()), QString());
        }
        int runs = 0;
        for (QDeadlineTimer deadline(seconds * 1000); !deadline.hasExpired(); ++runs) {
            input = mutated(pool.at(random.bounded(pool.size())), pool, random);
            QCOMPARE(loaderRoundTripFault(input, folder.path()), QString());
            if (pool.size() < 500 && random.bounded(8) == 0)
                pool.append(input);
        }
        qInfo("%d mutated files", runs);
    }
};

QUILLORY_SUITE(LoaderMutations)
#include "tst_loader_mutations.moc"
