#include "document/frmgotodlg.h"
#include "editor/filetext.h"
#include "programsuite.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QScopeGuard>

#include <thread>

class FindTest : public ProgramSuite
{
    Q_OBJECT

private:
    // A document holding text, with the caret at caret.
    void documentWith(const QString &text, qsizetype caret)
    {
        activeFrame();
        this->text(1)->setSelText(text);
        QVERIFY(this->text(1)->setSelStart(caret).ok());
    }

    // The Find dialog, opened as the user opens it.
    frmFindDlg &openFind()
    {
        // The window system gives the frame back its activation when the
        // dialog goes; the offscreen one has to be asked.
        Quillo::MainForm->activateWindow();
        if (!QTest::qWaitForWindowActive(Quillo::MainForm) || QApplication::focusWidget() != text(1))
            qFatal("the document did not get the focus back");
        QTest::keyClick(text(1), Qt::Key_F, Qt::ControlModifier);
        if (!frmFindDlg::Loaded())
            qFatal("Ctrl+F opened no Find dialog");
        return *frmFindDlg::Loaded();
    }

    // Types what into the dialog's box, replacing what it held, and presses Find.
    static void find(frmFindDlg &dialog, const QString &what)
    {
        dialog.Combo1->lineEdit()->selectAll();
        QTest::keyClicks(dialog.Combo1, what);
        QVERIFY(dialog.cmdFind->isEnabled());
        QTest::mouseClick(dialog.cmdFind, Qt::LeftButton);
    }

