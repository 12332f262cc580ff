#include "filebytes.h"
#include "platform/help.h"
#include "platform/helpwindow.h"
#include "freshsuite.h"
#include "suites.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// A guide whose sections lie far apart, so that reaching one shows in the
// scroll position.
QByteArray testGuide()
{
    const QByteArray filler = QByteArray("<p>Filler line.</p>\n").repeated(80);
    return "<p><a href=\"https://example.org/\">Go elsewhere</a></p><p><a href=\"#beta\">Go to Beta</a></p>\n" + filler
        + "<h2><a name=\"alpha\"></a>Alpha</h2>\n" + filler + "<h2><a name=\"beta\"></a>Beta</h2>\n" + filler
        + "<h2><a name=\"index\"></a>Index</h2><p><a href=\"#beta\">beta keys</a><br><a href=\"#alpha\">Alpha</a><br>"
          "<a href=\"#beta\">Bravo</a><br><a href=\"#alpha\">&lt;b&gt;Tags&lt;/b&gt; &amp;amp; more</a><br>"
          "<a href=\"https://example.org/\">Elsewhere</a></p>";
}

// Every anchor name in the browser's guide, and the top of the block of each.
QHash<QString, int> anchorTops(const QTextBrowser &browser)
{
    QHash<QString, int> tops;
    const QTextDocument *document = browser.document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            for (const QString &name : it.fragment().charFormat().anchorNames())
                tops.insert(name, qRound(document->documentLayout()->blockBoundingRect(block).top()));
    }
    return tops;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && writeBytes(path, bytes));
}

} // namespace

class HelpTest : public FreshStateSuite
{
    Q_OBJECT

    // Shows the test guide from fresh().folder()/bin, as if the program lay there.
    HelpWindow &showTestGuide(HelpCommand command, const QString &key = QString())
    {
        writeFile(fresh().path(QStringLiteral("bin/test.hlp")), testGuide());
        Help::setProgramFolder(fresh().path(QStringLiteral("bin")));
        const Error error = WinHelpA(nullptr, QStringLiteral("test.hlp"), command, key);
        if (error.failed() || !QTest::qWaitForWindowActive(Help::window()))
            qFatal("the help window did not show");
        return *Help::window();
    }

private slots:

    // A file that is not there, or a command not known, shows nothing, nor
    // brings back a window shown before.
    void aNameAloneIsFoundBesideTheProgramThenInTheInstalledDataFolder()
    {
        writeFile(fresh().path(QStringLiteral("prefix/share/quillory/QLRY.hlp")), "<p>installed</p>");
        Help::setProgramFolder(fresh().path(QStringLiteral("prefix/bin")));
        QCOMPARE(Help::locate(QStringLiteral("QLRY.hlp")), fresh().path(QStringLiteral("prefix/share/quillory/QLRY.hlp")));
        writeFile(fresh().path(QStringLiteral("prefix/bin/QLRY.hlp")), "<p>beside</p>");
        QVERIFY(WinHelpA(nullptr, QStringLiteral("QLRY.hlp"), HELP_CONTENTS).ok());
        QCOMPARE(Help::window()->browser()->toPlainText(), QStringLiteral("beside"));

        Help::window()->hide();
        const QString gone = fresh().path(QStringLiteral("gone/QLRY.hlp"));
        const Error error = WinHelpA(nullptr, gone, HELP_PARTIALKEY, QStringLiteral("x"));
        QCOMPARE(error.number, ErrorNumber::FileNotFound);
        QVERIFY2(error.description.contains(QDir::toNativeSeparators(gone)), qPrintable(error.description));
        QCOMPARE(WinHelpA(nullptr, QStringLiteral("QLRY.hlp"), HelpCommand(1)).number, ErrorNumber::InvalidProcedureCall);
        QVERIFY(!Help::window()->isVisible());
    }

