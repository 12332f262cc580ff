#include "document/draft.h"
#include "editor/filetext.h"
#include "document/frmreplacedlg.h"
#include "programsuite.h"

#include <QCheckBox>
#include <QLabel>

#include <chrono>
#include <thread>

class ReplaceTest : public ProgramSuite
{
    Q_OBJECT

private:
    // A file holding bytes, opened as the only document, with the keys in it.
    RichTextBox &openedFile(const QByteArray &bytes)
    {
        activeFrame();
        if (!writeBytes(fresh().path(QStringLiteral("text.txt")), bytes))
            qFatal("cannot write the file");
        MenuFile::OpenFile(pathTo(QStringLiteral("text.txt")));
        RichTextBox *opened = Quillo::ActiveText();
        if (!opened)
            qFatal("the file did not open");
        Quillo::MainForm->activateWindow();
        if (!QTest::qWaitForWindowActive(Quillo::MainForm))
            qFatal("the frame did not become active");
        opened->setFocus();
        return *opened;
    }

    // Types text where the keys are; beyond ASCII as an input method gives it.
    static void type(const QString &text)
    {
        for (const QChar c : text) {
            if (c.unicode() >= 0x80) {
                QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, text);
                QApplication::sendEvent(QApplication::focusWidget(), &key);
                return;
            }
        }
        QTest::keyClicks(QApplication::focusWidget(), text);
    }

    static bool modified()
    {
        return Quillo::DocState[Quillo::MainForm->activeDocument()->Tag().toInt()].Modified;
    }

    // Presses a button by its access key, and waits until it has clicked.
    static void press(QAbstractButton *button, Qt::Key key)
    {
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::keyClick(button->window(), key, Qt::AltModifier);
        if (clicked.isEmpty() && !clicked.wait(2000))
            qFatal("Alt+%c clicked nothing", char(key));
    }

    // Opens the dialog with Ctrl+H and fills it as a user does: the access
    // keys, the text typed over what was there, options by their keys.
    static frmReplaceDlg &filledDialog(RichTextBox &text, const QString &what, const QString &with,
                                       const QString &options)
    {
        QTest::keyClick(&text, Qt::Key_H, Qt::ControlModifier);
        frmReplaceDlg *dialog = frmReplaceDlg::Loaded();
        if (!dialog)
            qFatal("Ctrl+H opened no Replace dialog");
        if (!QTest::qWaitFor([dialog] { return dialog->cboFind->hasFocus(); }))
            qFatal("the Replace dialog did not take the keys");
        QTest::keyClick(dialog, Qt::Key_N, Qt::AltModifier);
        dialog->cboFind->lineEdit()->selectAll();
        type(what);
        QTest::keyClick(dialog, Qt::Key_P, Qt::AltModifier);
        dialog->cboReplace->lineEdit()->selectAll();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        type(with);
        const std::pair<const char *, QCheckBox *> boxes[] {
            {"case", dialog->chkCase}, {"word", dialog->chkWord}, {"regex", dialog->chkExpression}};
        for (const auto &[name, box] : boxes) {
            if (options.contains(QLatin1String(name)) != box->isChecked())
                press(box, name[0] == 'c' ? Qt::Key_C : name[0] == 'w' ? Qt::Key_W : Qt::Key_X);
        }
        return *dialog;
    }

    // The text as a save writes it, in the document's own format.
    QByteArray saved(RichTextBox &text)
    {
        const QString path = fresh().path(QStringLiteral("saved.txt"));
        if (text.SaveFile(path).failed())
            qFatal("the save failed");
        return readBytes(path);
    }

