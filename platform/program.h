#pragma once

// Ends the program at once: the event loop stops and no window's events run
// any more. Under the test seam the end is only recorded.
void EndProgram();
