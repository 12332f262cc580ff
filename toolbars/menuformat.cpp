#include "toolbars/menuformat.h"

namespace MenuFormat {

bool SkipComboClick = false;

void resetState()
{
    SkipComboClick = false;
}

} // namespace MenuFormat