private slots:
    void replaceAllReplacesEveryOccurrenceOnceAndOneUndoTakesItAllBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("with");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("count");
        QTest::newRow("a word, any case") << QByteArray("Cat cat\r\nCAT\r\n") << "" << "cat" << "dog"
                                          << QByteArray("dog dog\r\ndog\r\n") << 3;
        QTest::newRow("Match case") << QByteArray("Cat cat CAT") << "case" << "cat" << "dog"
                                    << QByteArray("Cat dog CAT") << 1;
        QTest::newRow("whole words only") << QByteArray("cat cats concat cat.\ncat") << "word" << "cat" << "dog"
                                          << QByteArray("dog cats concat dog.\ndog") << 3;
        QTest::newRow("nothing to replace") << QByteArray("abc\r\n") << "" << "x" << "y" << QByteArray("abc\r\n") << 0;
        QTest::newRow("the replacement holds the word") << QByteArray("a-a") << "" << "a" << "aa"
                                                        << QByteArray("aa-aa") << 2;
        QTest::newRow("groups swapped") << QByteArray("John Smith\nJane Doe\n") << "regex" << "(\\w+) (\\w+)"
                                        << "\\2, \\1 \\\\ \\0\\t" << QByteArray("Smith, John \\ John Smith\t\nDoe, Jane \\ Jane Doe\t\n") << 2;
        QTest::newRow("new lines take the file's line end") << QByteArray("a;b\r\nc;d\r\n") << "regex" << ";" << "\\n"
                                                            << QByteArray("a\r\nb\r\nc\r\nd\r\n") << 2;
        QTest::newRow("each line start once") << QByteArray("x\ny\n") << "regex" << "^" << "> "
                                              << QByteArray("> x\n> y\n") << 2;
        QTest::newRow("each line end once") << QByteArray("x\r\ny") << "regex" << "$" << ";"
                                            << QByteArray("x;\r\ny;") << 2;
        QTest::newRow("between look-arounds") << QByteArray("abab") << "regex" << "(?<=a)(?=b)" << "-"
                                              << QByteArray("a-ba-b") << 2;
        QTest::newRow("a line break is one character") << QByteArray("a\r\nb\nc") << "regex" << "\\s" << "_"
                                                       << QByteArray("a_b_c") << 2;
        QTest::newRow("dot never takes a break") << QByteArray("ab\r\nc") << "regex" << "." << "x"
                                                 << QByteArray("xx\r\nx") << 3;
        QTest::newRow("empty matches beside full ones") << QByteArray("xa") << "regex" << "x*" << "-"
                                                        << QByteArray("--a-") << 3;
        QTest::newRow("a pair is one character") << QByteArray("\xF0\x9F\x98\x80" "a\xF0\x9F\x98\x80") << "regex"
                                                 << "[^a]" << "b" << QByteArray("bab") << 2;
        QTest::newRow("a pair in the word") << QByteArray("\xF0\x9F\x98\x80" "a\xF0\x9F\x98\x80") << "case"
                                            << QString::fromUtf8("\xF0\x9F\x98\x80") << "-" << QByteArray("-a-") << 2;
        QTest::newRow("a combining mark") << QByteArray("e\xCC\x81 e") << "" << QString::fromUtf8("e\xCC\x81")
                                          << QString::fromUtf8("\xC3\xA9") << QByteArray("\xC3\xA9 e") << 1;
        // Long enough to cross many windows of a text kept in its file.
        QByteArray words;
        QByteArray tagged;
        for (int i = 0; i < 40; ++i) {
            words += "word" + QByteArray::number(i) + (i % 7 == 6 ? "\r\n" : " ");
            tagged += "<word" + QByteArray::number(i) + ">" + (i % 7 == 6 ? "\r\n" : " ");
        }
        QTest::newRow("across windows") << words << "regex" << "\\w+" << "<\\0>" << tagged << 40;
        // Occurrences far enough apart that windows end inside some of them.
        QByteArray apart;
        for (int i = 0; i < 24; ++i)
            apart += QByteArray(50 + i, '-') + "ab cd" + (i % 5 == 4 ? "\n" : "");
        QTest::newRow("a window ends inside") << apart << "regex" << "ab +cd" << "<\\0>"
                                             << QByteArray(apart).replace("ab cd", "<ab cd>") << 24;
        QTest::newRow("across windows, any case") << words << "word" << "WORD39" << "x" << words.replace("word39", "x") << 1;
    }

    void replaceAllReplacesEveryOccurrenceOnceAndOneUndoTakesItAllBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, options);
        QFETCH(QString, what);
        QFETCH(QString, with);
        QFETCH(QByteArray, after);
        QFETCH(int, count);
        RichTextBox &text = openedFile(file);
        frmReplaceDlg &dialog = filledDialog(text, what, with, options);
        // The caret at the end, its column counted before the text changes.
        text.setSelection(text.store().length(), text.store().length());
        (void)text.cursorColumn();
        Drafts::PauseMs = 10;
        QSignalSpy drafted(&Quillo::MainForm->activeDocument()->draft(), &DocumentDraft::written);
        press(dialog.cmdReplaceAll, Qt::Key_A);
        QCOMPARE(dialog.lblResult->text(),
                 count == 1 ? QStringLiteral("1 occurrence replaced.") : QStringLiteral("%1 occurrences replaced.").arg(count));
        QCOMPARE(saved(text), after);
        QCOMPARE(modified(), count > 0);
        const QString before = text.Text().left(text.SelStart());
        QCOMPARE(text.cursorColumn(), before.mid(before.lastIndexOf(u'\n') + 1).toUcs4().size());
        // As after typing, the unsaved text is kept in a draft.
        QCOMPARE(drafted.wait(count > 0 ? 5000 : 300) || !drafted.isEmpty(), count > 0);

        // One Ctrl+Z in the document: every byte as it was.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTRY_VERIFY(!frmReplaceDlg::Loaded());
        Quillo::MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Quillo::MainForm));
        text.setFocus();
        QVERIFY(nextTick(Quillo::MainForm->tmrUndo));
        QCOMPARE(Quillo::MainForm->mnuEdit1[0]->isEnabled(), count > 0);
        QTest::keyClick(&text, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(saved(text), count > 0 ? file : after);
        // And the one undo again puts every replacement back.
        QTest::keyClick(&text, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(saved(text), after);
        QVERIFY(TestSeam::shownMessages().isEmpty());
    }

    void findNextAndReplaceGoStepByStepAndSayWhenThereIsNoMore()
    {
        RichTextBox &text = openedFile("one two one\r\none");
        frmReplaceDlg &dialog = filledDialog(text, QStringLiteral("one"), QStringLiteral("1"), QString());
        QStringList seen;
        const auto step = [&](QPushButton *button, Qt::Key key) {
            press(button, key);
            seen << QStringLiteral("%1+%2").arg(text.SelStart()).arg(text.SelLength());
        };
        // Replace before anything was found finds first.
        step(dialog.cmdReplace, Qt::Key_R);
        step(dialog.cmdFindNext, Qt::Key_F);
        step(dialog.cmdReplace, Qt::Key_R);
        step(dialog.cmdReplace, Qt::Key_R);
        QCOMPARE(seen.join(u' '), QStringLiteral("0+3 8+3 11+3 11+1"));
        QCOMPARE(text.Text(), QStringLiteral("one two 1\r\n1"));
        QCOMPARE(said(), QStringList {QStringLiteral("Replace: Cannot find \"one\" !")});
        // One undo takes back the last replacement only.
        QVERIFY(text.undo());
        QCOMPARE(text.Text(), QStringLiteral("one two 1\r\none"));
        // F3 goes on with the same search.
        QCOMPARE(MenuEdit::FindWhat[0], QStringLiteral("one"));
    }

    void findNextReachesTheEndOfABigFileStillBeingIndexed()
    {
        QByteArray bytes;
        for (int line = 1; line <= 180000; ++line)
            bytes += "line " + QByteArray::number(line) + "\r\n";
        bytes += "last words";
        // Where the file is read from the file itself, its index is held short of the end.
        FileText::holdIndexesAt(400'000);
        std::jthread releaseLater([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            FileText::holdIndexesAt(-1);
        });
        RichTextBox &text = openedFile(bytes);
        frmReplaceDlg &dialog = filledDialog(text, QStringLiteral("last"), QString(), QStringLiteral("case"));
        press(dialog.cmdFindNext, Qt::Key_F);
        QVERIFY(said().isEmpty());
        QCOMPARE(text.SelText(), QStringLiteral("last"));
        QCOMPARE(text.SelStart(), bytes.size() - 10);
    }

    void aPatternThatDoesNotCompileIsReportedAndChangesNothing()
    {
        RichTextBox &text = openedFile("a(b");
        frmReplaceDlg &dialog = filledDialog(text, QStringLiteral("(b"), QStringLiteral("x"), QStringLiteral("regex"));
        press(dialog.cmdReplaceAll, Qt::Key_A);
        press(dialog.cmdReplace, Qt::Key_R);
        press(dialog.cmdFindNext, Qt::Key_F);
        QCOMPARE(said().size(), 3);
        QVERIFY(said().constFirst().startsWith(QStringLiteral("Replace: Error. The regular expression is not valid: ")));
        QCOMPARE(text.Text(), QStringLiteral("a(b"));
        QVERIFY(!modified());
        QVERIFY(dialog.lblResult->text().isEmpty());
    }
};

QUILLORY_SUITE(ReplaceTest)
#include "tst_replace.moc"
