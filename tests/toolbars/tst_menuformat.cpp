#include "programsuite.h"
#include "toolbars/menuformat.h"

#include <QAbstractItemView>

class FontCommandsTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void aFontChosenInTheBoxShowsInTheWholeDocumentAndInEachOneActivatedNext()
    {
        frmMainNote &frame = activeFrame();
        // The boxes' own filling applied nothing that is still pending.
        QVERIFY(!MenuFormat::SkipComboClick);
        QCOMPARE(text(1)->fontName(), QStringLiteral("Fixedsys"));
        text(1)->setSelText(QStringLiteral("some text"));
        selectText(text(1), 2, 3);

        frame.cboFont->setFocus();
        QTest::keyClick(frame.cboFont, Qt::Key_Down);
        const QString chosen = frame.cboFont->currentText();
        QVERIFY(chosen != QStringLiteral("Fixedsys"));
        QCOMPARE(text(1)->fontName(), chosen);
        QCOMPARE(text(1)->font().family(), Screen::fontFamily(chosen));
        QCOMPARE(text(1)->SelText(), QStringLiteral("me "));
        QTest::keyClick(frame.cboFont, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), text(1));

        MenuFile::FileNew();
        QCOMPARE(text(2)->fontName(), chosen);
        frame.cboFont->setCurrentIndex(frame.cboFont->findText(QStringLiteral("Fixedsys")));
        frame.mdiArea()->setActiveSubWindow(document(1));
        QCOMPARE(text(1)->fontName(), QStringLiteral("Fixedsys"));
    }

    void aSizeTypedInTheBoxAppliesOnEnterOrOnLeavingItUnlessTheDocumentRefusesIt_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("tab"); // else Enter
        QTest::addColumn<double>("size");
        QTest::newRow("Enter") << "14" << false << 14.0;
        QTest::newRow("Tab") << "20" << true << 20.0;
        // As typed: not completed to an entry of the list.
        QTest::newRow("no entry of the list") << "2" << false << 2.0;
        QTest::newRow("no number") << "big" << false << 9.0;
        QTest::newRow("zero") << "0" << false << 9.0;
        QTest::newRow("below zero") << "-3" << false << 9.0;
        QTest::newRow("too big") << "3000" << true << 9.0;
    }

    void aSizeTypedInTheBoxAppliesOnEnterOrOnLeavingItUnlessTheDocumentRefusesIt()
    {
        QFETCH(QString, typed);
        QFETCH(bool, tab);
        QFETCH(double, size);
        frmMainNote &frame = activeFrame();
        frame.cboSize->setFocus();
        frame.cboSize->lineEdit()->selectAll();
        QTest::keyClicks(frame.cboSize, typed);
        QCOMPARE(text(1)->fontSize(), 9.0);
        QTest::keyClick(frame.cboSize, tab ? Qt::Key_Tab : Qt::Key_Return);
        QCOMPARE(text(1)->fontSize(), size);
        // The box shows the size the document has, and its list is as it was.
        QCOMPARE(frame.cboSize->currentText(), QString::number(size));
        QCOMPARE(frame.cboSize->count(), 16);
        if (tab) {
            QVERIFY(!frame.cboSize->hasFocus());
        } else {
            // Typing goes on in the document.
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("hello"));
            QCOMPARE(text(1)->Text(), QStringLiteral("hello"));
        }
    }

    void aSizePickedFromTheListApplies()
    {
        frmMainNote &frame = activeFrame();
        frame.cboSize->setFocus();
        frame.cboSize->showPopup();
        QAbstractItemView *list = frame.cboSize->view();
        QTRY_VERIFY(list->isVisible());
        list->setCurrentIndex(list->model()->index(frame.cboSize->findText(QStringLiteral("24")), 0));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(text(1)->fontSize(), 24.0);
        // Chosen, the size is set: typing goes on in the document.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("hello"));
        QCOMPARE(text(1)->Text(), QStringLiteral("hello"));
    }
};

QUILLORY_SUITE(FontCommandsTest)
#include "tst_menuformat.moc"
