#include "platform/help.h"
#include "platform/helpwindow.h"
#include "freshsuite.h"
#include "suites.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A guide whose sections lie far apart, so that reaching one shows in the
// scroll position.
QByteArray testGuide()
{
    QByteArray filler;
    for (int i = 0; i < 80; ++i)
        filler += "<p>Filler line.</p>\n";
    return "<html><body><h1>Test guide</h1>\n"
           "<p><a href=\"https://example.org/\">Go elsewhere</a></p><p><a href=\"#beta\">Go to Beta</a></p>\n"
        + filler
        + "<h2><a name=\"alpha\"></a>Alpha</h2>\n" + filler
        + "<h2><a name=\"beta\"></a>Beta</h2>\n" + filler
        + "<h2><a name=\"index\"></a>Index</h2><p>"
          "<a href=\"#beta\">beta keys</a><br>"
          "<a href=\"#alpha\">Alpha</a><br>"
          "<a href=\"#beta\">Bravo</a><br>"
          "<a href=\"#alpha\">&lt;b&gt;Tags&lt;/b&gt; &amp;amp; more</a><br>"
          "<a href=\"https://example.org/\">Elsewhere</a></p></body></html>";
}

// Every anchor name in the browser's guide, and the top of the block of each.
QHash<QString, int> anchorTops(const QTextBrowser &browser)
{
    QHash<QString, int> tops;
    const QTextDocument *document = browser.document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            for (const QString &name : it.fragment().charFormat().anchorNames())
                tops.insert(name, qRound(document->documentLayout()->blockBoundingRect(block).top()));
        }
    }
    return tops;
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
        if (error.failed() || !Help::window())
            qFatal("help did not show: %s", qPrintable(error.description));
        if (!QTest::qWaitForWindowActive(Help::window()))
            qWarning("the help window did not become active");
        return *Help::window();
    }

    // The guide is scrolled so that the anchor's section is at the top, as
    // far as the scroll range allows.
    static void verifyScrolledTo(const HelpWindow &window, const QString &anchor)
    {
        QCOMPARE(window.currentAnchor(), anchor);
        const QScrollBar *bar = window.browser()->verticalScrollBar();
        const int top = anchorTops(*window.browser()).value(anchor, -1);
        QVERIFY(top >= 0);
        QVERIFY2(qAbs(bar->value() - qMin(top, bar->maximum())) <= 2,
                 qPrintable(QStringLiteral("at %1, section at %2").arg(bar->value()).arg(top)));
    }

