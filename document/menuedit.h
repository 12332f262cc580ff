#pragma once

#include <QString>

#include <array>

// The edit commands: cut, copy, paste, delete, date and time, undo and redo,
// Find and Find Next, with the flags and search settings they share.
namespace MenuEdit {

// The next cut (paste) is carried out; cleared by Ctrl+X (Ctrl+V) in a
// document, whose control has cut (pasted) already, so that the same key's
// menu shortcut does not cut (paste) a second time.
extern bool CutAllowed;
extern bool PasteAllowed;
// Ctrl is held down in a document's edit control.
extern bool CtrlDown;

// Entry 0: the current search string; 0 to 4: the search history, newest
// first.
extern std::array<QString, 5> FindWhat;
// Non-zero: compare case-sensitively.
extern unsigned char MatchCase;
// 1: search down; any other value: search up.
extern unsigned char FindDirection;
// Non-zero: the next search is a new one and starts at the caret itself.
extern unsigned char NewSearch;
// Where the last search left the caret.
extern qsizetype LastFindPos;
// Replace's own history, newest first, and its further settings; Match
// Case and the search history are Find's.
extern std::array<QString, 5> ReplaceWith;
extern bool WholeWord;
extern bool RegularExpression;

// These act on the control that has the focus.
void EditCut();
void EditCopy();
void EditPaste();
void EditDelete();
// Undo and Redo are one command: the edit control's one level of undo,
// undone again.
void EditUndo();

// These act on the active document.
void EditSelectAll();
void EditInsertDateTime();
void EditFind();
void EditFindNext();
void EditReplace();
// Asks for a line and puts the caret at its start; either way the keys go
// back to the text.
void EditGoTo();

void resetState();

} // namespace MenuEdit
