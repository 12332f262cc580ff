#pragma once

#include <QString>

class QWidget;

// The text and selection of a control, whichever kind it is: a document's
// edit control or a one-line text box (also the one inside an editable combo
// box). Positions count characters of the control's text. A control that
// holds no editable text has an empty text and selection and takes no text.
class ControlText
{
public:
    explicit ControlText(QWidget *control);

    bool holdsText() const;
    qsizetype textLength() const;
    qsizetype SelStart() const;
    void setSelStart(qsizetype start);
    qsizetype SelLength() const;
    void setSelLength(qsizetype length);
    QString SelText() const;
    void setSelText(const QString &text);

private:
    class RichTextBox *m_box = nullptr;
    class QLineEdit *m_line = nullptr;
};