    // Typing selects the first keyword that starts with what the box holds,
    // in any case, markup as text. Shown again, after Escape closed it too,
    // help reuses its one window.
    void searchShowsTheIndexWithTheKeyInTheFocusedBoxAndContentsTheGuideFromItsTop()
    {
        HelpWindow &window = showTestGuide(HELP_PARTIALKEY, QStringLiteral("BR"));
        QVERIFY(window.keywordPanel()->isVisible());
        QCOMPARE(window.focusWidget(), window.keywordBox());
        QCOMPARE(window.keywordBox()->text(), QStringLiteral("BR"));
        QCOMPARE(window.keywordList()->currentItem()->text(), QStringLiteral("Bravo"));
        QCOMPARE(window.keywords(), QStringList({"<b>Tags</b> &amp; more", "Alpha", "beta keys", "Bravo"}));
        for (const auto &[typed, selected] :
             {std::pair {"b", "beta keys"}, {"az", "beta keys"}, {"<B>", "<b>Tags</b> &amp; more"}}) {
            window.keywordBox()->clear();
            QTest::keyClicks(window.keywordBox(), QLatin1String(typed));
            QCOMPARE(window.keywordList()->currentItem()->text(), QLatin1String(selected));
        }
        QVERIFY(window.displaySelectedKeyword());
        QVERIFY(window.browser()->verticalScrollBar()->value() > 0);
        QTest::keyClick(window.keywordBox(), Qt::Key_Escape);
        QVERIFY(!window.isVisible());

        QVERIFY(WinHelpA(nullptr, QStringLiteral("test.hlp"), HELP_CONTENTS).ok());
        QCOMPARE(Help::window(), &window);
        QVERIFY(window.isVisible() && !window.isModal());
        QVERIFY(!window.keywordPanel()->isVisible());
        QCOMPARE(window.browser()->verticalScrollBar()->value(), 0);
        QCOMPARE(window.currentAnchor(), QString());
    }

    void choosingAKeywordOrALinkScrollsTheGuideToItsPlace_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("anchor");
        QTest::newRow("Enter in the box") << "enter" << "alpha";
        QTest::newRow("double-click") << "double-click" << "alpha";
        QTest::newRow("Display button") << "button" << "alpha";
        // One out of the guide is not followed.
        QTest::newRow("links in the guide") << "links" << "beta";
    }

    // The section comes to the top, as far as the scroll range allows.
    void choosingAKeywordOrALinkScrollsTheGuideToItsPlace()
    {
        QFETCH(QString, how);
        HelpWindow &window = showTestGuide(HELP_PARTIALKEY, QStringLiteral("alp"));
        QTextBrowser *browser = window.browser();
        const QString text = browser->toPlainText();
        QListWidget *list = window.keywordList();
        const QPoint at = list->visualItemRect(list->currentItem()).center();
        if (how == u"enter") {
            QTest::keyClick(window.keywordBox(), Qt::Key_Return);
        } else if (how == u"double-click") {
            // The window system sends a press before the double-click;
            // QTest's double-click on a widget leaves it out.
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else if (how == u"button") {
            QTest::mouseClick(window.displayButton(), Qt::LeftButton);
        } else {
            for (const QString &link : {QStringLiteral("Go elsewhere"), QStringLiteral("Go to Beta")}) {
                QTextCursor cursor = browser->document()->find(link);
                cursor.setPosition(cursor.selectionStart() + 2);
                QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(cursor).center());
            }
        }
        QCOMPARE(browser->toPlainText(), text);
        QTEST(window.currentAnchor(), "anchor");
        const int top = anchorTops(*browser).value(window.currentAnchor());
        const QScrollBar *bar = browser->verticalScrollBar();
        QVERIFY2(top > 0 && qAbs(bar->value() - qMin(top, bar->maximum())) <= 2,
                 qPrintable(QStringLiteral("at %1, section at %2").arg(bar->value()).arg(top)));
    }

    void theBuildPutsTheGuideBesideTheProgramAndEachOfItsLinksLeadsToAPlaceInIt()
    {
        Help::setProgramFolder(QStringLiteral(QUILLORY_PROGRAM_DIR));
        const QString found = Help::locate(QStringLiteral("QLRY.hlp"));
        QCOMPARE(found, QDir(QStringLiteral(QUILLORY_PROGRAM_DIR)).filePath(QStringLiteral("QLRY.hlp")));
        QCOMPARE(readBytes(found), readBytes(QStringLiteral(QUILLORY_HELP_SOURCE)));
        QVERIFY(WinHelpA(nullptr, QStringLiteral("QLRY.hlp"), HELP_PARTIALKEY).ok());
        HelpWindow &window = *Help::window();
        const QHash<QString, int> anchors = anchorTops(*window.browser());
        QStringList links;
        for (const QString &keyword : window.keywords())
            links << u'#' + window.anchorOf(keyword);
        // The contents at the top and the links between sections too.
        for (QTextBlock block = window.browser()->document()->begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                links << it.fragment().charFormat().anchorHref();
        for (const QString &link : links)
            QVERIFY2(link.isEmpty() || (link.startsWith(u'#') && anchors.contains(link.mid(1))), qPrintable(link));
    }
};

QUILLORY_SUITE(HelpTest)
#include "tst_help.moc"
