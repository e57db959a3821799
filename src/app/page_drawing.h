#pragma once
// Page 家屋図面: its side bar, the area boxes (group 面積等), the zoom display (group 図面)
// and the floor tabs holding the drawing area. The page owns the drawing model and the
// renderer's pictures, and is the drawing readers' host over these widgets.

#include "drawing/host.h"
#include "drawing/model.h"
#include "drawing/renderer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>

class QGroupBox;
class QLabel;
class QWidget;

namespace tovera {

class Dialogs;
class FlatEdit;
class FlatTabControl;
class GaugeStatusBar;
class PaintBox;
class ShellList;
class SideBar;
class FileDrop;

class DrawingPage : public QObject, public DrawingHost {
    Q_OBJECT
public:
    // Builds the page's controls as children of `page`. The status bar and the dialogs
    // belong to the main window and outlive this page.
    DrawingPage(QWidget* page, GaugeStatusBar& statusBar, Dialogs& dialogs,
                QObject* parent = nullptr);
    ~DrawingPage() override;

    // Sets up the view at start-up: the drawing area at (4, 4), 590 x 410, floor 1, the zoom
    // shown, then prepareCanvas with `pictureFile` (empty for none). Returns the caption
    // the window takes. Raises EInvalidGraphic for a file that is not a bitmap.
    QString setUpView(const QString& pictureFile);

    // DrawingHost, over the widgets of the page and the window's status bar.
    void setAreaBox(AreaBox box, const QString& text) override;
    void setGauge(int position) override;
    void setMessagePanel(const QString& text) override;
    void showMessage(const QString& text) override;
    void renderDrawing() override;

    DrawingModel& model() { return model_; }
    DrawingCanvas& canvas() { return canvas_; }

    // Controls, under their names.
    SideBar* InspectorBar3 = nullptr;
    QGroupBox* areaGroup = nullptr; // "面積等"
    QGroupBox* zoomGroup = nullptr; // "図面"
    FlatEdit* FlatEdit1 = nullptr;  // F1
    FlatEdit* FlatEdit2 = nullptr;  // F2
    FlatEdit* FlatEdit3 = nullptr;  // F3
    FlatEdit* FlatEdit4 = nullptr;  // 【１間長】
    FlatEdit* FlatEdit5 = nullptr;  // 計
    QLabel* zoomLabel = nullptr;    // "【拡大率】"
    FlatEdit* ZoomDisp = nullptr;
    FlatTabControl* FlatTabControl1 = nullptr;
    PaintBox* PaintBox1 = nullptr;
    ShellList* ShellListView2 = nullptr; // the side-bar file list, panel "図面ファイル"

    // Makes the floor tabs (with the drawing area) the target of files dropped from outside
    // and the drawing area the target of drags from `lists`. `droppedDrawing` and `zmfile`
    // belong to the window and outlive the page.
    void installDrops(QByteArray& droppedDrawing, FlatEdit& zmfile, const QList<ShellList*>& lists);

    // Files dropped from outside on the floor tabs: reads and shows the first, keeping its
    // bytes in droppedDrawing (emptied first, also for a refused name). Raises EInOutError
    // when the file cannot be loaded, and what readDrawingFile raises.
    void FileDrop4Drop();
    // Whether a drag from `source` may be dropped on the drawing area.
    bool PaintBox1DragOver(const ShellList* source) const;
    // A drag from `source` released on the drawing area: reads and shows its selected item.
    // Nothing happens when the list has no selected item.
    void PaintBox1DragDrop(const ShellList* source);
    FileDrop* FileDrop4 = nullptr;

    // A mouse press on the drawing area: the right button zooms out by 0.1 (below 0.3 the
    // zoom goes back to 0.5), any other zooms in by 0.1; ZoomDisp, the frame and the
    // message panel follow.
    void PaintBox1MouseDown(Qt::MouseButton button);
    // A mouse press on the floor tabs: the floor of the active tab becomes the current one.
    // The tab control's own repaint draws it.
    void FlatTabControl1MouseDown();
    // The toolbar button 図面読込: a drawing file chosen in the shared open dialog is read
    // and shown on the floor shown before, at the same zoom. Raises what readDrawingFile
    // raises.
    void ZmReadClick();
    // Empties the view: the five area boxes, the three floors (their elements released) and
    // zmfile; floor 1 with its tab becomes current and the background and grid are drawn.
    // Areas, pitches, origins and zoom keep their values.
    void zclear();
    // Makes `floor` (1, 2 or 3) the current floor and its tab the active one, without a
    // redraw; other values only set the model's currentFloor.
    void chooseFloor(int floor);

    // The filter of the open dialog of ZmReadClick, as the dialog takes it.
    static QString drawingOpenFilter();

private:
    // The paint event of the drawing area: renderDrawing and nothing else.
    void PaintBox1Paint();
    void buildAreaGroup(QWidget* page);
    void buildZoomGroup(QWidget* page);
    // The steps a drop shares once the name has passed: floor 1, (load the bytes,) read,
    // redraw, file-name box and message.
    void showDroppedDrawing(const QString& path, bool keepBytes);

    GaugeStatusBar& statusBar_;
    Dialogs& dialogs_;
    DrawingModel model_;
    DrawingCanvas canvas_;
    QByteArray* droppedDrawing_ = nullptr;
    FlatEdit* zmfile_ = nullptr;
    QList<ShellList*> dragSources_;
    QPointer<PaintBox> shownOn_; // the drawing area showing the canvas's buffer

    // What the last frame was composed from: the view values and the lists (their storage
    // and lengths; the readers never change an element in place).
    struct FrameStamp {
        double zoom = 0;
        int floor = 0;
        int32_t origin[2] = {};
        double pitch[2] = {};
        const void* lists[7] = {};
        size_t sizes[7] = {};
        bool operator==(const FrameStamp&) const = default;
    };
    static FrameStamp stampOf(const DrawingModel& model);
    FrameStamp shownStamp_;
    bool framePending_ = false; // a frame was handed to the drawing area and not yet painted
    bool painting_ = false;     // inside the drawing area's paint event
};

} // namespace tovera
