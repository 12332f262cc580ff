#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/testseam.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {

// What a message box showed, read off its controls.
struct SeenBox
{
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Qt::WindowFlags flags;
};

// Queues an action that reads the box and presses the given button
// (NoButton: Escape).
void pressOnNextBox(SeenBox &seen, QMessageBox::StandardButton press)
{
    TestSeam::queueModalAction([&seen, press](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        seen.text = box.text();
        seen.format = box.textFormat();
        seen.title = box.windowTitle();
        seen.icon = box.icon();
        seen.flags = box.windowFlags();
        for (QAbstractButton *b : box.buttons())
            seen.buttons << box.standardButton(b);
        if (box.defaultButton())
            seen.defaultButton = box.standardButton(box.defaultButton());
        if (press == QMessageBox::NoButton)
            QTest::keyClick(&box, Qt::Key_Escape);
        else
            box.button(press)->click();
    });
}

} // namespace

class MsgBoxTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void testsAnswerABoxAndSeeExactlyWhatItShowed()
    {
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        const QString text = QStringLiteral("Text in [Untitled1] has been modified.\r\nDo you want to save the changes?");
        QCOMPARE(MsgBox(text, 51, QStringLiteral("Untitled1")), MsgBoxAnswer::No);
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        const TestSeam::ShownMessage &shown = TestSeam::shownMessages().at(0);
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.style, 51);
        QCOMPARE(shown.title, QStringLiteral("Untitled1"));
        QVERIFY(shown.answered);
    }

    void noModalWindowOffersMinimisingAndOneOfFixedSizeNoMaximising()
    {
        SeenBox seen;
        pressOnNextBox(seen, QMessageBox::Ok);
        MsgBox(QStringLiteral("Error."), MsgBoxStyle::Exclamation);
        // Without CustomizeWindowHint the window system puts every button there.
        QVERIFY(seen.flags & Qt::CustomizeWindowHint);
        QVERIFY(!(seen.flags & Qt::WindowMinMaxButtonsHint));
        QVERIFY(seen.flags & Qt::WindowCloseButtonHint);
        for (bool fixedSize : {true, false}) {
            QDialog dialog;
            auto *layout = new QVBoxLayout(&dialog);
            layout->addWidget(new QLabel(QStringLiteral("a dialog")));
            if (fixedSize)
                layout->setSizeConstraint(QLayout::SetFixedSize);
            Qt::WindowFlags flags;
            TestSeam::queueModalAction([&flags](QDialog &shown) { flags = shown.windowFlags(); shown.accept(); });
            ShowModal(dialog);
            QVERIFY((flags & Qt::CustomizeWindowHint) && !(flags & Qt::WindowMinimizeButtonHint));
            QCOMPARE(bool(flags & Qt::WindowMaximizeButtonHint), !fixedSize);
        }
    }

    void anUnansweredBoxTakesItsEscapeAnswerWithoutWaiting()
    {
        QCOMPARE(MsgBox(QStringLiteral("q"), MsgBoxStyle::YesNoCancel), MsgBoxAnswer::Cancel);
        QCOMPARE(MsgBox(QStringLiteral("q"), MsgBoxStyle::YesNo), MsgBoxAnswer::No);
        QCOMPARE(MsgBox(QStringLiteral("q")), MsgBoxAnswer::Ok);
        QCOMPARE(TestSeam::shownMessages().size(), 3);
        QVERIFY(!TestSeam::shownMessages().at(0).answered);
        QCOMPARE(TestSeam::shownMessages().at(2).title, defaultMsgBoxTitle());
    }

    void theBoxShowsItsTextAsPlainTextWithTheStylesButtonsAndIcon()
    {
        SeenBox seen;
        pressOnNextBox(seen, QMessageBox::Yes);
        const QString text = QStringLiteral("Error. Can't open file: <b>x</b>.txt");
        QCOMPARE(MsgBox(text, MsgBoxStyle::YesNoCancel | MsgBoxStyle::Exclamation, QStringLiteral("<i>Open</i>")),
                 MsgBoxAnswer::Yes);
        QCOMPARE(seen.text, text);
        QCOMPARE(seen.format, Qt::PlainText);
        QCOMPARE(seen.title, QStringLiteral("<i>Open</i>"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons.size(), 3);
        QVERIFY(seen.buttons.contains(QMessageBox::Yes) && seen.buttons.contains(QMessageBox::No)
                && seen.buttons.contains(QMessageBox::Cancel));
        QCOMPARE(seen.defaultButton, QMessageBox::Yes);
        QCOMPARE(TestSeam::shownMessages().at(0).answer, MsgBoxAnswer::Yes);
    }

    void eachButtonGivesItsAnswer_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << 0 << int(QMessageBox::Ok) << MsgBoxAnswer::Ok;
        QTest::newRow("No of Yes/No/Cancel") << 51 << int(QMessageBox::No) << MsgBoxAnswer::No;
        QTest::newRow("Escape on Yes/No/Cancel") << 51 << int(QMessageBox::NoButton) << MsgBoxAnswer::Cancel;
        QTest::newRow("Retry of Retry/Cancel") << 5 << int(QMessageBox::Retry) << MsgBoxAnswer::Retry;
    }

    void eachButtonGivesItsAnswer()
    {
        QFETCH(int, style);
        QFETCH(int, press);
        QFETCH(int, answer);
        SeenBox seen;
        pressOnNextBox(seen, QMessageBox::StandardButton(press));
        QCOMPARE(MsgBox(QStringLiteral("question"), style, QStringLiteral("t")), answer);
    }

    void aModalWindowIsActedOnThroughItsControls()
    {
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        auto *name = new QLineEdit;
        auto *ok = new QPushButton(QStringLiteral("&OK"));
        layout->addWidget(name);
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);

        bool wasModal = false;
        TestSeam::queueModalAction([&](QDialog &shown) {
            wasModal = shown.isVisible() && shown.isModal();
            QTest::keyClicks(name, QStringLiteral("note.txt"));
            ok->click();
        });
        QCOMPARE(ShowModal(dialog), int(QDialog::Accepted));
        QVERIFY(wasModal);
        QCOMPARE(name->text(), QStringLiteral("note.txt"));
        QCOMPARE(TestSeam::modalWindowsLeftOpen(), 0);
    }

    void aModalWindowLeftOpenOrUnexpectedNeverBlocksATest()
    {
        QDialog dialog;
        TestSeam::queueModalAction([](QDialog &) {});
        QCOMPARE(ShowModal(dialog), int(QDialog::Rejected));
        QCOMPARE(TestSeam::modalWindowsLeftOpen(), 1);
        QVERIFY(!dialog.isVisible());

        QCOMPARE(ShowModal(dialog), int(QDialog::Rejected));
        QCOMPARE(TestSeam::unhandledModalWindows(), 1);
    }
};

QUILLORY_SUITE(MsgBoxTest)
#include "tst_msgbox.moc"
