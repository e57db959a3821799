// One QApplication for the widget tests, which run as two test objects.
#include <QApplication>
#include <QTest>

int runWidgetTests(int argc, char** argv);
int runDialogTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = runWidgetTests(argc, argv);
    failed += runDialogTests(argc, argv);
    return failed;
}
