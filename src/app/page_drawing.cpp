#include "app/page_drawing.h"

#include "app/application.h"
#include "drawing/readers.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/namematch.h"
#include "widgets/controls.h"
#include "widgets/filedrop.h"
#include "widgets/hints.h"
#include "widgets/icons.h"
#include "widgets/shelllist.h"
#include "widgets/sidebar.h"
#include "widgets/statusbar.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace tovera {

namespace {
constexpr int MessagePanel = 2;
const char* const DrawingPattern = "*hbd*";
const char* const DrawingRefusal = "hbd図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!";
// The open dialog's choices, caption and patterns in turn.
const char* const DrawingFilter = "家屋図面 (*.hbd)|*.hbd|家屋旧図面 (*.had)|*.HAD";
// A zoom below this after a decrease goes back to the start value.
constexpr double ZoomFloor = 0.3;
constexpr double ZoomStart = 0.5;
constexpr double ZoomStep = 0.1;

// The bytes of the file at `path`, byte for byte. Raises EInOutError when it cannot be
// opened or read (a folder gives the system's "is a directory" text).
QByteArray loadWholeFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) throwOpenError(path, errno);
    QByteArray bytes;
    char block[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw EInOutError(ioErrorText(error), error);
        }
        if (n == 0) break;
        bytes.append(block, n);
    }
    ::close(fd);
    return bytes;
}

} // namespace

DrawingPage::DrawingPage(QWidget* page, GaugeStatusBar& statusBar, Dialogs& dialogs,
                         QObject* parent)
    : QObject(parent), statusBar_(statusBar), dialogs_(dialogs) {
    InspectorBar3 = new SideBar(page);
    InspectorBar3->setObjectName(QStringLiteral("InspectorBar3"));
    InspectorBar3->setGeometry(0, 0, 140, 449);
    const int menu = InspectorBar3->addPanel(QStringLiteral("図面メニュー"));
    InspectorBar3->addItem(menu, QStringLiteral("図面表示"),
                           themeIcon("image-x-generic", QStyle::SP_FileDialogContentsView));
    InspectorBar3->addItem(menu, QStringLiteral("図面消去"),
                           themeIcon("edit-clear", QStyle::SP_DialogResetButton));
    InspectorBar3->addItem(menu, QStringLiteral("図面登録"),
                           themeIcon("document-save", QStyle::SP_DialogSaveButton));
    InspectorBar3->addItem(menu, QStringLiteral("図面書出"),
                           themeIcon("document-save-as", QStyle::SP_DriveFDIcon));
    ShellListView2 = new ShellList;
    ShellListView2->setObjectName(QStringLiteral("ShellListView2"));
    const int files = InspectorBar3->addHostPanel(QStringLiteral("図面ファイル"), ShellListView2);
    InspectorBar3->setPanelOpen(files, false);

    buildAreaGroup(page);
    buildZoomGroup(page);

    FlatTabControl1 = new FlatTabControl(page);
    FlatTabControl1->setObjectName(QStringLiteral("FlatTabControl1"));
    FlatTabControl1->setGeometry(260, 6, 597, 435);
    FlatTabControl1->setTabSpacing(5);
    FlatTabControl1->addTab(QStringLiteral("1F"));
    FlatTabControl1->addTab(QStringLiteral("2F"));
    FlatTabControl1->addTab(QStringLiteral("3F"));
    setHint(FlatTabControl1, QStringLiteral("123Fをﾀﾌﾞで選択!"), true);

    PaintBox1 = new PaintBox(FlatTabControl1);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(4, 4, DrawingCanvas::AreaWidth, DrawingCanvas::AreaHeight);
    setHint(PaintBox1, QStringLiteral("拡大(左ｸﾘｯｸ)縮小(右)!"), true);
    connect(PaintBox1, &PaintBox::paint, this, &DrawingPage::PaintBox1Paint);
    connect(PaintBox1, &PaintBox::mousePressed, this, &DrawingPage::PaintBox1MouseDown);
    connect(FlatTabControl1, &FlatTabControl::mousePressed, this,
            [this](Qt::MouseButton) { FlatTabControl1MouseDown(); });

    shownOn_ = PaintBox1;
    canvas_.present = [this](const QImage& frame) {
        PaintBox1->setFrame(frame);
        framePending_ = !painting_;
    };
}

DrawingPage::~DrawingPage() {
    canvas_.present = nullptr;
    // The drawing area may outlive the page for a moment; it must not keep showing the
    // canvas's buffer.
    if (shownOn_) shownOn_->setFrame(QImage());
}

