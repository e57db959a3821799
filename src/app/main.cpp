// Program entry: the application and the main window's run.

#include "app/application.h"
#include "app/program.h"
#include "platform/memory.h"

int main(int argc, char** argv) {
    tovera::keepFreedMemoryForReuse();
    tovera::TovApplication app(argc, argv);
    tovera::installJapaneseEnvironment(app);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tovera::runProgram(app, QCoreApplication::applicationDirPath(), arguments);
}