    static QStringList history(const frmFindDlg &dialog)
    {
        QStringList entries;
        for (int i = 0; i < dialog.Combo1->count(); ++i)
            entries << dialog.Combo1->itemText(i);
        return entries;
    }

private slots:
    void eachFindSelectsTheNextMatchInItsDirectionUntilThereIsNone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("search");
        // The selection after each press of Find; "!" where it said it found nothing.
        QTest::addColumn<QString>("selections");
        QTest::newRow("down to the end") << "abcabc" << 0 << "" << "abc" << "0+3 3+3 3+3!";
        QTest::newRow("up to the start") << "abcabc" << 6 << "up" << "abc" << "3+3 0+3 0+3!";
        QTest::newRow("up from the very start") << "abcabc" << 0 << "up" << "bc" << "0+0!";
        QTest::newRow("any case") << "abcabc" << 0 << "" << "ABC" << "0+3";
        QTest::newRow("Match Case") << "abcabc" << 0 << "case" << "ABC" << "0+0!";
        QTest::newRow("Match Case, up") << "ABCabc" << 6 << "case up" << "ABC" << "0+3";
        QTest::newRow("a sharp S in any case") << "Stra\u00DFe und STRASSE" << 0 << "" << "strasse" << "0+6 11+7";
    }

    void eachFindSelectsTheNextMatchInItsDirectionUntilThereIsNone()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, options);
        QFETCH(QString, search);
        QFETCH(QString, selections);
        documentWith(text, caret);
        frmFindDlg &dialog = openFind();
        QVERIFY(!dialog.cmdFind->isEnabled());
        QVERIFY(dialog.optDirection[1]->isChecked());
        for (QAbstractButton *option : std::initializer_list<QAbstractButton *> {dialog.chkCase, dialog.optDirection[0]}) {
            if (options.contains(option == dialog.chkCase ? QStringLiteral("case") : QStringLiteral("up")))
                QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, option->height() / 2));
        }
        QStringList seen;
        qsizetype said = 0;
        for (qsizetype press = selections.count(u' '); press >= 0; --press) {
            find(dialog, search);
            seen << QStringLiteral("%1+%2").arg(this->text(1)->SelStart()).arg(this->text(1)->SelLength());
            if (TestSeam::shownMessages().size() > said) {
                const TestSeam::ShownMessage &message = TestSeam::shownMessages().at(said++);
                QCOMPARE(message.text, QStringLiteral("Cannot find \"%1\" !").arg(search));
                QCOMPARE(message.title, QStringLiteral("Find"));
                QCOMPARE(message.style, MsgBoxStyle::Exclamation);
                seen.last() += u'!';
            }
        }
        QCOMPARE(seen.join(u' '), selections);
        QVERIFY(dialog.isVisible());
    }

    void theHistoryKeepsFiveSearchesNewestFirstAndTheNextDialogShowsThem()
    {
        documentWith(QStringLiteral("one two three four five six"), 0);
        frmFindDlg &dialog = openFind();
        for (const char *word : {"one", "two", "three", "four", "five", "six"})
            find(dialog, QString::fromLatin1(word));
        QCOMPARE(history(dialog), (QStringList {"six", "five", "four", "three", "two"}));
        QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
        QTRY_VERIFY(!frmFindDlg::Loaded());

        frmFindDlg &again = openFind();
        QCOMPARE(history(again), (QStringList {"six", "five", "four", "three", "two"}));
        // What is typed is searched, even where an entry starts with it.
        QVERIFY(text(1)->setSelStart(0).ok());
        find(again, QStringLiteral("tw"));
        QCOMPARE(text(1)->SelText(), QStringLiteral("tw"));
        // An older search again leaves the order as it is.
        find(again, QStringLiteral("three"));
        QCOMPARE(history(again), (QStringList {"tw", "six", "five", "four", "three"}));
    }

    void cancelKeepsTheTypedTextForFindNextAndTheBoxOffersTheSelectionOrElseThatText()
    {
        documentWith(QStringLiteral("alpha beta alpha"), 0);
        frmFindDlg &dialog = openFind();
        find(dialog, QStringLiteral("alpha"));
        dialog.Combo1->lineEdit()->selectAll();
        QTest::keyClicks(dialog.Combo1, QStringLiteral("beta"));
        QTest::keyClick(dialog.Combo1, Qt::Key_Escape);
        QTRY_VERIFY(!frmFindDlg::Loaded());
        QCOMPARE(MenuEdit::FindWhat[0], QStringLiteral("beta"));
        QCOMPARE(MenuEdit::FindWhat[1], QString());
        Quillo::MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Quillo::MainForm));
        QTest::keyClick(text(1), Qt::Key_F3);
        QCOMPARE(text(1)->SelStart(), 6);
        QCOMPARE(text(1)->SelText(), QStringLiteral("beta"));

        selectText(text(1), 11, 5);
        QCOMPARE(openFind().Combo1->currentText(), QStringLiteral("alpha"));
        QVERIFY(text(1)->setSelStart(0).ok());
        QTest::keyClick(text(1), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(frmFindDlg::Loaded()->Combo1->currentText(), QStringLiteral("beta"));
    }

    void goToPutsTheCaretAtTheStartOfTheLineWithThreeAboveOrSaysHowManyThereAre_data()
    {
        QTest::addColumn<int>("lines"); // "line 1" to "line N" with CR LF between, the caret on line 5
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("past the end") << 200 << "201" << "offered 5 selected | Go To: Error. The text has only 200 lines. | "
                                                          "dialog stays | caret 5:3, 4 above, keys in the text";
        QTest::newRow("Esc") << 200 << "" << "offered 5 selected | caret 5:3, 4 above, keys in the text";
        QTest::newRow("line 1") << 200 << "1" << "offered 5 selected | caret 1:1, 0 above, keys in the text";
        QTest::newRow("the middle") << 200 << "100" << "offered 5 selected | caret 100:1, 3 above, keys in the text";
        QTest::newRow("the last line") << 200 << "200" << "offered 5 selected | caret 200:1, at the bottom, keys in the text";
        QTest::newRow("0 is no line") << 200 << "<Del>0" << "offered 5 selected | dialog stays | caret 5:3, 4 above, keys in the text";
        QTest::newRow("a line of one") << 1 << "2" << "offered 1 selected | Go To: Error. The text has only 1 line. | "
                                                      "dialog stays | caret 1:3, 0 above, keys in the text";
        // Where the file is read from the file itself, its index is held short of these lines.
        QTest::newRow("in a text still being indexed") << 180000 << "150000"
                                                        << "offered 5 selected | caret 150000:1, 3 above, keys in the text";
        QTest::newRow("past the end of a text still being indexed")
            << 180000 << "180001" << "offered 5 selected | Go To: Error. The text has only 180000 lines. | dialog stays | caret 5:3, 4 above, keys in the text";
    }

    void goToPutsTheCaretAtTheStartOfTheLineWithThreeAboveOrSaysHowManyThereAre()
    {
        QFETCH(int, lines);
        QFETCH(QString, typed);
        QByteArray bytes;
        for (int line = 1; line <= lines; ++line)
            bytes += (line > 1 ? "\r\nline " : "line ") + QByteArray::number(line);
        const QString path = pathTo(QStringLiteral("lines.txt"));
        QVERIFY(writeBytes(path, bytes));
        const bool held = QString::fromLatin1(QTest::currentDataTag()).contains(QStringLiteral("indexed"));
        if (held)
            FileText::holdIndexesAt(400'000);
        auto release = qScopeGuard([] { FileText::holdIndexesAt(-1); });
        activeFrame();
        MenuFile::OpenFile(path);
        RichTextBox *text = Quillo::ActiveText();
        QVERIFY(text);
        const qsizetype caretAt = text->store().lineStart(std::min(lines, 5) - 1) + 2;
        text->setSelection(caretAt, caretAt);
        const bool growing = text->store().growing();
        QVERIFY(growing || !held || RichTextBox::keptInFileFrom() > bytes.size());
        std::jthread releaseLater;
        if (held)
            releaseLater = std::jthread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                FileText::holdIndexesAt(-1);
            });

        QStringList seen;
        TestSeam::queueModalAction([&](QDialog &shown) {
            auto &dialog = static_cast<frmGoToDlg &>(shown);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Go To Line"));
            QCOMPARE(dialog.lblLine->text(), QStringLiteral("&Line number:"));
            dialog.activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), &dialog);
            seen << QStringLiteral("offered ") + dialog.txtLine->text()
                        + (dialog.txtLine->selectedText() == dialog.txtLine->text() ? QStringLiteral(" selected") : QString());
            if (typed.isEmpty()) {
                QTest::keyClick(dialog.txtLine, Qt::Key_Escape);
                return;
            }
            QTest::keyClick(&dialog, Qt::Key_Tab);
            QTest::keyClick(&dialog, Qt::Key_L, Qt::AltModifier);
            QVERIFY(dialog.txtLine->hasFocus());
            if (typed.startsWith(QStringLiteral("<Del>")))
                QTest::keyClick(dialog.txtLine, Qt::Key_Delete);
            QTest::keyClicks(dialog.txtLine, QString(typed).remove(QStringLiteral("<Del>")) + QStringLiteral("x-"));
            QTest::keyClick(dialog.txtLine, Qt::Key_Return);
            seen << said();
            if (dialog.isVisible()) {
                seen << QStringLiteral("dialog stays");
                QTest::keyClick(dialog.txtLine, Qt::Key_Escape);
            }
        });
        QTest::keyClick(text, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(TestSeam::unhandledModalWindows(), 0);
        // The window system gives the frame back its activation when the dialog goes; the offscreen one has to be asked.
        Quillo::MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Quillo::MainForm));
        if (growing && !said().isEmpty())
            QVERIFY(!text->store().growing());

        const qsizetype caretLine = text->store().lineAt(text->cursorPosition());
        const qsizetype topLine = text->store().lineAt(text->positionAt(QPoint(1, 1)));
        const QRect caret = text->cursorRect();
        QVERIFY(text->viewport()->rect().contains(caret));
        QString place = QStringLiteral("caret %1:%2, ").arg(caretLine + 1).arg(text->cursorPosition() - text->store().lineStart(caretLine) + 1);
        place += caret.bottom() + caret.height() > text->viewport()->height() && caretLine == lines - 1
                     ? QStringLiteral("at the bottom") : QStringLiteral("%1 above").arg(caretLine - topLine);
        if (QApplication::focusWidget() == text)
            place += QStringLiteral(", keys in the text");
        QTEST((seen << place).join(QStringLiteral(" | ")), "outcome");
    }
};

QUILLORY_SUITE(FindTest)
#include "tst_find.moc"
