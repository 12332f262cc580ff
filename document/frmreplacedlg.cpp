#include "document/frmreplacedlg.h"

#include "document/menuedit.h"
#include "editor/storesearch.h"
#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/namedcombobox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "platform/statusbar.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPointer<frmReplaceDlg> loadedDialog;

// While Replace All goes through a long text the keys and clicks wait,
// but Esc stops it where it is.
class StopOnEscape : public QObject
{
public:
    StopOnEscape() { qApp->installEventFilter(this); }
    ~StopOnEscape() override { qApp->removeEventFilter(this); }
    bool stopped() const { return m_stopped; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            m_stopped = m_stopped || static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }

private:
    bool m_stopped = false;
};

QComboBox *historyBox()
{
    auto *box = new QComboBox;
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setMinimumContentsLength(24);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return box;
}

// The list shows the history, newest first; the box keeps its text.
void fillHistory(QComboBox &box, const std::array<QString, 5> &history)
{
    const QSignalBlocker blocker(&box);
    const QString text = box.currentText();
    box.clear();
    for (const QString &entry : history) {
        if (!entry.isEmpty())
            box.addItem(entry);
    }
    box.setCurrentIndex(-1);
    box.setEditText(text);
}

void pushFront(std::array<QString, 5> &history, const QString &text)
{
    if (text.isEmpty())
        return;
    auto found = std::find(history.begin(), history.end(), text);
    if (found == history.end())
        found = history.end() - 1;
    std::rotate(history.begin(), found, found + 1);
    history[0] = text;
}

} // namespace

frmReplaceDlg &frmReplaceDlg::Get()
{
    if (!loadedDialog)
        loadedDialog = new frmReplaceDlg(Quillo::MainForm);
    return *loadedDialog;
}

frmReplaceDlg *frmReplaceDlg::Loaded()
{
    return loadedDialog;
}

frmReplaceDlg::frmReplaceDlg(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Replace"));
    setModal(false);

    lblFind = new QLabel(QStringLiteral("Fi&nd what:"));
    cboFind = historyBox();
    lblFind->setBuddy(cboFind);
    nameComboBox(*cboFind, QStringLiteral("Find what"));
    lblReplace = new QLabel(QStringLiteral("Re&place with:"));
    cboReplace = historyBox();
    lblReplace->setBuddy(cboReplace);
    nameComboBox(*cboReplace, QStringLiteral("Replace with"));
    chkCase = new QCheckBox(QStringLiteral("Match &case"));
    chkWord = new QCheckBox(QStringLiteral("Match &whole word only"));
    chkExpression = new QCheckBox(QStringLiteral("Regular e&xpression"));
    lblResult = new QLabel;
    lblResult->setTextFormat(Qt::PlainText);

    cmdFindNext = new QPushButton(QStringLiteral("&Find Next"));
    cmdFindNext->setDefault(true);
    cmdReplace = new QPushButton(QStringLiteral("&Replace"));
    cmdReplaceAll = new QPushButton(QStringLiteral("Replace &All"));
    cmdClose = new QPushButton(QStringLiteral("Close"));
    for (QPushButton *button : {cmdReplace, cmdReplaceAll, cmdClose})
        button->setAutoDefault(false);

    auto *fields = new QGridLayout;
    fields->addWidget(lblFind, 0, 0);
    fields->addWidget(cboFind, 0, 1);
    fields->addWidget(lblReplace, 1, 0);
    fields->addWidget(cboReplace, 1, 1);
    fields->addWidget(chkCase, 2, 0, 1, 2);
    fields->addWidget(chkWord, 3, 0, 1, 2);
    fields->addWidget(chkExpression, 4, 0, 1, 2);
    fields->addWidget(lblResult, 5, 0, 1, 2);
    fields->setRowStretch(6, 1);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *button : {cmdFindNext, cmdReplace, cmdReplaceAll, cmdClose})
        buttons->addWidget(button);
    buttons->addStretch(1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    chkCase->setChecked(MenuEdit::MatchCase != 0);
    chkWord->setChecked(MenuEdit::WholeWord);
    chkExpression->setChecked(MenuEdit::RegularExpression);
    fillHistory(*cboFind, MenuEdit::FindWhat);
    fillHistory(*cboReplace, MenuEdit::ReplaceWith);
    cboFind_Change();

    connect(cboFind, &QComboBox::editTextChanged, this, &frmReplaceDlg::cboFind_Change);
    connect(chkCase, &QCheckBox::toggled, this, [](bool on) { MenuEdit::MatchCase = on ? 1 : 0; });
    connect(chkWord, &QCheckBox::toggled, this, [](bool on) { MenuEdit::WholeWord = on; });
    connect(chkExpression, &QCheckBox::toggled, this, [](bool on) { MenuEdit::RegularExpression = on; });
    connect(cmdFindNext, &QPushButton::clicked, this, &frmReplaceDlg::cmdFindNext_Click);
    connect(cmdReplace, &QPushButton::clicked, this, &frmReplaceDlg::cmdReplace_Click);
    connect(cmdReplaceAll, &QPushButton::clicked, this, &frmReplaceDlg::cmdReplaceAll_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmReplaceDlg::cmdClose_Click);
}

