#pragma once
// The attachments of the current house record: the drawing stored in column zumen (shown,
// cleared from the view, registered from the last outside drop, from a chosen file or from
// a file dragged onto 図面直接登録, exported byte for byte) and the erasing of either stored
// attachment with a right click on its check label.

#include <QObject>
#include <QString>

class QAbstractButton;
class QByteArray;
class QLineEdit;

namespace tovera {

class CheckLabel;
class Dialogs;
class DrawingPage;
class GaugeStatusBar;
class RecordSet;
class SideBar;

class Attachments : public QObject {
    Q_OBJECT
public:
    // The marks and boxes the operations set; all belong to the main window and outlive
    // this controller.
    struct Marks {
        CheckLabel& drawingMark; // "家屋図面"
        CheckLabel& sheetMark;   // "家屋明細書"
        QLineEdit& zmfile;
        QLineEdit& exfile;
    };

    // `droppedDrawing` is the window's buffer of the last drawing dropped from outside.
    Attachments(RecordSet& records, DrawingPage& drawing, QByteArray& droppedDrawing,
                const Marks& marks, GaugeStatusBar& status, Dialogs& dialogs,
                QObject* parent = nullptr);

    // Connects the drawing page's side bar, the toolbar button that registers a drawing
    // file and the releases over the two check labels.
    void connectControls(SideBar* InspectorBar3, QAbstractButton* ToolbarButton975);

    // Handlers.
    void InspectorBar3ItemClick(int panel, int item);
    void ToolbarButton975Click();
    void CheckLabel2MouseUp(Qt::MouseButton button);
    void CheckLabel1MouseUp(Qt::MouseButton button);

    // 図面表示: puts the current record into edit mode and shows its stored drawing on floor
    // 1; with none stored the view is cleared and zmfile says "なし!". Raises what the stored
    // drawing reader raises (the model then holds part of the drawing).
    void showStoredDrawing();
    // 図面消去: clears the view and droppedDrawing; the stored drawing stays.
    void clearDrawingView();
    // 図面登録: stores the bytes of the last outside drop after a question. Without one,
    // a beep and " >>>図面が読み込まれていません。".
    void registerDroppedDrawing();
    // 図面書出: writes the stored drawing byte for byte to a file chosen in the save
    // dialog. Raises EInOutError when the file cannot be written; zmfile is then unchanged
    // and an existing file keeps its content.
    void exportStoredDrawing();
    // Stores a drawing file chosen in the open dialog and shows it from the record. Raises
    // EInOutError when the file cannot be read (the record stays in edit mode, the column
    // unchanged).
    void registerDrawingFile();
    // A file dragged onto 図面直接登録 that passed the name test: stored after a question,
    // then shown from the record. Errors as registerDrawingFile.
    void registerDrawingDrop(const QString& path);
    // Releases over the check labels: any release over 家屋図面 empties droppedDrawing; a
    // right release asks and then empties the column (zumen or excel) without posting.
    void eraseStoredDrawing(Qt::MouseButton button);
    void eraseStoredSheet(Qt::MouseButton button);

    // The filters of the dialogs, as the dialogs take them.
    static QString exportFilter();
    static QString registerFilter();

private:
    void showStatus(const QString& text);
    // After a drawing was stored from a file: the mark, the drawing read back and shown,
    // then zmfile "□".
    void showRegistered();

    RecordSet& records_;
    DrawingPage& drawing_;
    QByteArray& droppedDrawing_;
    Marks marks_;
    GaugeStatusBar& status_;
    Dialogs& dialogs_;
};

} // namespace tovera
