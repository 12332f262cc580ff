#include "files/menufile.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "programsuite.h"
#include "suites.h"
#include "toolbars/menuformat.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QTest>

class FontCommandsTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void aFontChosenInTheBoxShowsInTheWholeDocumentAndInEachOneActivatedNext()
    {
        frmMainNote &frame = activeFrame();
        // The boxes' own filling applied nothing that is still pending.
        QVERIFY(!MenuFormat::SkipComboClick);
        RichTextBox *first = document(1)->Text1;
        QCOMPARE(first->fontName(), frame.cboFont->currentText());
        first->setSelText(QStringLiteral("some text"));
        QVERIFY(first->setSelStart(2).ok());
        QVERIFY(first->setSelLength(3).ok());

        frame.cboFont->setFocus();
        QTest::keyClick(frame.cboFont, Qt::Key_Down);
        const QString chosen = frame.cboFont->currentText();
        QVERIFY(chosen != QStringLiteral("Fixedsys"));
        QCOMPARE(first->fontName(), chosen);
        QCOMPARE(first->font().family(), Screen::fontFamily(chosen));
        QCOMPARE(first->SelText(), QStringLiteral("me "));

        MenuFile::FileNew();
        QCOMPARE(document(2)->Text1->fontName(), chosen);
        frame.cboFont->setCurrentIndex(frame.cboFont->findText(QStringLiteral("Fixedsys")));
        frame.mdiArea()->setActiveSubWindow(document(1));
        QCOMPARE(first->fontName(), QStringLiteral("Fixedsys"));
    }

    void aSizeTypedInTheBoxAppliesOnEnterOrOnLeavingIt()
    {
        frmMainNote &frame = activeFrame();
        RichTextBox *text = document(1)->Text1;
        QCOMPARE(text->fontSize(), 9.0);
        frame.cboSize->setFocus();
        frame.cboSize->lineEdit()->selectAll();
        QTest::keyClicks(frame.cboSize, QStringLiteral("14"));
        QCOMPARE(text->fontSize(), 9.0);
        QTest::keyClick(frame.cboSize, Qt::Key_Return);
        QCOMPARE(text->fontSize(), 14.0);
        // As typed: not completed to an entry of the list, and not added to it.
        frame.cboSize->lineEdit()->selectAll();
        QTest::keyClicks(frame.cboSize, QStringLiteral("2"));
        QTest::keyClick(frame.cboSize, Qt::Key_Return);
        QCOMPARE(text->fontSize(), 2.0);
        QCOMPARE(frame.cboSize->count(), 16);

        frame.cboSize->lineEdit()->selectAll();
        QTest::keyClicks(frame.cboSize, QStringLiteral("20"));
        QTest::keyClick(frame.cboSize, Qt::Key_Tab);
        QVERIFY(!frame.cboSize->hasFocus());
        QCOMPARE(text->fontSize(), 20.0);

        // A size the document refuses leaves the font as it is, and the box
        // shows it again.
        for (const QString &notASize : {QStringLiteral("big"), QStringLiteral("0"), QStringLiteral("-3"),
                                         QStringLiteral("3000")}) {
            frame.cboSize->setFocus();
            frame.cboSize->lineEdit()->selectAll();
            QTest::keyClicks(frame.cboSize, notASize);
            QTest::keyClick(frame.cboSize, Qt::Key_Return);
            QCOMPARE(text->fontSize(), 20.0);
            QCOMPARE(frame.cboSize->currentText(), QStringLiteral("20"));
        }
        // Picking a size from the list applies it.
        frame.cboSize->showPopup();
        QAbstractItemView *list = frame.cboSize->view();
        QTRY_VERIFY(list->isVisible());
        const QModelIndex size24 = list->model()->index(frame.cboSize->findText(QStringLiteral("24")), 0);
        list->setCurrentIndex(size24);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(text->fontSize(), 24.0);
    }
};

QUILLORY_SUITE(FontCommandsTest)
#include "tst_menuformat.moc"
