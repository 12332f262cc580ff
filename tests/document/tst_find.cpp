#include "document/frmfinddlg.h"
#include "document/menuedit.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "programsuite.h"
#include "suites.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

struct Selection
{
    qsizetype start;
    qsizetype length;
    bool operator==(const Selection &) const = default;
};

char *toString(const Selection &selection)
{
    return QTest::toString(QStringLiteral("%1+%2").arg(selection.start).arg(selection.length));
}

Selection selectionOf(RichTextBox *text)
{
    return {text->SelStart(), text->SelLength()};
}

QStringList history(const frmFindDlg &dialog)
{
    QStringList entries;
    for (int i = 0; i < dialog.Combo1->count(); ++i)
        entries << dialog.Combo1->itemText(i);
    return entries;
}

} // namespace

class FindTest : public ProgramSuite
{
    Q_OBJECT

private:
    RichTextBox *m_text = nullptr;

    // A document holding text, with the caret at caret.
    void documentWith(const QString &text, qsizetype caret)
    {
        activeFrame();
        m_text = document(1)->Text1;
        m_text->setSelText(text);
        QVERIFY(m_text->setSelStart(caret).ok());
    }

    // The Find dialog, opened as the user opens it.
    frmFindDlg &openFind()
    {
        // The window system gives the frame back its activation when the
        // dialog goes; the offscreen one has to be asked.
        backToTheDocument();
        QTest::keyClick(m_text, Qt::Key_F, Qt::ControlModifier);
        frmFindDlg *dialog = frmFindDlg::Loaded();
        if (!dialog)
            qFatal("Ctrl+F opened no Find dialog");
        return *dialog;
    }

    void backToTheDocument()
    {
        Quillo::MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Quillo::MainForm));
        QCOMPARE(QApplication::focusWidget(), m_text);
    }

    // Types what into the dialog's box, replacing what it held.
    static void typeSearch(frmFindDlg &dialog, const QString &what)
    {
        dialog.Combo1->lineEdit()->selectAll();
        QTest::keyClicks(dialog.Combo1, what);
    }

    static void pressFind(frmFindDlg &dialog)
    {
        QVERIFY(dialog.cmdFind->isEnabled());
        QTest::mouseClick(dialog.cmdFind, Qt::LeftButton);
    }

    static int notFoundMessages(const QString &what)
    {
        int count = 0;
        for (const TestSeam::ShownMessage &shown : TestSeam::shownMessages()) {
            if (shown.text == QStringLiteral("Cannot find \"%1\" !").arg(what) && shown.title == QStringLiteral("Find")
                && shown.style == MsgBoxStyle::Exclamation)
                ++count;
        }
        return count;
    }

