#include "programsuite.h"

#include <QAccessible>

// What a screen reader is told of the program: the names and descriptions of
// its controls, read through their accessible interfaces.
class ScreenReaderTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    // A document going back never takes the keys once more, nor loses them
    // to nothing (which a reader announces as its getting them).
    void switchingDocumentsHandsTheKeysStraightToTheNewOne()
    {
        activeFrame();
        QStringList moves;
        connect(qApp, &QApplication::focusChanged, this, [&moves](QWidget *old, QWidget *now) {
            const auto *from = qobject_cast<RichTextBox *>(old), *to = qobject_cast<RichTextBox *>(now);
            if (to || (from && !now))
                moves << (to ? to->accessibleName() : QStringLiteral("none"));
        });
        const auto press = [&moves](QKeyCombination key) {
            moves.clear();
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            return moves.join(u' ');
        };
        QCOMPARE(press(Qt::CTRL | Qt::Key_N), QStringLiteral("Untitled2"));
        QCOMPARE(press(Qt::CTRL | Qt::Key_F6), QStringLiteral("Untitled1"));
        QCOMPARE(press(Qt::CTRL | Qt::SHIFT | Qt::Key_F6), QStringLiteral("Untitled2"));
    }
};

QUILLORY_SUITE(ScreenReaderTest)
#include "tst_screenreader.moc"