void DrawingPage::buildAreaGroup(QWidget* page) {
    areaGroup = new QGroupBox(QStringLiteral("面積等"), page);
    areaGroup->setObjectName(QStringLiteral("GroupBox1"));
    areaGroup->setGeometry(152, 22, 97, 227);
    // Label and box pairs, top to bottom, in the order the user reads them.
    const struct {
        const char* label;
        FlatEdit** box;
        const char* name;
    } rows[] = {{"F1", &FlatEdit1, "FlatEdit1"},
                {"F2", &FlatEdit2, "FlatEdit2"},
                {"F3", &FlatEdit3, "FlatEdit3"},
                {"計", &FlatEdit5, "FlatEdit5"},
                {"【１間長】", &FlatEdit4, "FlatEdit4"}};
    int y = 18;
    for (const auto& row : rows) {
        auto* label = new QLabel(QString::fromUtf8(row.label), areaGroup);
        label->setGeometry(8, y, 84, 14);
        auto* box = new FlatEdit(areaGroup);
        box->setObjectName(QString::fromLatin1(row.name));
        box->setGeometry(8, y + 16, 81, 19);
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::ClickFocus);
        *row.box = box;
        y += 41;
    }
}

void DrawingPage::buildZoomGroup(QWidget* page) {
    zoomGroup = new QGroupBox(QStringLiteral("図面"), page);
    zoomGroup->setObjectName(QStringLiteral("GroupBox2"));
    zoomGroup->setGeometry(152, 269, 97, 92);
    const QString hint = QStringLiteral("青はデーターあり!");
    setHint(zoomGroup, hint, true);
    zoomLabel = new QLabel(QStringLiteral("【拡大率】"), zoomGroup);
    zoomLabel->setGeometry(8, 24, 84, 14);
    zoomLabel->setToolTip(hint); // the controls in the group pop up the group's hint
    ZoomDisp = new FlatEdit(zoomGroup);
    ZoomDisp->setObjectName(QStringLiteral("ZoomDisp"));
    ZoomDisp->setGeometry(8, 44, 81, 19);
    ZoomDisp->setReadOnly(true);
    ZoomDisp->setToolTip(hint);
    QPalette pal = ZoomDisp->palette();
    pal.setColor(QPalette::Text, Qt::blue);
    ZoomDisp->setPalette(pal);
    ZoomDisp->setText(QString::number(model_.zoom));
}

QString DrawingPage::setUpView(const QString& pictureFile) {
    PaintBox1->setGeometry(4, 4, DrawingCanvas::AreaWidth, DrawingCanvas::AreaHeight);
    canvas_.areaSize = PaintBox1->size();
    model_.currentFloor = 1;
    ZoomDisp->setText(QString::number(model_.zoom));
    canvas_.prepareCanvas(model_, pictureFile);
    return canvas_.caption();
}

void DrawingPage::setAreaBox(AreaBox box, const QString& text) {
    switch (box) {
    case AreaBox::F1:
        FlatEdit1->setText(text);
        break;
    case AreaBox::F2:
        FlatEdit2->setText(text);
        break;
    case AreaBox::F3:
        FlatEdit3->setText(text);
        break;
    case AreaBox::Total:
        FlatEdit5->setText(text);
        break;
    case AreaBox::Ken:
        FlatEdit4->setText(text);
        break;
    }
}

void DrawingPage::setGauge(int position) {
    statusBar_.setGauge(position);
}

void DrawingPage::setMessagePanel(const QString& text) {
    statusBar_.setPanelText(MessagePanel, text);
}

void DrawingPage::showMessage(const QString& text) {
    dialogs_.message(text);
}

DrawingPage::FrameStamp DrawingPage::stampOf(const DrawingModel& m) {
    FrameStamp stamp;
    stamp.zoom = m.zoom;
    stamp.floor = m.currentFloor;
    stamp.origin[0] = m.gridOriginX;
    stamp.origin[1] = m.gridOriginY;
    stamp.pitch[0] = m.gridPitchX;
    stamp.pitch[1] = m.gridPitchY;
    const LineList* lines[] = {&m.lines1F, &m.lines2F, &m.lines3F, &m.extraLines1F};
    const BoxList* boxes[] = {&m.boxes1F, &m.boxes2F, &m.boxes3F};
    for (int k = 0; k < 4; ++k) {
        stamp.lists[k] = lines[k]->data();
        stamp.sizes[k] = lines[k]->size();
    }
    for (int k = 0; k < 3; ++k) {
        stamp.lists[4 + k] = boxes[k]->data();
        stamp.sizes[4 + k] = boxes[k]->size();
    }
    return stamp;
}

void DrawingPage::renderDrawing() {
    canvas_.renderDrawing(model_);
    shownStamp_ = stampOf(model_);
}

void DrawingPage::PaintBox1Paint() {
    // renderDrawing hands its frame to the drawing area, which puts it on the screen in the
    // paint that follows: that paint completes the copy and composes nothing again, unless
    // the drawing changed in between. Every other paint composes a new frame.
    if (std::exchange(framePending_, false) && stampOf(model_) == shownStamp_) return;
    painting_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{painting_};
    renderDrawing();
}

} // namespace tovera