private slots:
    void searchingDownWalksThroughTheMatchesAndStopsAtTheEnd()
    {
        documentWith(QStringLiteral("abcabc"), 0);
        frmFindDlg &dialog = openFind();
        QVERIFY(!dialog.cmdFind->isEnabled());
        QVERIFY(dialog.optDirection[1]->isChecked());
        typeSearch(dialog, QStringLiteral("abc"));
        pressFind(dialog);
        QCOMPARE(selectionOf(m_text), (Selection {0, 3}));
        pressFind(dialog);
        QCOMPARE(selectionOf(m_text), (Selection {3, 3}));
        pressFind(dialog);
        QCOMPARE(selectionOf(m_text), (Selection {3, 3}));
        QCOMPARE(notFoundMessages(QStringLiteral("abc")), 1);
        QVERIFY(dialog.isVisible());
    }

    void caseCountsOnlyWithMatchCase()
    {
        documentWith(QStringLiteral("abcabc"), 0);
        frmFindDlg &dialog = openFind();
        typeSearch(dialog, QStringLiteral("ABC"));
        pressFind(dialog);
        QCOMPARE(selectionOf(m_text), (Selection {0, 3}));

        QVERIFY(m_text->setSelStart(0).ok());
        QTest::mouseClick(dialog.chkCase, Qt::LeftButton, {}, QPoint(5, dialog.chkCase->height() / 2));
        QCOMPARE(MenuEdit::MatchCase, 1);
        typeSearch(dialog, QStringLiteral("ABC"));
        pressFind(dialog);
        QCOMPARE(notFoundMessages(QStringLiteral("ABC")), 1);
        QCOMPARE(selectionOf(m_text), (Selection {0, 0}));
    }

    void searchingUpFromTheEndFindsTheLastMatchFirst()
    {
        documentWith(QStringLiteral("abcabc"), 6);
        frmFindDlg &dialog = openFind();
        QTest::mouseClick(dialog.optDirection[0], Qt::LeftButton, {}, QPoint(5, dialog.optDirection[0]->height() / 2));
        QCOMPARE(MenuEdit::FindDirection, 0);
        typeSearch(dialog, QStringLiteral("abc"));
        pressFind(dialog);
        QCOMPARE(selectionOf(m_text), (Selection {3, 3}));
        pressFind(dialog);
        QCOMPARE(selectionOf(m_text), (Selection {0, 3}));
        pressFind(dialog);
        QCOMPARE(notFoundMessages(QStringLiteral("abc")), 1);
        QCOMPARE(selectionOf(m_text), (Selection {0, 3}));

        // A new search up from the very start, or from just after a single
        // character, has no place to try.
        QVERIFY(m_text->setSelStart(0).ok());
        typeSearch(dialog, QStringLiteral("bc"));
        pressFind(dialog);
        QCOMPARE(notFoundMessages(QStringLiteral("bc")), 1);
    }

    void aSharpSFoundWithoutMatchCaseIsSelectedWhereItStands()
    {
        documentWith(QStringLiteral("Stra\u00DFe und STRASSE"), 0);
        frmFindDlg &dialog = openFind();
        typeSearch(dialog, QStringLiteral("strasse"));
        pressFind(dialog);
        QCOMPARE(m_text->SelText(), QStringLiteral("Stra\u00DFe"));
        pressFind(dialog);
        QCOMPARE(m_text->SelText(), QStringLiteral("STRASSE"));
        QCOMPARE(selectionOf(m_text), (Selection {11, 7}));
    }

    void theHistoryKeepsFiveSearchesNewestFirst()
    {
        documentWith(QStringLiteral("one two three four five six"), 0);
        frmFindDlg &dialog = openFind();
        const QStringList words {"one", "two", "three", "four", "five"};
        for (const QString &word : words) {
            typeSearch(dialog, word);
            pressFind(dialog);
        }
        QCOMPARE(history(dialog), (QStringList {"five", "four", "three", "two", "one"}));
        typeSearch(dialog, QStringLiteral("six"));
        pressFind(dialog);
        QCOMPARE(history(dialog), (QStringList {"six", "five", "four", "three", "two"}));
        QCOMPARE(dialog.Combo1->currentText(), QStringLiteral("six"));

        // The next time the dialog opens it shows the same history.
        QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
        QTRY_VERIFY(!frmFindDlg::Loaded());
        frmFindDlg &again = openFind();
        QCOMPARE(history(again), (QStringList {"six", "five", "four", "three", "two"}));

        // What is typed is searched, even where an entry starts with it.
        QVERIFY(m_text->setSelStart(0).ok());
        typeSearch(again, QStringLiteral("tw"));
        pressFind(again);
        QCOMPARE(m_text->SelText(), QStringLiteral("tw"));
        QCOMPARE(history(again), (QStringList {"tw", "six", "five", "four", "three"}));

        // An older search again leaves the order as it is.
        QVERIFY(m_text->setSelStart(0).ok());
        typeSearch(again, QStringLiteral("three"));
        pressFind(again);
        QCOMPARE(history(again), (QStringList {"tw", "six", "five", "four", "three"}));
        QCOMPARE(m_text->SelText(), QStringLiteral("three"));
    }

    void cancelKeepsTheTypedTextForFindNextWithoutListingIt()
    {
        documentWith(QStringLiteral("alpha beta alpha"), 0);
        frmFindDlg &dialog = openFind();
        typeSearch(dialog, QStringLiteral("alpha"));
        pressFind(dialog);
        typeSearch(dialog, QStringLiteral("beta"));
        QTest::keyClick(dialog.Combo1, Qt::Key_Escape);
        QTRY_VERIFY(!frmFindDlg::Loaded());
        QCOMPARE(MenuEdit::FindWhat[0], QStringLiteral("beta"));
        QCOMPARE(MenuEdit::FindWhat[1], QString());

        backToTheDocument();
        QTest::keyClick(m_text, Qt::Key_F3);
        QCOMPARE(m_text->SelText(), QStringLiteral("beta"));
        QCOMPARE(m_text->SelStart(), 6);
        QVERIFY(!frmFindDlg::Loaded());
    }

    void aSelectionInTheDocumentFillsTheSearchBox()
    {
        documentWith(QStringLiteral("find the needle here"), 9);
        QVERIFY(m_text->setSelLength(6).ok());
        frmFindDlg &dialog = openFind();
        QCOMPARE(dialog.Combo1->currentText(), QStringLiteral("needle"));
        QVERIFY(dialog.cmdFind->isEnabled());
        // Without a selection the box offers the last search.
        MenuEdit::FindWhat[0] = QStringLiteral("here");
        QVERIFY(m_text->setSelStart(0).ok());
        QTest::keyClick(m_text, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(dialog.Combo1->currentText(), QStringLiteral("here"));
    }
};

QUILLORY_SUITE(FindTest)
#include "tst_find.moc"
