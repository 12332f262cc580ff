#pragma once

#include <QString>

// The last five files opened or saved, most recent first, kept in the
// per-user store and shown as items 11 to 15 of the frame's File menu. The
// menu's captions ("&1   " and the path) are the list while the program runs.
namespace Registry {

// Shows the stored paths up to the first one missing, with the separator
// above them; items past that are left as they are.
void LoadRecentFiles();
// The number (1 to 5) of the item that lists path, compared exactly; 0 when
// none does.
int FindRecentFile(const QString &path);
// Makes path the most recent file and shows the list again; the encoding
// it was last opened in stays with it.
void AddRecentFile(const QString &path);
// As above, remembering encoding (empty: found from the bytes) for the path.
void AddRecentFile(const QString &path, const QString &encoding);
// Moves the stored paths one place down, the fifth dropping out, and stores
// path first, with its encoding.
void InsertRecentFile(const QString &path, const QString &encoding = QString());
// The encoding recent file n (1 to 5) was opened in; empty when none was
// chosen.
QString RecentEncoding(int n);

} // namespace Registry
