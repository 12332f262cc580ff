#include "document/menuedit.h"

namespace MenuEdit {

bool CutAllowed = false;
bool PasteAllowed = false;
bool CtrlDown = false;
unsigned char FindDirection = 0;

void resetState()
{
    CutAllowed = false;
    PasteAllowed = false;
    CtrlDown = false;
    FindDirection = 0;
}

} // namespace MenuEdit