namespace tovera {

void DrawingPage::installDrops(QByteArray& droppedDrawing, FlatEdit& zmfile,
                               const QList<ShellList*>& lists) {
    droppedDrawing_ = &droppedDrawing;
    zmfile_ = &zmfile;
    dragSources_ = lists;
    FileDrop4 = new FileDrop(FlatTabControl1,
                             [this] { callShowingErrors(dialogs_, [this] { FileDrop4Drop(); }); });
    new InsideDrop(
        PaintBox1, lists,
        [this](ShellList* source) {
            callShowingErrors(dialogs_, [&] { PaintBox1DragDrop(source); });
        },
        [this](ShellList* source) { return PaintBox1DragOver(source); });
}

void DrawingPage::FileDrop4Drop() {
    droppedDrawing_->clear();
    const QString path = FileDrop4->files().value(0);
    if (!matchesPattern(path, QString::fromUtf8(DrawingPattern))) {
        dialogs_.message(QString::fromUtf8(DrawingRefusal));
        return;
    }
    showDroppedDrawing(path, true);
}

bool DrawingPage::PaintBox1DragOver(const ShellList* source) const {
    return source && dragSources_.contains(const_cast<ShellList*>(source));
}

void DrawingPage::PaintBox1DragDrop(const ShellList* source) {
    if (!PaintBox1DragOver(source)) return;
    const QString path = source->selectedPath();
    if (path.isEmpty()) return; // nothing selected: nothing to show
    if (!matchesPattern(path, QString::fromUtf8(DrawingPattern))) {
        dialogs_.message(QString::fromUtf8(DrawingRefusal));
        return;
    }
    showDroppedDrawing(path, false);
}

void DrawingPage::showDroppedDrawing(const QString& path, bool keepBytes) {
    chooseFloor(1);
    if (keepBytes) *droppedDrawing_ = loadWholeFile(path);
    ReadResult result;
    try {
        result = readDrawingFile(model_, *this, path);
    } catch (...) {
        // A file that could not be read is not kept for registration.
        if (keepBytes) droppedDrawing_->clear();
        throw;
    }
    if (result == ReadResult::Refused) {
        // Not a drawing: the view shows the emptied lists; the file is neither announced
        // nor kept for registration.
        if (keepBytes) droppedDrawing_->clear();
        model_.resetGridOrigin();
        renderDrawing();
        return;
    }
    setMessagePanel(QStringLiteral("図面読込..."));
    model_.resetGridOrigin();
    renderDrawing();
    zmfile_->setText(path);
    setMessagePanel(zmfile_->text() + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
}

// ---- Zoom, floors, the open dialog, clearing

void DrawingPage::PaintBox1MouseDown(Qt::MouseButton button) {
    QString message;
    if (button == Qt::RightButton) {
        model_.zoom -= ZoomStep;
        if (model_.zoom < ZoomFloor) {
            model_.zoom = ZoomStart;
            message = QStringLiteral("縮小限度！");
        } else {
            message = QStringLiteral("縮小！");
        }
    } else {
        model_.zoom += ZoomStep;
        message = QStringLiteral("拡大！");
    }
    ZoomDisp->setText(formatZoom(model_.zoom));
    renderDrawing();
    setMessagePanel(message);
}

void DrawingPage::FlatTabControl1MouseDown() {
    const int index = FlatTabControl1->currentIndex();
    if (index >= 0 && index <= 2) model_.currentFloor = index + 1;
    framePending_ = false; // the tab control's repaint draws the floor
}

void DrawingPage::chooseFloor(int floor) {
    model_.currentFloor = floor;
    if (floor >= 1 && floor <= 3) FlatTabControl1->setCurrentIndex(floor - 1);
}

QString DrawingPage::drawingOpenFilter() {
    return dialogFilter(QString::fromUtf8(DrawingFilter));
}

void DrawingPage::ZmReadClick() {
    FileDialogRequest request;
    request.filter = drawingOpenFilter();
    const QString path = dialogs_.openFile(request);
    if (path.isEmpty()) return;
    const ReadResult result = readDrawingFile(model_, *this, path);
    model_.resetGridOrigin();
    renderDrawing();
    if (result == ReadResult::Refused) return; // the reader has said why
    if (zmfile_) zmfile_->setText(path);
    setMessagePanel(path + QStringLiteral("を読込みました。"));
}

void DrawingPage::zclear() {
    for (FlatEdit* box : {FlatEdit1, FlatEdit2, FlatEdit3, FlatEdit4, FlatEdit5}) box->clear();
    for (int floor = 1; floor <= 3; ++floor) {
        model_.currentFloor = floor;
        model_.clearCurrentFloor();
    }
    // The drawing opened next is drawn on the floor its tab names.
    chooseFloor(1);
    renderDrawing();
    if (zmfile_) zmfile_->clear();
}

} // namespace tovera
