#include "platform/msgbox.h"

#include "platform/modal.h"
#include "platform/testseam.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace {

struct ButtonSet
{
    QList<QMessageBox::StandardButton> buttons;
    int escapeAnswer;
};

ButtonSet buttonsOf(int style)
{
    using B = QMessageBox;
    switch (style & 7) {
    case MsgBoxStyle::OkCancel: return {{B::Ok, B::Cancel}, MsgBoxAnswer::Cancel};
    case MsgBoxStyle::AbortRetryIgnore: return {{B::Abort, B::Retry, B::Ignore}, MsgBoxAnswer::Abort};
    case MsgBoxStyle::YesNoCancel: return {{B::Yes, B::No, B::Cancel}, MsgBoxAnswer::Cancel};
    case MsgBoxStyle::YesNo: return {{B::Yes, B::No}, MsgBoxAnswer::No};
    case MsgBoxStyle::RetryCancel: return {{B::Retry, B::Cancel}, MsgBoxAnswer::Cancel};
    default: return {{B::Ok}, MsgBoxAnswer::Ok};
    }
}

int answerOf(QMessageBox::StandardButton button, int escapeAnswer)
{
    switch (button) {
    case QMessageBox::Ok: return MsgBoxAnswer::Ok;
    case QMessageBox::Cancel: return MsgBoxAnswer::Cancel;
    case QMessageBox::Abort: return MsgBoxAnswer::Abort;
    case QMessageBox::Retry: return MsgBoxAnswer::Retry;
    case QMessageBox::Ignore: return MsgBoxAnswer::Ignore;
    case QMessageBox::Yes: return MsgBoxAnswer::Yes;
    case QMessageBox::No: return MsgBoxAnswer::No;
    default: return escapeAnswer;
    }
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case MsgBoxStyle::Critical: return QMessageBox::Critical;
    case MsgBoxStyle::Question: return QMessageBox::Question;
    case MsgBoxStyle::Exclamation: return QMessageBox::Warning;
    case MsgBoxStyle::Information: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

QString defaultMsgBoxTitle()
{
    return QStringLiteral("Quillory");
}

int MsgBox(const QString &text, int style, const QString &title)
{
    const QString shownTitle = title.isEmpty() ? defaultMsgBoxTitle() : title;
    const ButtonSet set = buttonsOf(style);

    if (TestSeam::enabled()) {
        int answer = 0;
        if (TestSeam::takeMessageBoxAnswer(answer)) {
            TestSeam::recordMessage({text, style, shownTitle, answer, true});
            return answer;
        }
        if (!TestSeam::hasModalAction()) {
            TestSeam::recordMessage({text, style, shownTitle, set.escapeAnswer, false});
            return set.escapeAnswer;
        }
    }

    QMessageBox box(iconOf(style), shownTitle, text);
    box.setTextFormat(Qt::PlainText);
    for (QMessageBox::StandardButton b : set.buttons)
        box.addButton(b);
    const int defaultIndex = (style >> 8) & 3;
    if (defaultIndex < set.buttons.size())
        box.setDefaultButton(set.buttons.at(defaultIndex));

    ShowModal(box);
    const int answer = answerOf(box.standardButton(box.clickedButton()), set.escapeAnswer);
    if (TestSeam::enabled())
        TestSeam::recordMessage({text, style, shownTitle, answer, true});
    return answer;
}
