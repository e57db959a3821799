// One QApplication for the widget tests, which run as two test objects.
#include <QApplication>
#include <QTest>

int runWidgetTests(int argc, char** argv);
int runDialogTests(int argc, char** argv);
bool wantsWidgetTests(int argc, char** argv);
bool wantsDialogTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    if (wantsWidgetTests(argc, argv)) failed += runWidgetTests(argc, argv);
    if (wantsDialogTests(argc, argv)) failed += runDialogTests(argc, argv);
    return failed;
}
