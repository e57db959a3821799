// The window tests run under the program's own application object, so errors escaping a
// handler take the same road as in the program.
#include "app/application.h"

#include <QTest>

int runStartupTests(int argc, char** argv);
int runWindowTests(int argc, char** argv);
// Whether `argv` names a test function of the object `runner` stands for (or names none).
bool wantsStartupTests(int argc, char** argv);
bool wantsWindowTests(int argc, char** argv);

int main(int argc, char** argv) {
    tovera::TovApplication app(argc, argv);
    tovera::installJapaneseEnvironment(app);
    int failed = 0;
    if (wantsStartupTests(argc, argv)) failed += runStartupTests(argc, argv);
    if (wantsWindowTests(argc, argv)) failed += runWindowTests(argc, argv);
    return failed;
}
