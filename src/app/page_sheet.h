#pragma once
// Page 評点明細: its side bar and the place of the spreadsheet control.

#include <QObject>

class QWidget;

namespace tovera {

class SideBar;

class SheetPage : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls as children of `page`.
    explicit SheetPage(QWidget* page, QObject* parent = nullptr);

    SideBar* InspectorBar2 = nullptr;
    QWidget* ShellListView1 = nullptr; // the side-bar file list's place in panel 1
    QWidget* F5Book1 = nullptr;        // the spreadsheet control's place, (148, 8) 710 x 433
};

} // namespace tovera
