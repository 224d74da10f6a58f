#pragma once
// Copies of the configuration file, kept before the store rewrites it.
// QSettings writes the whole file anew: it drops every comment and every line
// it cannot parse, and orders the keys its own way. A file that would lose lines
// so is copied beside itself first, once for each content it had: a second save,
// or a later run of the program, finds the copy already there.
#include <QByteArray>
#include <QString>

namespace ConfigFileCopies {

// After the file's own name, then the time of the copy:
// "config.ini.corrupt-20261210-211839", "config.ini.with-comments-20261210-211839".
inline constexpr const char* UNPARSABLE = ".corrupt-";
inline constexpr const char* COMMENTED = ".with-comments-";

// Before a write: false when the file would lose lines and no copy of it could
// be made (the write must not happen then).
bool beforeRewrite(const QString& path);
// After a write the file took: what it holds now is what QSettings wrote, which
// needs no copy.
void rewritten(const QString& path);

bool isUnparsable(const QByteArray& content);
// A line that begins with ";", or a value followed by "; ...".
bool holdsComments(const QByteArray& content);

}  // namespace ConfigFileCopies
