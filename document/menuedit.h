#pragma once

// The edit commands' module; here, the flags that start-up and the
// document windows set.
namespace MenuEdit {

// The next cut (paste) is carried out; cleared by Ctrl+X (Ctrl+V) in a
// document, so that one key press does not cut (paste) twice.
extern bool CutAllowed;
extern bool PasteAllowed;
// Ctrl is held down in a document's edit control.
extern bool CtrlDown;
// 1: search down; any other value: search up.
extern unsigned char FindDirection;

void resetState();

} // namespace MenuEdit
