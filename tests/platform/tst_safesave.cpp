#include "platform/richtextbox.h"
#include "freshsuite.h"
#include "suites.h"

#include <QFile>
#include <QStringEncoder>
#include <QTextCursor>
#include <QTest>

#include <algorithm>

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class SafeSave : public FreshStateSuite
{
    Q_OBJECT

private slots:
    void textFullOfEmojiComesBackByteForByte_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::newRow("UTF-8") << int(QStringConverter::Utf8);
        QTest::newRow("UTF-16 LE") << int(QStringConverter::Utf16LE);
        QTest::newRow("UTF-16 BE") << int(QStringConverter::Utf16BE);
    }

    void textFullOfEmojiComesBackByteForByte()
    {
        QFETCH(int, encoding);
        // The second line is longer than the writer's chunks, so that a pair
        // meets a chunk's end; the others are shifted by a character.
        const QString emoji = QStringLiteral("\U0001F600");
        QString text = emoji.repeated(4) + u'\n' + emoji.repeated(720000);
        for (int line = 0; line < 3; ++line)
            text += QStringLiteral("\nx") + emoji.repeated(650000);
        const auto flags = encoding == QStringConverter::Utf8 ? QStringConverter::Flag::Default : QStringConverter::Flag::WriteBom;
        const QByteArray bytes = QStringEncoder(QStringConverter::Encoding(encoding), flags).encode(text);
        QVERIFY(bytes.size() >= 10000000);
        const QString original = fresh().path(QStringLiteral("emoji.txt"));
        const QString copy = fresh().path(QStringLiteral("copy.txt"));
        QVERIFY(writeBytes(original, bytes));

        RichTextBox box;
        QVERIFY(box.LoadFile(original).ok());
        // A format given to part of the text splits the document's storage
        // there, here between the two halves of pairs.
        QTextCursor cursor(box.document());
        cursor.setPosition(1);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        cursor.mergeCharFormat(bold);
        QVERIFY(box.SaveFile(copy).ok());
        const QByteArray saved = readBytes(copy);
        const auto differ = std::mismatch(saved.begin(), saved.end(), bytes.begin(), bytes.end());
        QVERIFY2(saved == bytes, qPrintable(QStringLiteral("first difference at byte %1").arg(differ.first - saved.begin())));
    }
};

QUILLORY_SUITE(SafeSave)

#include "tst_safesave.moc"
