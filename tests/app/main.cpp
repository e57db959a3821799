// The window tests run under the program's own application object, so errors escaping a
// handler take the same road as in the program.
#include "app/application.h"

#include <QTest>

int runStartupTests(int argc, char** argv);
int runWindowTests(int argc, char** argv);

int main(int argc, char** argv) {
    tovera::TovApplication app(argc, argv);
    tovera::installJapaneseEnvironment(app);
    int failed = runStartupTests(argc, argv);
    failed += runWindowTests(argc, argv);
    return failed;
}
