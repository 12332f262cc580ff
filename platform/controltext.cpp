#include "platform/controltext.h"

#include "platform/richtextbox.h"

#include <QComboBox>
#include <QLineEdit>

ControlText::ControlText(QWidget *control)
{
    m_box = qobject_cast<RichTextBox *>(control);
    if (auto *combo = qobject_cast<QComboBox *>(control))
        m_line = combo->isEditable() ? combo->lineEdit() : nullptr;
    else
        m_line = qobject_cast<QLineEdit *>(control);
    if (m_line && m_line->isReadOnly())
        m_line = nullptr;
}

bool ControlText::holdsText() const
{
    return m_box || m_line;
}

qsizetype ControlText::textLength() const
{
    if (m_box)
        return m_box->textLength();
    return m_line ? m_line->text().size() : 0;
}

qsizetype ControlText::SelStart() const
{
    if (m_box)
        return m_box->SelStart();
    if (!m_line)
        return 0;
    return m_line->hasSelectedText() ? m_line->selectionStart() : m_line->cursorPosition();
}

void ControlText::setSelStart(qsizetype start)
{
    if (m_box)
        (void)m_box->setSelStart(start);
    else if (m_line)
        m_line->setCursorPosition(int(qBound(qsizetype(0), start, textLength())));
}

qsizetype ControlText::SelLength() const
{
    if (m_box)
        return m_box->SelLength();
    return m_line ? m_line->selectedText().size() : 0;
}

void ControlText::setSelLength(qsizetype length)
{
    if (m_box) {
        (void)m_box->setSelLength(length);
    } else if (m_line) {
        const qsizetype start = SelStart();
        m_line->setSelection(int(start), int(qBound(qsizetype(0), length, textLength() - start)));
    }
}

QString ControlText::SelText() const
{
    if (m_box)
        return m_box->SelText();
    return m_line ? m_line->selectedText() : QString();
}

void ControlText::setSelText(const QString &text)
{
    if (m_box)
        m_box->setSelText(text);
    else if (m_line)
        m_line->insert(text);
}
