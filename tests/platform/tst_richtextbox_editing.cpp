#include "platform/richtextbox.h"
#include "platform/keys.h"
#include "platform/screen.h"
#include "freshsuite.h"
#include "suites.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMap>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class RichTextBoxEditing : public FreshStateSuite
{
    Q_OBJECT

private slots:
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
        QTest::keyClicks(box, QStringLiteral("cut me"));

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
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("cut "));
        QCOMPARE(triggered.value(QStringLiteral("Ctrl+X")), 1);
        QCOMPARE(textWhenCutShortcutRan, QStringLiteral("me"));
        QCOMPARE(downs, (QList<int> {VirtualKey::Control, 'X'}));

        // Without a shortcut the control does the key's work itself, once.
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        qDeleteAll(window.actions());
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->Text(), QStringLiteral("cut cut e"));
        // Undo by key is left to the window even then.
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->Text(), QStringLiteral("cut cut e"));
    }

    void keyEventsCarryVirtualKeyCodesAndShiftStateAndAHandlerCanKeepAKey()
    {
        RichTextBox box;
        QList<std::pair<int, int>> downs;
        QList<int> ups;
        connect(&box, &RichTextBox::KeyDown, this, [&](int &code, int shift) {
            downs.append({code, shift});
            if (code == 'Q')
                code = 0;
        });
        connect(&box, &RichTextBox::KeyUp, this, [&](int &code, int) { ups.append(code); });
        QTest::keyClicks(&box, QStringLiteral("qb"));
        QCOMPARE(box.Text(), QStringLiteral("b"));
        // One event per key, as the window system delivers them: a modifier
        // key's own event carries the state from before it.
        for (const auto &[type, key, modifiers] :
             {std::tuple(QEvent::KeyPress, Qt::Key_Control, Qt::KeyboardModifiers(Qt::NoModifier)),
              std::tuple(QEvent::KeyPress, Qt::Key_V, Qt::KeyboardModifiers(Qt::ControlModifier)),
              std::tuple(QEvent::KeyRelease, Qt::Key_V, Qt::KeyboardModifiers(Qt::ControlModifier)),
              std::tuple(QEvent::KeyRelease, Qt::Key_Control, Qt::KeyboardModifiers(Qt::ControlModifier)),
              std::tuple(QEvent::KeyPress, Qt::Key_F3, Qt::KeyboardModifiers(Qt::NoModifier)),
              std::tuple(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier | Qt::AltModifier)}) {
            QKeyEvent event(type, key, modifiers);
            QCoreApplication::sendEvent(&box, &event);
        }
        const QList<std::pair<int, int>> expected {{81, 0}, {66, 0}, {VirtualKey::Control, ShiftState::Ctrl}, {86, ShiftState::Ctrl},
                                                   {114, 0}, {65, ShiftState::Shift | ShiftState::Alt}};
        QCOMPARE(downs, expected);
        QCOMPARE(ups, (QList<int> {81, 66, 86, VirtualKey::Control}));
    }

    void lostFocusIsRaisedWhenAnotherControlTakesTheFocusButNotForAMenu()
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
        for (const Qt::FocusReason reason : {Qt::MenuBarFocusReason, Qt::PopupFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QCoreApplication::sendEvent(box, &out);
        }
        QCOMPARE(lost.count(), 0);
        other->setFocus();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(Screen::activeControl(), other);
    }
};

QUILLORY_SUITE(RichTextBoxEditing)
#include "tst_richtextbox_editing.moc"
