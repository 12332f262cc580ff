#pragma once

// The font and format commands. A document shows all its text in one font;
// the font toolbar's boxes choose it for the active document.
namespace MenuFormat {

// While set, the next Click of a font box applies nothing.
extern bool SkipComboClick;

void FormatFontName();
// A size box that does not hold a size the control takes leaves the font as
// it is.
void FormatFontSize();
// One plain font for the whole text: these change nothing.
void FormatBold();
void FormatItalic();
void FormatUnderline();
void FormatTextColor();
void FormatBackColor();

void resetState();

} // namespace MenuFormat
