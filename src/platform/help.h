#pragma once
// The help system: opens a help file at its contents. The window's implementation shows
// the in-program viewer; tests record the calls.

#include <QString>

namespace tovera {

class HelpSystem {
public:
    virtual ~HelpSystem() = default;
    // Opens `helpFile` (full path) at its contents. Failures are shown to the user by the
    // implementation (a missing file gives a clear message); nothing is raised.
    virtual void showContents(const QString& helpFile) = 0;
};

} // namespace tovera
