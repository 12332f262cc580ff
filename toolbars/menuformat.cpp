#include "toolbars/menuformat.h"

#include "platform/richtextbox.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QComboBox>

namespace MenuFormat {

bool SkipComboClick = false;

void FormatFontName()
{
    RichTextBox *text = Quillo::ActiveText();
    if (!text)
        return;
    text->setHideSelection(true);
    text->setFontName(Quillo::MainForm->cboFont->currentText());
    text->setHideSelection(false);
}

void FormatFontSize()
{
    RichTextBox *text = Quillo::ActiveText();
    if (!text)
        return;
    text->setHideSelection(true);
    QComboBox *box = Quillo::MainForm->cboSize;
    bool isNumber = false;
    const double size = box->currentText().trimmed().toDouble(&isNumber);
    // A size the document refuses leaves the box showing the one it has.
    if (!isNumber || text->setFontSize(size).failed())
        box->setEditText(QString::number(text->fontSize()));
    text->setHideSelection(false);
}

void FormatBold() { }
void FormatItalic() { }
void FormatUnderline() { }
void FormatTextColor() { }
void FormatBackColor() { }

void resetState()
{
    SkipComboClick = false;
}

} // namespace MenuFormat
