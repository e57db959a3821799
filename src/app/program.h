#pragma once
// The program's run: the main window with the real dialogs and help viewer, shown, and the
// message loop until the main window closes.

#include <QString>
#include <QStringList>
#include <functional>

namespace tovera {

class HelpViewer;
class TovApplication;
class Tovmain;

// Ties the end of the program to the main window: once `window` has accepted its close
// (終了, システム終了 or the window's own close button) the help viewer closes and the
// message loop ends, whatever other windows are still open.
void endProgramWithWindow(Tovmain& window, HelpViewer& help);

// Builds the main window over `executableFolder` (where 評価調書.mdb and ikatu.hlp lie)
// with the command-line `arguments` after the program name, shows it, calls `started`
// (when given) and runs the message loop until the main window closes. The window, and
// with it the database connection, is gone when this returns. Returns the loop's status.
int runProgram(TovApplication& app, const QString& executableFolder, const QStringList& arguments,
               const std::function<void(Tovmain&, HelpViewer&)>& started = {});

} // namespace tovera
