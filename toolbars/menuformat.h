#pragma once

// The font and format commands' module; here, the flag that keeps the font
// boxes' own filling from applying a font.
namespace MenuFormat {

// While set, the next Click of a font box applies nothing.
extern bool SkipComboClick;

void resetState();

} // namespace MenuFormat