private slots:

    void aNameAloneIsFoundBesideTheProgramThenInTheInstalledDataFolder()
    {
        const QString beside = fresh().path(QStringLiteral("prefix/bin/QLRY.hlp"));
        const QString installed = fresh().path(QStringLiteral("prefix/share/quillory/QLRY.hlp"));
        writeFile(installed, "<p>installed</p>");
        Help::setProgramFolder(fresh().path(QStringLiteral("prefix/bin")));
        QCOMPARE(Help::locate(QStringLiteral("QLRY.hlp")), installed);

        writeFile(beside, "<p>beside</p>");
        QCOMPARE(Help::locate(QStringLiteral("QLRY.hlp")), beside);
        QVERIFY(WinHelpA(nullptr, QStringLiteral("QLRY.hlp"), HELP_CONTENTS).ok());
        QCOMPARE(Help::window()->browser()->toPlainText(), QStringLiteral("beside"));
    }

    void aMissingFileGivesFileNotFoundNamingItAndShowsNothing()
    {
        Help::setProgramFolder(fresh().path(QStringLiteral("bin")));
        Error error = WinHelpA(nullptr, QStringLiteral("QLRY.hlp"), HELP_PARTIALKEY, QStringLiteral("x"));
        QCOMPARE(error.number, ErrorNumber::FileNotFound);
        QVERIFY2(error.description.contains(QStringLiteral("QLRY.hlp")), qPrintable(error.description));
        QVERIFY(!Help::window());

        // Nor does it bring back a window shown before.
        HelpWindow &window = showTestGuide(HELP_CONTENTS);
        window.hide();
        error = WinHelpA(nullptr, fresh().path(QStringLiteral("gone/QLRY.hlp")), HELP_CONTENTS);
        QCOMPARE(error.number, ErrorNumber::FileNotFound);
        QVERIFY(error.description.contains(QDir::toNativeSeparators(fresh().path(QStringLiteral("gone/QLRY.hlp")))));
        QVERIFY(!window.isVisible());

        QCOMPARE(WinHelpA(nullptr, QStringLiteral("test.hlp"), HelpCommand(0x0001)).number, ErrorNumber::InvalidProcedureCall);
        QVERIFY(!window.isVisible());
    }

    void contentsShowsTheGuideFromItsTopWithoutTheKeywordPanel()
    {
        HelpWindow &window = showTestGuide(HELP_PARTIALKEY, QStringLiteral("beta"));
        QVERIFY(window.displaySelectedKeyword());
        QVERIFY(window.browser()->verticalScrollBar()->value() > 0);

        QVERIFY(WinHelpA(nullptr, QStringLiteral("test.hlp"), HELP_CONTENTS).ok());
        QVERIFY(window.isVisible() && window.isWindow() && !window.isModal());
        QCOMPARE(window.windowTitle(), QStringLiteral("Quillory Help"));
        QVERIFY(!window.keywordPanel()->isVisible());
        QCOMPARE(window.browser()->verticalScrollBar()->value(), 0);
        QCOMPARE(window.currentAnchor(), QString());
    }

    void searchShowsTheIndexWithTheKeyInTheFocusedBox()
    {
        HelpWindow &window = showTestGuide(HELP_CONTENTS);
        QCOMPARE(window.focusWidget(), window.browser());
        QVERIFY(WinHelpA(nullptr, QStringLiteral("test.hlp"), HELP_PARTIALKEY, QStringLiteral("BR")).ok());
        QVERIFY(window.keywordPanel()->isVisible());
        QCOMPARE(window.keywordBox()->text(), QStringLiteral("BR"));
        QCOMPARE(window.focusWidget(), window.keywordBox());
        QCOMPARE(window.keywordList()->currentItem()->text(), QStringLiteral("Bravo"));
        QCOMPARE(window.keywords(),
                 QStringList({QStringLiteral("<b>Tags</b> &amp; more"), QStringLiteral("Alpha"),
                              QStringLiteral("beta keys"), QStringLiteral("Bravo")}));
    }

    void typingSelectsTheFirstKeywordStartingWithItInAnyCase_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected");
        QTest::newRow("lower case") << "b" << "beta keys";
        QTest::newRow("upper case") << "BR" << "Bravo";
        QTest::newRow("no keyword starts so") << "az" << "beta keys";
        QTest::newRow("markup as text") << "<b>" << "<b>Tags</b> &amp; more";
    }

    void typingSelectsTheFirstKeywordStartingWithItInAnyCase()
    {
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        HelpWindow &window = showTestGuide(HELP_PARTIALKEY);
        QTest::keyClicks(window.keywordBox(), typed);
        QCOMPARE(window.keywordList()->currentItem()->text(), selected);
        QCOMPARE(window.keywordBox()->text(), typed);
    }

    void choosingAKeywordScrollsTheGuideToItsPlace_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Enter in the box") << "enter";
        QTest::newRow("double-click") << "double-click";
        QTest::newRow("Display button") << "button";
    }

    void choosingAKeywordScrollsTheGuideToItsPlace()
    {
        QFETCH(QString, how);
        HelpWindow &window = showTestGuide(HELP_PARTIALKEY, QStringLiteral("alp"));
        QCOMPARE(window.browser()->verticalScrollBar()->value(), 0);
        if (how == QLatin1String("enter")) {
            QTest::keyClick(window.keywordBox(), Qt::Key_Return);
        } else if (how == QLatin1String("double-click")) {
            QListWidget *list = window.keywordList();
            const QPoint at = list->visualItemRect(list->currentItem()).center();
            // The window system sends a press before the double-click;
            // QTest's double-click on a widget leaves it out.
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else {
            window.displayButton()->click();
        }
        verifyScrolledTo(window, QStringLiteral("alpha"));
        QVERIFY(window.browser()->verticalScrollBar()->value() > 0);
    }

    void aLinkInTheGuideLeadsToItsPlaceAndOthersStayOut()
    {
        HelpWindow &window = showTestGuide(HELP_CONTENTS);
        QTextBrowser *browser = window.browser();
        const QString text = browser->toPlainText();
        auto click = [browser](const QString &link) {
            QTextCursor at = browser->document()->find(link);
            QVERIFY(!at.isNull());
            at.setPosition(at.selectionStart() + 2);
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(at).center());
        };
        click(QStringLiteral("Go elsewhere"));
        QCOMPARE(browser->toPlainText(), text);
        QCOMPARE(window.currentAnchor(), QString());
        click(QStringLiteral("Go to Beta"));
        verifyScrolledTo(window, QStringLiteral("beta"));
        QCOMPARE(browser->toPlainText(), text);
    }

    void helpShownAgainReusesTheOneWindowEvenAfterEscapeClosedIt()
    {
        HelpWindow &window = showTestGuide(HELP_PARTIALKEY);
        QTest::keyClick(window.keywordBox(), Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QVERIFY(WinHelpA(nullptr, QStringLiteral("test.hlp"), HELP_CONTENTS).ok());
        QCOMPARE(Help::window(), &window);
        QVERIFY(window.isVisible());
        QVERIFY(WinHelpA(nullptr, QStringLiteral("test.hlp"), HELP_PARTIALKEY, QStringLiteral("<i>")).ok());
        QCOMPARE(Help::window(), &window);
        QCOMPARE(window.keywordBox()->text(), QStringLiteral("<i>"));
    }

    void theBuildPutsTheGuideBesideTheProgramAndEachOfItsLinksLeadsToAPlaceInIt()
    {
        Help::setProgramFolder(QStringLiteral(QUILLORY_PROGRAM_DIR));
        const QString found = Help::locate(QStringLiteral("QLRY.hlp"));
        QCOMPARE(found, QDir(QStringLiteral(QUILLORY_PROGRAM_DIR)).filePath(QStringLiteral("QLRY.hlp")));
        QCOMPARE(readFile(found), readFile(QStringLiteral(QUILLORY_HELP_SOURCE)));

        QVERIFY(WinHelpA(nullptr, QStringLiteral("QLRY.hlp"), HELP_PARTIALKEY).ok());
        HelpWindow &window = *Help::window();
        const QHash<QString, int> anchors = anchorTops(*window.browser());
        const QStringList keywords = window.keywords();
        for (const char *topic : {"File menu", "Edit menu", "View menu", "Window menu", "Help menu", "Find",
                                     "Open", "Save", "Print", "About box", "Status bar", "Toolbars"})
            QVERIFY2(keywords.contains(QLatin1String(topic)), topic);
        for (const QString &keyword : keywords) {
            const QString anchor = window.anchorOf(keyword);
            QVERIFY2(anchors.contains(anchor), qPrintable(keyword + QStringLiteral(" leads to #") + anchor));
        }
        // The contents at the top and the links between sections too.
        const QTextDocument *document = window.browser()->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QString href = it.fragment().charFormat().anchorHref();
                if (!href.isEmpty())
                    QVERIFY2(href.startsWith(QLatin1Char('#')) && anchors.contains(href.mid(1)), qPrintable(href));
            }
        }
    }
};

QUILLORY_SUITE(HelpTest)
#include "tst_help.moc"
