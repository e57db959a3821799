// Program entry: the application, the main window with the real dialogs and help viewer,
// the message loop.

#include "app/application.h"
#include "app/tovmain.h"
#include "widgets/helpviewer.h"
#include "widgets/qtdialogs.h"

int main(int argc, char** argv) {
    tovera::TovApplication app(argc, argv);
    tovera::installJapaneseEnvironment(app);

    tovera::WidgetDialogs dialogs;
    tovera::HelpViewer help(dialogs);
    app.setErrorDialogs(&dialogs);

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    int result = 0;
    {
        tovera::Tovmain window(dialogs, help, QCoreApplication::applicationDirPath(), arguments);
        dialogs.setParent(&window);
        window.show();
        result = app.exec();
        dialogs.setParent(nullptr);
    }
    app.setErrorDialogs(nullptr);
    return result;
}
