#pragma once

#include <QString>

// The system clipboard, text only.
namespace Clipboard {

void Clear();
// The text's CR LF line breaks go on the clipboard as the platform writes
// line breaks, so that other programs paste them as lines.
void SetText(const QString &text);
// Whether the clipboard holds text (an empty text counts).
bool HasText();
QString GetText();

} // namespace Clipboard
