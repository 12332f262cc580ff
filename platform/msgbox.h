#pragma once

#include <QString>

// Message box styles: one button set, plus an icon, plus a default button.
namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int AbortRetryIgnore = 2;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int RetryCancel = 5;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
constexpr int DefaultButton3 = 512;
}

// The answers MsgBox returns: the button the user pressed.
namespace MsgBoxAnswer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}

// The title a message box gets when the caller gives none.
QString defaultMsgBoxTitle();

// Shows text (always as plain text, never as markup) with the buttons and
// icon of style, titled title, modally; returns the answer.
int MsgBox(const QString &text, int style = MsgBoxStyle::OkOnly, const QString &title = QString());
