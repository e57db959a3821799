#include "app/program.h"

#include "app/application.h"
#include "app/tovmain.h"
#include "widgets/helpviewer.h"
#include "widgets/qtdialogs.h"

namespace tovera {

void endProgramWithWindow(Tovmain& window, HelpViewer& help) {
    QObject::connect(&window, &Tovmain::closed, &window, [&help] {
        help.close();
        QCoreApplication::quit();
    });
}

int runProgram(TovApplication& app, const QString& executableFolder, const QStringList& arguments,
               const std::function<void(Tovmain&, HelpViewer&)>& started) {
    WidgetDialogs dialogs;
    HelpViewer help(dialogs);
    app.setErrorDialogs(&dialogs);
    int result = 0;
    {
        Tovmain window(dialogs, help, executableFolder, arguments);
        dialogs.setParent(&window);
        endProgramWithWindow(window, help);
        window.show();
        if (started) started(window, help);
        result = app.exec();
        dialogs.setParent(nullptr);
    }
    app.setErrorDialogs(nullptr);
    return result;
}

} // namespace tovera
