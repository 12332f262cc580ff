#include "editor/safefile.h"
#include "editor/textdecode.h"
#include "editor/textencode.h"
#include "filebytes.h"
#include "suites.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

// Everyday text in fourteen languages, saved in every legacy encoding that
// holds it, as other programs write it.
class EncodingCorpus : public QObject
{
    Q_OBJECT

private slots:
    void legacyFilesAreMostlyReadRightAndAlwaysWrittenBackTheSame()
    {
        QStringList encodings;
        for (int codePage = 1250; codePage <= 1258; ++codePage)
            encodings += QStringLiteral("windows-%1").arg(codePage);
        for (int part = 1; part <= 16; ++part)
            encodings += QStringLiteral("ISO-8859-%1").arg(part);
        encodings += QStringList{"KOI8-R", "KOI8-U", "IBM866", "x-mac-cyrillic", "Shift_JIS", "EUC-JP",
                                 "ISO-2022-JP", "EUC-KR", "GB18030", "GBK", "Big5"};
        QTemporaryDir folder;
        const QString copy = folder.filePath(QStringLiteral("written.txt"));
        const QDir corpus(QStringLiteral(QUILLORY_ENCODING_CORPUS));
        QStringList faults;
        int files = 0, right = 0;
        qInfo("| text | encoding | read as | |\n|---|---|---|---|");
        for (const QString &name : corpus.entryList({QStringLiteral("*.txt")})) {
            const QString text = QString::fromUtf8(readBytes(corpus.filePath(name)));
            const QString language = name.chopped(4);
            // The text as UTF-8, and as ASCII (its letters without their accents), is never taken for anything else.
            QString ascii;
            for (const QChar c : text.normalized(QString::NormalizationForm_KD))
                if (c.unicode() < 0x80)
                    ascii += c;
            for (const auto &[plain, as] : {std::pair(ascii, "ASCII"), std::pair(text, "UTF-8")}) {
                const DecodedTextFile decoded = decodeTextFile(plain.toUtf8());
                if (decoded.format.encoding != TextEncoding::Utf8 || decoded.text != plain)
                    faults += QStringLiteral("%1 in %2 read as %3").arg(language, as, encodingName(decoded.format));
            }
            for (const QString &encoding : encodings) {
                QStringEncoder encoder(qPrintable(encoding));
                const QByteArray bytes = encoder.isValid() ? encoder.encode(text) : QByteArray();
                if (!encoder.isValid() || encoder.hasError())
                    continue; // no such encoding here, or the text does not fit in it
                const DecodedTextFile decoded = decodeTextFile(bytes);
                const QString readAs = encodingName(decoded.format);
                const bool same = decoded.text == text;
                ++files;
                right += same ? 1 : 0;
                qInfo().noquote() << QStringLiteral("| %1 | %2 | %3 | %4 |").arg(language, encoding, readAs, same ? u"✓" : u"✗");
                const QString pair = QStringLiteral("%1 in %2").arg(language, encoding);
                if (!same && readAs.compare(encoding, Qt::CaseInsensitive) == 0)
                    faults += pair + QStringLiteral(" found but decoded otherwise");

                SafeFileWriter file;
                QVERIFY(file.open(copy).ok());
                EncodedTextWriter writer(file, decoded.format);
                if (decoded.format.byteOrderMark)
                    writer.writeByteOrderMark();
                writer.write(decoded.text);
                writer.flush();
                QVERIFY(file.commit().ok());
                if (readBytes(copy) != bytes)
                    faults += pair + QStringLiteral(" written back otherwise as ") + readAs;
            }
        }
        qInfo("%d of %d files read right", right, files);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        QVERIFY2(files > 0 && right * 100 >= files * 95, qPrintable(QStringLiteral("only %1 of %2 files read right").arg(right).arg(files)));
    }
};

QUILLORY_SUITE(EncodingCorpus)
#include "tst_encodingcorpus.moc"
