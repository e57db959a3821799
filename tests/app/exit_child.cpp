// Helper of the window tests: runs the program's window over the folder given, opens the
// help viewer, then closes the main window the way named (owari: the button 終了, item: the
// side-bar item システム終了, frame: the window's own close) and reports on standard output
// what it saw. Arguments: FOLDER HOW. The process ends only when the message loop does.

#include "app/application.h"
#include "app/program.h"
#include "app/tovmain.h"
#include "widgets/helpviewer.h"
#include "widgets/sidebar.h"

#include <QAction>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

using namespace tovera;

namespace {

void say(const char* what, int value) {
    std::printf("%s: %d\n", what, value);
    std::fflush(stdout);
}

bool helpShown(const HelpViewer& help) {
    return help.window() && help.window()->isVisible();
}

} // namespace

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    if (argc != 3) return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QByteArray how = argv[2];
    const int result = runProgram(app, folder, {}, [how](Tovmain& w, HelpViewer& help) {
        QObject::connect(&w, &Tovmain::closed, &w,
                         [&help] { say("help after close", helpShown(help)); });
        QTimer::singleShot(0, &w, [&w, &help, how] {
            w.herupu1->trigger();
            say("help open", helpShown(help));
            QTimer::singleShot(50, &w, [&w, how] {
                if (how == "owari")
                    w.Owari->click();
                else if (how == "item")
                    w.InspectorBar1->itemButton(0, 3)->click();
                else
                    w.close();
            });
        });
    });
    say("loop ended", result);
    return result;
}
