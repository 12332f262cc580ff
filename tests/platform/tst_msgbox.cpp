#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/testseam.h"
#include "freshsuite.h"
#include "suites.h"

#include <QtTest>
#include <QtWidgets>

class MsgBoxTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void aBoxShowsItsTextPlainWithTheStylesButtonsAndEachGivesItsAnswer_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("press"); // NoButton: Escape; -1: no one answers
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton");
        using B = QMessageBox;
        QTest::newRow("OK") << 0 << int(B::Ok) << MsgBoxAnswer::Ok << int(B::NoIcon) << 1 << int(B::Ok);
        QTest::newRow("Yes of Yes/No/Cancel with an exclamation mark")
            << 51 << int(B::Yes) << MsgBoxAnswer::Yes << int(B::Warning) << 3 << int(B::Yes);
        QTest::newRow("No of Yes/No/Cancel, the second the default")
            << 259 << int(B::No) << MsgBoxAnswer::No << int(B::NoIcon) << 3 << int(B::No);
        QTest::newRow("Escape on Yes/No/Cancel") << 3 << int(B::NoButton) << MsgBoxAnswer::Cancel << int(B::NoIcon) << 3 << int(B::Yes);
        QTest::newRow("Retry of Retry/Cancel, critical")
            << 21 << int(B::Retry) << MsgBoxAnswer::Retry << int(B::Critical) << 2 << int(B::Retry);
        // Without waiting, as the Escape key would.
        QTest::newRow("no one answers Yes/No/Cancel") << 3 << -1 << MsgBoxAnswer::Cancel << 0 << 0 << 0;
        QTest::newRow("no one answers Yes/No") << 4 << -1 << MsgBoxAnswer::No << 0 << 0 << 0;
        QTest::newRow("no one answers OK") << 0 << -1 << MsgBoxAnswer::Ok << 0 << 0 << 0;
    }

    void aBoxShowsItsTextPlainWithTheStylesButtonsAndEachGivesItsAnswer()
    {
        QFETCH(int, press);
        const QString text = QStringLiteral("Error. Can't open file: <b>x</b>.txt");
        if (press >= 0)
            TestSeam::queueModalAction([&](QDialog &dialog) {
                auto &box = static_cast<QMessageBox &>(dialog);
                QCOMPARE(box.text(), text);
                QCOMPARE(box.textFormat(), Qt::PlainText);
                QCOMPARE(box.windowTitle(), QStringLiteral("<i>Open</i>"));
                QTEST(int(box.icon()), "icon");
                QTEST(int(box.buttons().size()), "buttons");
                QTEST(int(box.standardButton(box.defaultButton())), "defaultButton");
                if (press == QMessageBox::NoButton)
                    QTest::keyClick(&box, Qt::Key_Escape);
                else
                    QTest::mouseClick(box.button(QMessageBox::StandardButton(press)), Qt::LeftButton);
            });
        QFETCH(int, style);
        QTEST(MsgBox(text, style, QStringLiteral("<i>Open</i>")), "answer");
        QCOMPARE(TestSeam::shownMessages().at(0).text, text);
        QCOMPARE(TestSeam::shownMessages().at(0).answered, press >= 0);
    }

    // Without CustomizeWindowHint the window system puts every button there.
    void noModalWindowOffersMinimisingAndOneOfFixedSizeNoMaximising()
    {
        QDialog fixed;
        (new QVBoxLayout(&fixed))->setSizeConstraint(QLayout::SetFixedSize);
        QDialog sizable;
        QList<Qt::WindowFlags> flags;
        for (int shown = 0; shown < 3; ++shown)
            TestSeam::queueModalAction([&flags](QDialog &dialog) { flags << dialog.windowFlags(); });
        MsgBox(QStringLiteral("Error."), MsgBoxStyle::Exclamation);
        ShowModal(fixed);
        ShowModal(sizable);
        for (const Qt::WindowFlags shown : flags)
            QVERIFY((shown & Qt::CustomizeWindowHint) && (shown & Qt::WindowCloseButtonHint) && !(shown & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags[0] & Qt::WindowMaximizeButtonHint) && !(flags[1] & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags[2] & Qt::WindowMaximizeButtonHint);
    }
};

QUILLORY_SUITE(MsgBoxTest)
#include "tst_msgbox.moc"
