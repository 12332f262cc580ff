#pragma once

#include "platform/error.h"

#include <QString>
#include <QStringList>

class HelpWindow;
class QWidget;

// Commands of WinHelpA.
enum HelpCommand : unsigned { HELP_CONTENTS = 0x0003, HELP_PARTIALKEY = 0x0105 };

// Shows the help file in the program's help window: HELP_CONTENTS shows the
// guide from its beginning; HELP_PARTIALKEY shows the same window with the
// keyword box over the guide's index, holding key (empty: the whole index).
// A file name without a folder is looked up beside the program, then in the
// data folder where the program is installed (../share/quillory beside the
// program's folder). Returns an error (53 "File not found", naming the file)
// when the file is not there or cannot be read, and shows nothing then; any
// other command gives error 5 and shows nothing either.
Error WinHelpA(QWidget *hwnd, const QString &helpFile, HelpCommand command, const QString &key = QString());

// Where help files are found, and the program's one help window.
class Help
{
public:
    // The folders a file name without a folder is looked up in, in order:
    // the program's folder, then the installed data folder.
    static QStringList searchFolders();
    // The full path of helpFile, or empty when it is not there. A name with
    // a folder is taken as it is, relative to the current folder.
    static QString locate(const QString &helpFile);
    // Looks files up as if the program were in folder (for tests); empty:
    // the program's own folder again.
    static void setProgramFolder(const QString &folder);

    // The help window, or null before help is first shown.
    static HelpWindow *window();

    // Back to the start: no help window, the program's own folder.
    static void resetState();
};
