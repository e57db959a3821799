#include "platform/namematch.h"

#include "platform/codepage.h"

namespace tovera {

bool matchesPattern(const QByteArray& name, const QByteArray& pattern) {
    // Positions count from 1, as the drop handlers' test has always counted them.
    const qsizetype patternLength = pattern.size();
    const qsizetype nameLength = name.size();
    const auto patternAt = [&](qsizetype position) { return pattern[position - 1]; };
    const auto nameAt = [&](qsizetype position) { return name[position - 1]; };

    qsizetype i = 0; // pattern characters used
    qsizetype j = 0; // name characters used
    bool failed = false;
    bool afterStar = false;
    qsizetype starAt = 0; // position of the last star met

    while (i < patternLength && j < nameLength && !failed) {
        ++i;
        ++j;
        const char c = patternAt(i);
        if (c == '*') {
            starAt = i;
            afterStar = true;
            ++i;
            if (i > patternLength) {
                // A star at the end takes the rest of the name.
                j = nameLength;
            } else {
                // Scan for the pattern character after the star; it is then matched.
                while (j <= nameLength && nameAt(j) != patternAt(i)) ++j;
                if (j > nameLength) failed = true;
            }
        } else if (c == '?') {
            afterStar = false;
        } else if (c != nameAt(j)) {
            if (afterStar)
                i = starAt - 1; // take the star again, scanning on after this character
            else
                failed = true;
        }
    }

    if (failed) return false;
    if (patternLength > 0 && i == patternLength - 1 && patternAt(patternLength) == '*') return true;
    if (i < patternLength) return false;
    return j == nameLength;
}

bool matchesPattern(const QString& name, const QString& pattern) {
    return matchesPattern(toCp932(name), toCp932(pattern));
}

} // namespace tovera