void frmReplaceDlg::Show()
{
    setDialogTitleButtons(*this);
    show();
    raise();
    activateWindow();
    cboFind->setFocus();
    cboFind->lineEdit()->selectAll();
}

void frmReplaceDlg::cboFind_Change()
{
    const bool any = !cboFind->currentText().isEmpty();
    for (QPushButton *button : {cmdFindNext, cmdReplace, cmdReplaceAll})
        button->setEnabled(any);
    m_emptyFoundAt = -1;
}

void frmReplaceDlg::remember()
{
    pushFront(MenuEdit::FindWhat, cboFind->currentText());
    pushFront(MenuEdit::ReplaceWith, cboReplace->currentText());
    // The search goes on from here with Find Next as well.
    MenuEdit::NewSearch = 255;
    fillHistory(*cboFind, MenuEdit::FindWhat);
    fillHistory(*cboReplace, MenuEdit::ReplaceWith);
}

std::unique_ptr<StoreSearch> frmReplaceDlg::search(RichTextBox *text)
{
    if (!text)
        return nullptr;
    remember();
    // A big file still being indexed is searched whole, as Find searches it.
    (void)text->completeText();
    SearchOptions options;
    options.matchCase = chkCase->isChecked();
    options.wholeWord = chkWord->isChecked();
    options.regularExpression = chkExpression->isChecked();
    auto found = std::make_unique<StoreSearch>(text->store(), cboFind->currentText(), options,
                                               4 * RichTextBox::fileBlockBytes());
    if (!found->error().isEmpty()) {
        MsgBox(QStringLiteral("Error. The regular expression is not valid: ") + found->error(),
               MsgBoxStyle::Exclamation, windowTitle());
        return nullptr;
    }
    return found;
}

void frmReplaceDlg::findFrom(RichTextBox &text, StoreSearch &search, qsizetype from)
{
    if (m_emptyFoundAt >= 0)
        search.passOverEmptyAt(m_emptyFoundAt);
    const StoreSearch::Match match = search.next(from);
    if (!match.found()) {
        m_emptyFoundAt = -1;
        MsgBox(QStringLiteral("Cannot find \"") + cboFind->currentText() + QStringLiteral("\" !"),
               MsgBoxStyle::Exclamation, windowTitle());
        return;
    }
    m_emptyFoundAt = match.start == match.end ? match.start : -1;
    text.setSelection(match.start, match.end);
    MenuEdit::LastFindPos = text.SelStart();
}

void frmReplaceDlg::cmdFindNext_Click()
{
    RichTextBox *text = Quillo::ActiveText();
    if (const std::unique_ptr<StoreSearch> found = search(text))
        findFrom(*text, *found, text->selectionEnd());
}

void frmReplaceDlg::cmdReplace_Click()
{
    RichTextBox *text = Quillo::ActiveText();
    const std::unique_ptr<StoreSearch> found = search(text);
    if (!found)
        return;
    // The selection is replaced only when it is an occurrence, an empty one
    // only when it was just found.
    const qsizetype start = text->selectionStart();
    const qsizetype end = text->selectionEnd();
    const bool wasFound = start != end || m_emptyFoundAt == start;
    const StoreSearch::Match match = wasFound ? found->next(start) : StoreSearch::Match();
    if (match.found() && match.start == start && match.end == end) {
        text->replaceEach({{start, end - start, found->replacement(match, cboReplace->currentText())}});
        m_emptyFoundAt = start == end && text->cursorPosition() == start ? start : -1;
    }
    findFrom(*text, *found, text->selectionEnd());
}

void frmReplaceDlg::cmdReplaceAll_Click()
{
    RichTextBox *text = Quillo::ActiveText();
    const std::unique_ptr<StoreSearch> found = search(text);
    if (!found)
        return;
    Screen::setMousePointer(MousePointer::Hourglass);
    QLabel *panel = Quillo::MainForm->sbStatusBar->panel(1);
    const QString ready = panel->text();
    std::vector<TextStore::Replacement> replacements;
    qsizetype count = 0;
    {
        const StopOnEscape escape;
        const double length = double(std::max<qsizetype>(1, text->store().length()));
        QElapsedTimer shown;
        shown.start();
        replacements = found->replaceAll(cboReplace->currentText(), &count, [&](qsizetype reached) {
            if (shown.elapsed() >= 100) {
                shown.restart();
                panel->setText(QStringLiteral("Replacing %1 %").arg(int(double(reached) * 100 / length)));
                panel->repaint();
                QCoreApplication::processEvents();
            }
            return !escape.stopped();
        });
    }
    text->replaceEach(replacements);
    panel->setText(ready);
    Screen::setMousePointer(MousePointer::Default);
    lblResult->setText(count == 1 ? QStringLiteral("1 occurrence replaced.")
                                  : QStringLiteral("%1 occurrences replaced.").arg(count));
}

void frmReplaceDlg::cmdClose_Click()
{
    close();
}

void frmReplaceDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdClose->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
