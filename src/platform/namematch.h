#pragma once
// The name test every drop handler applies to a dropped or dragged path before it acts
// on it: a byte-wise, case-sensitive match of code page 932 bytes against a pattern in
// which "*" stands for a run of characters and "?" for one character.

#include <QByteArray>
#include <QString>

namespace tovera {

// True when `name` passes `pattern`. Both are code page 932 bytes; bytes are compared
// as they are (a double-byte character counts as two characters, upper and lower case
// differ). A star scans forward to the first byte equal to the pattern byte after it;
// when the following bytes do not match, the scan resumes after the byte that did not
// match. An empty name never passes a pattern that needs a character. Never fails.
bool matchesPattern(const QByteArray& name, const QByteArray& pattern);

// The same test on texts, each converted to code page 932 first (a character without a
// code page 932 form becomes "?").
bool matchesPattern(const QString& name, const QString& pattern);

} // namespace tovera
