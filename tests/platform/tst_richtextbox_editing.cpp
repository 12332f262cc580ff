#include "platform/richtextbox.h"
#include "platform/keys.h"
#include "platform/screen.h"
#include "platform/testseam.h"
#include "freshsuite.h"
#include "suites.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMap>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A document of several lines with every kind of line end in its file.
QString loadSeveralLines(RichTextBox &box, const FreshProgramState &state)
{
    const QString path = state.path(QStringLiteral("lines.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("first line\r\nsecond\nthird line here\rfourth\r\n\r\nlast: Stra\xC3\x9F" "e");
    file.close();
    const Error error = box.LoadFile(path);
    return error.ok() ? box.Text() : error.description;
}

void type(QWidget *widget, const QString &text)
{
    QTest::keyClicks(widget, text);
}

} // namespace

class RichTextBoxEditing : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void aStringFoundInTextIsSelectedExactlyBySelStart()
    {
        RichTextBox box;
        const QString text = loadSeveralLines(box, fresh());
        QCOMPARE(text, QStringLiteral("first line\r\nsecond\r\nthird line here\r\nfourth\r\n\r\nlast: Stra\u00DFe"));
        for (const QString &wanted : {QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("line here\r\nfo"),
                                      QStringLiteral("\r\n\r\n"), QStringLiteral("Stra\u00DFe"), QStringLiteral("e")}) {
            const qsizetype at = text.lastIndexOf(wanted);
            QVERIFY(box.setSelStart(at).ok());
            QVERIFY(box.setSelLength(wanted.size()).ok());
            QCOMPARE(box.SelStart(), at);
            QCOMPARE(box.SelLength(), wanted.size());
            QCOMPARE(box.SelText(), wanted);
        }
        QVERIFY(box.setSelStart(text.size()).ok());
        QCOMPARE(box.SelStart(), text.size());
        QCOMPARE(box.textLength(), text.size());
        QVERIFY(box.setSelStart(text.size() + 100).ok());
        QCOMPARE(box.SelStart(), text.size());
    }

    void aPositionInsideALineBreakTakesTheWholeBreak()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("ab\r\ncd"));
        // Between the CR and the LF: the caret stands before the break...
        QVERIFY(box.setSelStart(3).ok());
        QCOMPARE(box.SelStart(), 2);
        // ...and one character selected from the CR is the whole break.
        QVERIFY(box.setSelStart(2).ok());
        QVERIFY(box.setSelLength(1).ok());
        QCOMPARE(box.SelText(), QStringLiteral("\r\n"));
        QCOMPARE(box.SelLength(), 2);
    }

    void charactersWhoseUpperCaseIsLongerShiftNoPosition()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("\u00DF\u00DF\u00DF stra\u00DFe\r\n\uFB01x STRASSE"));
        const QString text = box.Text();
        QCOMPARE(box.textLength(), text.size());
        QVERIFY(text.toUpper().size() > text.size());
        const qsizetype at = text.indexOf(QStringLiteral("STRASSE"));
        QVERIFY(box.setSelStart(at).ok());
        QVERIFY(box.setSelLength(7).ok());
        QCOMPARE(box.SelText(), QStringLiteral("STRASSE"));
        QCOMPARE(box.SelStart(), at);
    }

    void selTextReplacesTheSelectionOrInsertsAtTheCaret()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("hello world"));
        QCOMPARE(box.SelStart(), 11);
        QVERIFY(box.setSelStart(6).ok());
        QVERIFY(box.setSelLength(5).ok());
        box.setSelText(QStringLiteral("there\r\nand\nhere"));
        QCOMPARE(box.Text(), QStringLiteral("hello there\r\nand\r\nhere"));
        QCOMPARE(box.SelStart(), box.textLength());
        QCOMPARE(box.SelLength(), 0);
        QVERIFY(box.setSelStart(5).ok());
        box.setSelText(QStringLiteral(","));
        QCOMPARE(box.Text(), QStringLiteral("hello, there\r\nand\r\nhere"));
        QVERIFY(box.setSelStart(0).ok());
        QVERIFY(box.setSelLength(7).ok());
        box.setSelText(QString());
        QCOMPARE(box.Text(), QStringLiteral("there\r\nand\r\nhere"));
    }

    void manyEditsKeepTextPositionsAndTheSavedFileInStepWithAPlainString()
    {
        // The same edits made on a plain string, where each line break is
        // CR LF, must give the same Text, lengths and caret, and the saved
        // file that string with the new document's line end.
        RichTextBox box;
        QString model;
        quint32 seed = 12345;
        const auto random = [&seed](quint32 below) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % below;
        };
        const QStringList pieces {QStringLiteral("a"), QStringLiteral("\u00DF"), QStringLiteral(" "),
                                  QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("xyz"),
                                  QStringLiteral("\U0001F600")};
        for (int edit = 0; edit < 400; ++edit) {
            qsizetype start = random(quint32(model.size() + 1));
            if (start > 0 && start < model.size() && model.at(start - 1) == u'\r' && model.at(start) == u'\n')
                --start;
            if (start > 0 && model.at(start - 1).isHighSurrogate())
                --start;
            qsizetype end = qMin(model.size(), start + qsizetype(random(6)));
            if (end > 0 && end < model.size() && model.at(end - 1) == u'\r' && model.at(end) == u'\n')
                ++end;
            if (end > 0 && end < model.size() && model.at(end - 1).isHighSurrogate())
                ++end;
            QString inserted;
            for (quint32 n = random(4); n > 0; --n)
                inserted += pieces.at(random(quint32(pieces.size())));

            QVERIFY(box.setSelStart(start).ok());
            QVERIFY(box.setSelLength(end - start).ok());
            QCOMPARE(box.SelText(), model.mid(start, end - start));
            box.setSelText(inserted);
            QString shown = inserted;
            shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
            model.replace(start, end - start, shown);

            QCOMPARE(box.textLength(), model.size());
            QCOMPARE(box.SelStart(), start + shown.size());
            if (edit % 20 == 0)
                QCOMPARE(box.Text(), model);
        }
        QCOMPARE(box.Text(), model);

        const QString path = fresh().path(QStringLiteral("edited.txt"));
        QVERIFY(box.SaveFile(path).ok());
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), QString(model).replace(QStringLiteral("\r\n"), lineEndText(platformLineEnd()).toString()));
    }

    void copyingAndPastingInTheControlKeepsEveryCharacter()
    {
        RichTextBox box;
        const QString text = QStringLiteral("a\u00A0b\u2028c\td\r\ne");
        box.setSelText(text);
        QVERIFY(box.setSelStart(0).ok());
        QVERIFY(box.setSelLength(box.textLength()).ok());
        QTest::keySequence(&box, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\u00A0b\u2028c\td\ne"));
        QVERIFY(box.setSelStart(box.textLength()).ok());
        QTest::keySequence(&box, QKeySequence::Paste);
        QCOMPARE(box.Text(), text + text);
    }

    void invalidSelectionValuesAreRefused()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("abc"));
        QVERIFY(box.setSelStart(1).ok());
        QCOMPARE(box.setSelStart(-1).number, ErrorNumber::InvalidPropertyValue);
        QCOMPARE(box.setSelLength(-1).number, ErrorNumber::InvalidPropertyValue);
        QCOMPARE(box.SelStart(), 1);
        QVERIFY(box.setSelLength(100).ok());
        QCOMPARE(box.SelText(), QStringLiteral("bc"));
    }

    void everyChangeOfTheTextRaisesChangeAndNothingElseDoes()
    {
        RichTextBox box;
        QSignalSpy changes(&box, &RichTextBox::Change);
        type(&box, QStringLiteral("ab"));
        QCOMPARE(changes.count(), 2);
        box.setSelText(QStringLiteral("c"));
        QCOMPARE(changes.count(), 3);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(changes.count(), 4);

        QVERIFY(box.setSelStart(0).ok());
        QVERIFY(box.setSelLength(1).ok());
        box.setFontName(QStringLiteral("Fixedsys"));
        QVERIFY(box.setFontSize(12).ok());
        QVERIFY(box.setRightMargin(65535).ok());
        box.setHideSelection(false);
        QCOMPARE(changes.count(), 4);
    }

    void undoHasOneLevelAndUndoingItAgainRedoes()
    {
        RichTextBox box;
        type(&box, QStringLiteral("first"));
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(SendMessageA(box.hwnd(), EM_EMPTYUNDOBUFFER), 0);
        QCOMPARE(SendMessageA(box.hwnd(), EM_CANUNDO), 0);

        type(&box, QStringLiteral("typed"));
        QVERIFY(SendMessageA(box.hwnd(), EM_CANUNDO) != 0);
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(box.Text(), QStringLiteral("first\r\n"));
        QVERIFY(SendMessageA(box.hwnd(), EM_CANUNDO) != 0);
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(box.Text(), QStringLiteral("first\r\ntyped"));
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(box.Text(), QStringLiteral("first\r\n"));

        // A new change after an undo is what the next undo takes back.
        type(&box, QStringLiteral("X"));
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(box.Text(), QStringLiteral("first\r\n"));
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(box.Text(), QStringLiteral("first\r\nX"));

        SendMessageA(box.hwnd(), EM_EMPTYUNDOBUFFER);
        QCOMPARE(SendMessageA(box.hwnd(), EM_CANUNDO), 0);
        QCOMPARE(SendMessageA(box.hwnd(), EM_UNDO), 0);
        QCOMPARE(box.Text(), QStringLiteral("first\r\nX"));
    }

    void editKeysGoToTheWindowsShortcutsAndClipboardKeysToTheControlFirst()
    {
        // A window with shortcuts for some of the control's own keys, as the
        // frame's menu has them.
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *box = new RichTextBox;
        layout->addWidget(box);
        QMap<QString, int> triggered;
        QString textWhenCutShortcutRan;
        for (const QKeySequence &key : {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_X),
                                        QKeySequence(Qt::Key_Delete)}) {
            auto *action = new QAction(&window);
            action->setShortcut(key);
            window.addAction(action);
            connect(action, &QAction::triggered, this, [&, key] {
                ++triggered[key.toString()];
                if (key == QKeySequence(Qt::CTRL | Qt::Key_X))
                    textWhenCutShortcutRan = box->Text();
            });
        }
        QList<int> downs;
        connect(box, &RichTextBox::KeyDown, this, [&](int &code, int) { downs.append(code); });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        box->setFocus();
        type(box, QStringLiteral("cut me"));

        // Undo and Delete are the window's where it has them.
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(box->setSelStart(0).ok());
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->Text(), QStringLiteral("cut me"));
        QCOMPARE(triggered.value(QStringLiteral("Ctrl+Z")), 1);
        QCOMPARE(triggered.value(QStringLiteral("Del")), 1);

        // Cut: the control first, once, then the shortcut.
        downs.clear();
        QVERIFY(box->setSelLength(4).ok());
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(box->Text(), QStringLiteral("me"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("cut "));
        QCOMPARE(triggered.value(QStringLiteral("Ctrl+X")), 1);
        QCOMPARE(textWhenCutShortcutRan, QStringLiteral("me"));
        QCOMPARE(downs, (QList<int> {VirtualKey::Control, 'X'}));

        // Without a shortcut the control does the key's work itself, once.
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->Text(), QStringLiteral("cut cut me"));
        qDeleteAll(window.actions());
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->Text(), QStringLiteral("cut cut e"));
        // Undo by key is left to the window even then.
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->Text(), QStringLiteral("cut cut e"));
    }

    void keyEventsCarryVirtualKeyCodesAndShiftState()
    {
        RichTextBox box;
        QList<std::pair<int, int>> downs;
        QList<int> ups;
        connect(&box, &RichTextBox::KeyDown, this, [&](int &code, int shift) { downs.append({code, shift}); });
        connect(&box, &RichTextBox::KeyUp, this, [&](int &code, int) { ups.append(code); });
        // One event per key, as the window system delivers them: a modifier
        // key's own event carries the state from before it.
        const auto send = [&box](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
            QKeyEvent event(type, key, modifiers);
            QCoreApplication::sendEvent(&box, &event);
        };
        send(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
        send(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
        send(QEvent::KeyRelease, Qt::Key_V, Qt::ControlModifier);
        send(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
        send(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
        send(QEvent::KeyRelease, Qt::Key_F3, Qt::NoModifier);
        send(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier | Qt::AltModifier);
        send(QEvent::KeyRelease, Qt::Key_A, Qt::ShiftModifier | Qt::AltModifier);
        const QList<std::pair<int, int>> expected {{VirtualKey::Control, ShiftState::Ctrl},
                                                   {86, ShiftState::Ctrl},
                                                   {114, 0},
                                                   {65, ShiftState::Shift | ShiftState::Alt}};
        QCOMPARE(downs, expected);
        QCOMPARE(ups, (QList<int> {86, VirtualKey::Control, 114, 65}));
    }

    void aKeyDownHandlerCanKeepAKeyFromTheControl()
    {
        RichTextBox box;
        connect(&box, &RichTextBox::KeyDown, this, [](int &code, int) {
            if (code == 'Q')
                code = 0;
        });
        type(&box, QStringLiteral("aqb"));
        QCOMPARE(box.Text(), QStringLiteral("ab"));
    }

    void insertTogglesOverwriteMode()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("abc\r\nd"));
        QSignalSpy modes(&box, &RichTextBox::overwriteModeChanged);
        QVERIFY(box.setSelStart(1).ok());
        QTest::keyClick(&box, Qt::Key_Insert);
        QVERIFY(box.overwriteMode());
        type(&box, QStringLiteral("XYZ"));
        // Overwriting stops at the end of the line.
        QCOMPARE(box.Text(), QStringLiteral("aXYZ\r\nd"));
        QTest::keyClick(&box, Qt::Key_Insert);
        QVERIFY(!box.overwriteMode());
        QCOMPARE(modes.count(), 2);
        QVERIFY(box.setSelStart(0).ok());
        type(&box, QStringLiteral("_"));
        QCOMPARE(box.Text(), QStringLiteral("_aXYZ\r\nd"));
    }

    void fontAppliesToTheWholeTextAndRefusesAnImpossibleSize()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("some text"));
        box.setFontName(QStringLiteral("Fixedsys"));
        QCOMPARE(box.fontName(), QStringLiteral("Fixedsys"));
        QCOMPARE(box.font().family(), Screen::fontFamily(QStringLiteral("Fixedsys")));
        QVERIFY(box.setFontSize(9).ok());
        QCOMPARE(box.fontSize(), 9.0);
        QCOMPARE(box.setFontSize(0).number, ErrorNumber::InvalidPropertyValue);
        QCOMPARE(box.setFontSize(-3).number, ErrorNumber::InvalidPropertyValue);
        QCOMPARE(box.fontSize(), 9.0);
        QVERIFY(!box.font().bold() && !box.font().italic() && !box.font().underline() && !box.font().strikeOut());
    }

    void rightMarginZeroWrapsAtTheWindowEdgeAndAnyOtherDoesNot()
    {
        RichTextBox box;
        QCOMPARE(box.RightMargin(), 0);
        QVERIFY(box.wrapsAtEdge());
        QVERIFY(box.setRightMargin(65535).ok());
        QVERIFY(!box.wrapsAtEdge());
        QCOMPARE(box.setRightMargin(-1).number, ErrorNumber::InvalidPropertyValue);
        QCOMPARE(box.RightMargin(), 65535);
        QVERIFY(box.setRightMargin(0).ok());
        QVERIFY(box.wrapsAtEdge());
    }

    void lostFocusIsRaisedWhenAnotherControlTakesTheFocus()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *box = new RichTextBox;
        auto *other = new QLineEdit;
        layout->addWidget(box);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy lost(box, &RichTextBox::LostFocus);
        box->setFocus();
        QCOMPARE(Screen::activeControl(), box);
        other->setFocus();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(Screen::activeControl(), other);
    }

    void openingAMenuIsNoLossOfFocus()
    {
        RichTextBox box;
        QSignalSpy lost(&box, &RichTextBox::LostFocus);
        for (const Qt::FocusReason reason : {Qt::MenuBarFocusReason, Qt::PopupFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QCoreApplication::sendEvent(&box, &out);
        }
        QCOMPARE(lost.count(), 0);
    }
};

QUILLORY_SUITE(RichTextBoxEditing)
#include "tst_richtextbox_editing.moc"
