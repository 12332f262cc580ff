#include "files/menufile.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "programsuite.h"
#include "shell/frmbackground.h"
#include "suites.h"

#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QTest>

namespace {

const QString savePrompt = QStringLiteral("Text in [%1] has been modified.\r\nDo you want to save the changes?");

void type(frmNotePad *document, const QString &text)
{
    QTest::keyClicks(document->Text1, text);
}

} // namespace

class DocumentWindowTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void typingMarksTheDocumentModifiedAndClosingItAsksToSave()
    {
        loadedFrame();
        QVERIFY(!Quillo::DocState[1].Modified);
        type(document(1), QStringLiteral("hello"));
        QVERIFY(Quillo::DocState[1].Modified);

        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Cancel);
        QVERIFY(!document(1)->close());
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        const TestSeam::ShownMessage &prompt = TestSeam::shownMessages().at(0);
        QCOMPARE(prompt.text, savePrompt.arg(QStringLiteral("Untitled1")));
        QCOMPARE(prompt.style, 51);
        QCOMPARE(prompt.title, QStringLiteral("Untitled1"));
        QVERIFY(document(1)->isLoaded());
        QVERIFY(Quillo::CloseCancelled);

        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        document(1)->close();
        QVERIFY(!document(1)->isLoaded());
        QVERIFY(Quillo::DocState[1].Free);
        QVERIFY(!Quillo::CloseCancelled);
    }

    void anUnchangedDocumentClosesWithoutAPrompt()
    {
        loadedFrame();
        Quillo::CloseCancelled = true;
        document(1)->close();
        QVERIFY(!document(1)->isLoaded());
        QVERIFY(TestSeam::shownMessages().isEmpty());
        QVERIFY(Quillo::CloseCancelled);
    }

    void exitingWithThreeChangedDocumentsStopsAtTheCancelledPrompt()
    {
        frmMainNote &frame = loadedFrame();
        MenuFile::FileNew();
        MenuFile::FileNew();
        for (int slot = 1; slot <= 3; ++slot)
            type(document(slot), QStringLiteral("text"));
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Cancel);
        QVERIFY(!frame.close());
        QCOMPARE(TestSeam::shownMessages().size(), 2);
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
        QVERIFY(frame.isVisible());
        QVERIFY(!Quillo::CloseCancelled);
        QCOMPARE(TestSeam::programEnds(), 0);
    }

    void aDocumentCloseCancelledEarlierDoesNotStopALaterExit()
    {
        frmMainNote &frame = loadedFrame();
        MenuFile::FileNew();
        type(document(2), QStringLiteral("changed"));
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Cancel);
        document(2)->close();
        QVERIFY(Quillo::CloseCancelled);

        frame.mdiArea()->setActiveSubWindow(document(1));
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        QVERIFY(frame.close());
        QVERIFY(Quillo::NoDocuments);
        QCOMPARE(TestSeam::programEnds(), 1);
    }

    void closingTheLastDocumentEntersEmptyModeAndNewLeavesIt()
    {
        frmMainNote &frame = loadedFrame();
        QVERIFY(frame.tmrUndo.isActive() && frame.tmrPaste.isActive());
        document(1)->close();

        QVERIFY(Quillo::NoDocuments);
        QVERIFY(!frame.tmrUndo.isActive() && !frame.tmrPaste.isActive());
        QVERIFY(!frame.mnuWindow->menuAction()->isVisible());
        QVERIFY(frame.mnuWindow2->menuAction()->isVisible());
        for (int index : {0, 3, 4, 5, 6, 8, 9, 11, 12})
            QVERIFY2(!frame.mnuEdit1[index]->isEnabled(), qPrintable(QString::number(index)));
        for (int index : {2, 4, 5, 7})
            QVERIFY(!frame.mnuFile1[index]->isEnabled());
        QVERIFY(!frame.mnuView1[5]->isEnabled() && !frame.cboFont->isEnabled() && !frame.cboSize->isEnabled());
        for (int index : {3, 5, 7, 8, 9, 10, 12})
            QVERIFY(!frame.Toolbar1->Buttons[index]->isEnabled());
        QVERIFY(!frame.Toolbar3->Buttons[8]->isEnabled() && !frame.Toolbar3->Buttons[10]->isEnabled());
        QVERIFY(frame.mnuFile1[0]->isEnabled() && frame.mnuFile1[17]->isEnabled() && frame.Toolbar1->Buttons[1]->isEnabled());
        QVERIFY(frame.background() && frame.background()->isVisible());
        QCOMPARE(frame.background()->windowTitle(), QStringLiteral("Dadod Iror"));
        const int tpp = Screen::twipsPerPixelX();
        QCOMPARE(frame.background()->x(), (frame.ScaleWidth() - frame.background()->Width()) / 2 / tpp);
        QCOMPARE(frame.background()->y(), (frame.ScaleHeight() - frame.background()->Height()) / 2 / tpp);

        MenuFile::FileNew();
        QVERIFY(!Quillo::NoDocuments);
        QCOMPARE(document(1)->Caption(), QStringLiteral("Untitled1"));
        QCOMPARE(Quillo::Documents.size(), 2);
        QVERIFY(frame.tmrUndo.isActive() && frame.tmrPaste.isActive());
        QVERIFY(frame.mnuWindow->menuAction()->isVisible() && !frame.mnuWindow2->menuAction()->isVisible());
        QVERIFY(frame.mnuEdit1[3]->isEnabled() && frame.Toolbar1->Buttons[3]->isEnabled() && frame.cboFont->isEnabled());
        QVERIFY(!frame.background());
        QCOMPARE(document(1)->Text1->Text(), QString());
    }

    void newDocumentsTakeTheLowestFreeSlot()
    {
        frmMainNote &frame = loadedFrame();
        MenuFile::FileNew();
        MenuFile::FileNew();
        QCOMPARE(document(3)->Caption(), QStringLiteral("Untitled3"));
        document(2)->close();
        MenuFile::FileNew();
        QCOMPARE(document(2)->Caption(), QStringLiteral("Untitled2"));
        QCOMPARE(Quillo::Documents.size(), 4);
        MenuFile::FileNew();
        QCOMPARE(Quillo::Documents.size(), 5);
        QCOMPARE(document(4)->Tag(), QStringLiteral("4"));
        QCOMPARE(frame.activeDocument(), document(4));
    }

    void activatingADocumentTakesTheFontBoxesAndEmptiesItsUndo()
    {
        frmMainNote &frame = loadedFrame();
        QCOMPARE(document(1)->Text1->fontName(), frame.cboFont->currentText());
        QCOMPARE(document(1)->Text1->fontSize(), 9.0);
        QCOMPARE(document(1)->Text1->RightMargin(), 65535);
        MenuFile::FileNew();
        type(document(2), QStringLiteral("abc"));
        QVERIFY(SendMessageA(document(2)->Text1->hwnd(), EM_CANUNDO) != 0);
        frame.cboSize->setEditText(QStringLiteral("not a size"));
        frame.mdiArea()->setActiveSubWindow(document(1));
        frame.mdiArea()->setActiveSubWindow(document(2));
        QCOMPARE(SendMessageA(document(2)->Text1->hwnd(), EM_CANUNDO), 0);
        QCOMPARE(document(2)->Text1->fontSize(), 9.0);
        QVERIFY(!frame.mnuEdit1[0]->isEnabled() && !frame.mnuEdit1[1]->isEnabled());
        QVERIFY(!frame.Toolbar1->Buttons[12]->isEnabled() && !frame.Toolbar1->Buttons[13]->isEnabled());
    }

    void closingTheFrameWithNoDocumentEndsTheProgramWithoutAPrompt()
    {
        frmMainNote &frame = loadedFrame();
        document(1)->close();
        QVERIFY(frame.close());
        QVERIFY(TestSeam::shownMessages().isEmpty());
        QCOMPARE(TestSeam::programEnds(), 1);
    }
};

QUILLORY_SUITE(DocumentWindowTest)
#include "tst_documents.moc"
