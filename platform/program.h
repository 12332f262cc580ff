#pragma once

#include <QString>

// The program as it is set up.
namespace App {
// The name of the program's help file; empty: the program has no help.
extern QString HelpFile;
}

// Ends the program at once: the event loop stops and no window's events run
// any more. Under the test seam the end is only recorded.
void EndProgram();
