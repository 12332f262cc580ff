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
    bool isNumber = false;
    const double size = Quillo::MainForm->cboSize->currentText().trimmed().toDouble(&isNumber);
    if (isNumber)
        (void)text->setFontSize(size);
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
