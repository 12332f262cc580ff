#include "platform/drivelistbox.h"
#include "platform/filelistbox.h"
#include "programsuite.h"

#include <QAccessible>
#include <QLabel>

// What a screen reader is told of the program: the names and descriptions of
// its controls, read through their accessible interfaces.
class ScreenReaderTest : public ProgramSuite
{
    Q_OBJECT

private:
    static QString told(QObject *object, QAccessible::Text what = QAccessible::Name)
    {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
        return face ? face->text(what) : QStringLiteral("(none)");
    }

private slots:
    void everyControlSaysWhatItIsNotWhatItHolds()
    {
        frmMainNote &frame = activeFrame();
        QCOMPARE(told(frame.cboFont) + u'/' + told(frame.cboFont, QAccessible::Description), QStringLiteral("Font/Screen Font"));
        QCOMPARE(told(frame.cboSize) + u'/' + told(frame.cboSize, QAccessible::Description),
                 QStringLiteral("Font Size/Screen Font Size"));
        QCOMPARE(told(frame.cboFont, QAccessible::Value), frame.cboFont->currentText());
        QCOMPARE(QStringList({told(frame.Toolbar1), told(frame.Toolbar2), told(frame.Toolbar3)}),
                 QStringList({"Standard", "Font", "Format"}));

        // Each document's text by its window's caption, as that changes.
        MenuFile::FileNew();
        QCOMPARE(told(text(1)) + u' ' + told(text(2)), QStringLiteral("Untitled1 Untitled2"));
        QVERIFY(writeBytes(pathTo(QStringLiteral("named.txt")), "x"));
        MenuFile::OpenFile(pathTo(QStringLiteral("named.txt")));
        QCOMPARE(told(text(3)), pathTo(QStringLiteral("named.txt")));

        // Each list of the file dialogs says which it is; their pictures are
        // decoration, and the main copy's box is no "Store In:".
        QStringList open, save;
        TestSeam::queueModalAction([&open](QDialog &dialog) {
            auto &shown = static_cast<frmOpenDlg &>(dialog);
            open << told(shown.List1) << told(shown.drvList) << told(shown.dirList) << told(shown.filList)
                 << told(shown.imgAdvert);
            shown.cmdCancel->click();
        });
        frame.mnuFile1[1]->trigger();
        QCOMPARE(open, QStringList({"Recent files", "Drive", "Folder", "Files", ""}));
        TestSeam::queueModalAction([&save](QDialog &dialog) {
            auto &shown = static_cast<frmSaveDlg &>(dialog);
            save << told(shown.drvList) << told(shown.dirList) << told(shown.filList) << told(shown.Check1)
                 << told(shown.Drive1) << told(shown.Dir1) << told(shown.Drive2) << told(shown.Dir2) << told(shown.imgAdvert);
            shown.cmdCancel->click();
        });
        frame.mnuFile1[5]->trigger();
        QCOMPARE(save, QStringList({"Drive", "Folder", "Files", "Main copy", "Backup copy 1 drive", "Backup copy 1 folder",
                                    "Backup copy 2 drive", "Backup copy 2 folder", ""}));
    }

    // A document going back never takes the keys once more, nor loses them
    // to nothing (which a reader announces as its getting them).
    void switchingDocumentsHandsTheKeysStraightToTheNewOne()
    {
        frmMainNote &frame = activeFrame();
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
        // From the Window menu opened with the keys, by its number or by Enter.
        for (const Qt::Key key : {Qt::Key_1, Qt::Key_Return}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::AltModifier);
            QTRY_VERIFY(frame.mnuWindow->isVisible());
            if (key == Qt::Key_Return)
                frame.mnuWindow->setActiveAction(frame.mnuWindow->actions().at(6));
            moves.clear();
            QTest::keyClick(frame.mnuWindow, key);
            QCOMPARE(moves.join(u' '), key == Qt::Key_1 ? QStringLiteral("Untitled1") : QStringLiteral("Untitled2"));
        }
    }
};

QUILLORY_SUITE(ScreenReaderTest)
#include "tst_screenreader.moc"
