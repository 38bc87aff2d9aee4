#include "app/Main.h"
#include "app/About.h"
#include "app/Filebrowser.h"
#include "anim/AnimController.h"
#include "app/FrameGrid.h"
#include "modelforms/ComponentTree.h"
#include "model/P3dmodell.h"
#include "modelforms/Proxyselect.h"
#include "modelforms/Selectcomponents.h"
#include "platform/Dialogs.h"
#include "platform/Ini.h"
#include "view3d/Framemanipulator.h"
#include "widgets/Chart.h"
#include "widgets/Controls.h"

#include <QAction>
#include <utility>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLCDNumber>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

namespace {

QPushButton* PushButton(const QString& caption, const QString& name, const QString& hint, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    TMainForm::SetHint(b, hint);
    return b;
}

TLedButton* Led(const QString& caption, const QString& name, const QString& hint, QWidget* parent)
{
    auto* b = new TLedButton(caption, parent);
    b->setObjectName(name);
    TMainForm::SetHint(b, hint);
    return b;
}

// A numeric edit: decimals shown at most, or < 0 for the stored float exactly.
TNumberEdit* SpinEdit(const QString& name, double step, int decimals, double min, double max, QWidget* parent)
{
    auto* e = new TNumberEdit(parent);
    e->setObjectName(name);
    e->setSingleStep(step);
    e->setDecimals(decimals);
    e->setRange(min, max);
    return e;
}
}  // namespace

TMainForm::TMainForm(const TAppPaths& paths, QWidget* parent)
    : QMainWindow(parent), Paths(paths), Anim(new TAnimController(this)), Doc(Anim->Doc)
{
    setObjectName(QStringLiteral("MainForm"));
    // The mark shows while the animation has changes that are not saved.
    setWindowTitle(QString::fromLatin1(Caption) + QStringLiteral("[*]"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    BuildMenus();
    BuildLayout();
    BuildStatusBar();
    resize(DesignedWidth, DesignedHeight);

    // The secondary windows, in their order of creation; only the main window is shown.
    F_About = new TF_About(this);
    F_FileBrowser = new TF_FileBrowser(this);
    F_SelectComponents = new TF_SelectComponents(this);
    F_FrameManipulator = new TF_FrameManipulator(*Anim, this);
    F_ProxySelect = new TF_ProxySelect(this);
    connect(F_FileBrowser, &TF_FileBrowser::Closed, this, [this] { FileBrowser1->setChecked(false); });
    connect(F_FrameManipulator, &TF_FrameManipulator::Closed, this, [this] { FrameTimer1->setChecked(false); });
    connect(F_SelectComponents, &TF_SelectComponents::Accepted, this, [this] { CreateNewAnimation(); });
    // Ctrl+Z and Ctrl+Y work in the frame timer too, where its changes are made.
    F_FrameManipulator->addActions({Undo1, Redo1});
    ConnectDocument();
    UpdateUndoActions();
    Built_ = true;
}

TMainForm::~TMainForm()
{
    // The children are deleted after this body, when this object is a TMainForm no longer:
    // their last signals (the tree model's rows going) must not reach handlers that use it.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    // The forest points into the models: empty it before they go. (When it goes, it tells
    // the tree's model, which then shows nothing.)
    Forest_.Clear();
    Models.clear();
    F_FileBrowser = nullptr;
    F_SelectComponents = nullptr;
    F_FrameManipulator = nullptr;
    F_ProxySelect = nullptr;
}

void TMainForm::SetHint(QWidget* w, const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    w->setToolTip(bar < 0 ? hint : hint.left(bar));
    w->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

bool TMainForm::event(QEvent* e)
{
    // Hints go to the first status panel rather than over the whole status bar.
    if (e->type() == QEvent::StatusTip) {
        SetStatusText(0, static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TMainForm::BuildMenus()
{
    MenuFile = menuBar()->addMenu(QStringLiteral("&File"));
    LoadAnim1 = MenuFile->addAction(QStringLiteral("Load Anim..."), QKeySequence(Qt::CTRL | Qt::Key_R), this,
                                    [this] { LoadAnim1Click(); });
    LoadP3d1 = MenuFile->addAction(QStringLiteral("Load P3d..."), QKeySequence(Qt::CTRL | Qt::Key_P), this,
                                   [this] { LoadP3d1Click(); });
    LoadEnviromentP3d1 = MenuFile->addAction(QStringLiteral("Load Environment P3d..."), QKeySequence(Qt::CTRL | Qt::Key_E),
                                             this, [this] { LoadEnviromentP3d1Click(); });
    MenuFile->addSeparator();
    SaveAnimAs1 = MenuFile->addAction(QStringLiteral("Save Anim As..."), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                                      [this] { SaveAnimationAs(); });
    MenuFile->addSeparator();
    ExportGltf1 = MenuFile->addAction(QStringLiteral("Export glTF..."), this, [this] { ExportModelClick(true); });
    ExportObj1 = MenuFile->addAction(QStringLiteral("Export OBJ..."), this, [this] { ExportModelClick(false); });

    MenuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    Undo1 = MenuEdit->addAction(QStringLiteral("&Undo"), this, [this] { Undo1Click(); });
    Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo1 = MenuEdit->addAction(QStringLiteral("&Redo"), this, [this] { Redo1Click(); });
    Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // What is offered depends on playback, edit mode and open cells: looked at afresh.
    connect(MenuEdit, &QMenu::aboutToShow, this, [this] { UpdateUndoActions(); });

    MenuModify = menuBar()->addMenu(QStringLiteral("&Modify"));
    LoadPivotsAndLinking1 = MenuModify->addAction(QStringLiteral("Load Pivots and Linking..."), this,
                                                  [this] { B_LoadLinkingStatusChanged(); });
    MenuModify->menuAction()->setVisible(false);

    MenuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    ShowAxes1 = MenuSettings->addAction(QStringLiteral("Show &Axes"));
    ShowAxes1->setShortcut(Qt::Key_F5);
    ShowGrid1 = MenuSettings->addAction(QStringLiteral("Show &Grid"));
    ShowGrid1->setShortcut(Qt::Key_F6);
    AutoScale1 = MenuSettings->addAction(QStringLiteral("Auto &Scale"));
    AutoScale1->setShortcut(Qt::Key_F7);
    for (QAction* a : {ShowAxes1, ShowGrid1, AutoScale1}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    connect(ShowAxes1, &QAction::toggled, this, [this] { RefreshDisplay(); });
    connect(ShowGrid1, &QAction::toggled, this, [this] { ShowGrid1Click(); });
    connect(AutoScale1, &QAction::toggled, this, [this] { RefreshDisplay(); });
    MenuSettings->addSeparator();
    SelectTranslationFile1 = MenuSettings->addAction(QStringLiteral("Select &Translation File..."), this,
                                                     [this] { SelectTranslationFile1Click(); });
    SelectColorFile1 = MenuSettings->addAction(QStringLiteral("Select &Color File..."), this,
                                               [this] { SelectColorFile1Click(); });
    MenuSettings->addSeparator();
    SaveSettings1 = MenuSettings->addAction(QStringLiteral("Save Settings"), QKeySequence(Qt::Key_F2), this,
                                            [this] { SaveSettings1Click(); });
    AutoSaveSettings1 = MenuSettings->addAction(QStringLiteral("Auto Save Settings On Exit"));
    AutoSaveSettings1->setCheckable(true);
    AutoSaveSettings1->setChecked(true);

    MenuExtras = menuBar()->addMenu(QStringLiteral("Extras"));
    FileBrowser1 = MenuExtras->addAction(QStringLiteral("File Browser ..."));
    FileBrowser1->setShortcut(Qt::Key_F9);
    FileBrowser1->setCheckable(true);
    connect(FileBrowser1, &QAction::triggered, this, [this](bool on) { F_FileBrowser->setVisible(on); });
    FrameTimer1 = MenuExtras->addAction(QStringLiteral("Frame Timer ..."));
    FrameTimer1->setShortcut(Qt::Key_F10);
    FrameTimer1->setCheckable(true);
    connect(FrameTimer1, &QAction::triggered, this, [this](bool on) { F_FrameManipulator->setVisible(on); });

    About1 = menuBar()->addAction(QStringLiteral("&About"), this, [this] { About1Click(); });
    // The desktop's usual way out; it asks the exit question like the close box.
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void TMainForm::BuildTreePopup()
{
    PopupMenu_Select = new QMenu(TV_EditComponents);
    PopupMenu_Select->setObjectName(QStringLiteral("PopupMenu_Select"));
    ShowAll1 = PopupMenu_Select->addAction(QStringLiteral("&Show All"), this, [this] { ShowAll1Click(); });
    HideAll1 = PopupMenu_Select->addAction(QStringLiteral("&Hide All"), this, [this] { HideAllClick(); });
    PopupMenu_Select->addSeparator();
    ShowAnimatedOnly1 = PopupMenu_Select->addAction(QStringLiteral("Show &Animated Only"), this, [this] {
        ShowAnimationOnly();
        CommitModelEdit(QStringLiteral("Show Animated Only"));
        RefreshDisplay();
    });
    PopupMenu_Select->addSeparator();
    ChangeColor1 = PopupMenu_Select->addAction(QStringLiteral("Change Color..."), this, [this] { ChangeColorClick(); });
    SaveColors1 = PopupMenu_Select->addAction(QStringLiteral("Save Colors..."), this, [this] { SaveColorsClick(); });
    PopupMenu_Select->addSeparator();
    AssignNewName1 = PopupMenu_Select->addAction(QStringLiteral("Assign new Name..."), this, [this] { AssignnewnameClick(); });
    SaveNames1 = PopupMenu_Select->addAction(QStringLiteral("Save Names..."), this, [this] { SavenamesClick(); });
    PopupMenu_Select->addSeparator();
    Moveonelevelup1 = PopupMenu_Select->addAction(QStringLiteral("&Move one level up"), this,
                                                  [this] { Moveonelevelup1Click(); });
    TV_EditComponents->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TV_EditComponents, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu_Select->popup(TV_EditComponents->viewport()->mapToGlobal(pos));
    });
}

void TMainForm::BuildStatusBar()
{
    static const char* const initial[6] = {"", "Model: EMPTY", "Anim: EMPTY", "Vertexes:", "Polygons:",
                                           "Pivot and Linking: NOT LOADED"};
    // The widest text each panel shows in the usual case, measured in this platform's
    // font; a longer file name widens its panel, and the hint panel takes what is left.
    static const char* const widest[6] = {"", "Model: MMMMMMMM.p3d", "Anim: <NOT SAVED>", "Vertexes: 0000000",
                                          "Polygons: 0000000", "Pivot and Linking: NOT LOADED"};
    for (int i = 0; i < 6; ++i) {
        auto* l = new QLabel(QString::fromLatin1(initial[i]), this);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i == 0) {
            l->setMinimumWidth(150);
            l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        } else {
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QString::fromLatin1(widest[i])) + 2 * l->frameWidth() + 8);
        }
        StatusPanels[i] = l;
        statusBar()->addWidget(l, i == 0 ? 1 : 0);
    }
}

QString TMainForm::StatusText(int panel) const { return StatusPanels[panel]->text(); }

void TMainForm::SetStatusText(int panel, const QString& text)
{
    StatusPanels[panel]->setText(text);
    StatusPanels[panel]->setToolTip(text);
}

QWidget* TMainForm::BuildLeftColumn()
{
    P_Left = new QWidget(this);
    P_Left->setObjectName(QStringLiteral("P_Left"));
    P_Left->setFixedWidth(300);
    auto* col = new QVBoxLayout(P_Left);
    col->setContentsMargins(2, 2, 2, 2);
    col->setSpacing(2);

    TV_EditComponents = new TComponentTree(P_Left);
    TV_EditComponents->setObjectName(QStringLiteral("TV_EditComponents"));
    SetHint(TV_EditComponents, QStringLiteral("'A' = Used in Animation"));
    TV_EditComponents->LinkingEnabled = [this] { return B_ChangePivot->isChecked(); };
    TV_EditComponents->SetForest(&Forest_);
    TV_EditComponents->TreeModel()->IsAnimated = [this](const TSelection* s) { return IsInAnimation(s); };
    connect(TV_EditComponents, &TComponentTree::NodePressed, this, [this](int node) { TV_EditComponentsMouseDown(node); });
    connect(TV_EditComponents, &TComponentTree::MouseReleased, this, [this] { TV_EditComponentsMouseUp(); });
    connect(TV_EditComponents, &TComponentTree::HierarchyChanged, this, [this] { CommitModelEdit(QStringLiteral("Link Component")); });
    // The views mark what is selected: they follow every change of the selection, however it
    // came (a click, Ctrl+click, keys, a rebuild), once per turn of the event loop.
    connect(TV_EditComponents, &TComponentTree::SelectionChanged, this, [this] {
        if (std::exchange(SelectionRefreshQueued_, true))
            return;
        QMetaObject::invokeMethod(this, [this] {
            SelectionRefreshQueued_ = false;
            RefreshDisplay();
        }, Qt::QueuedConnection);
    });
    // Any change of the forest's nodes or order invalidates the pre-order walk and member lists.
    QAbstractItemModel* treeModel = TV_EditComponents->model();
    const auto dirty = [this] { TreeOrderDirty_ = true; };
    connect(treeModel, &QAbstractItemModel::layoutChanged, this, dirty);
    connect(treeModel, &QAbstractItemModel::modelReset, this, dirty);
    BuildTreePopup();
    // At least ten rows: in a short window the column scrolls rather than squeezing the
    // tree down to a few rows.
    TV_EditComponents->setMinimumHeight(10 * TV_EditComponents->fontMetrics().height() + 24);
    col->addWidget(TV_EditComponents, 1);

    P_DisplayMode = new QWidget(P_Left);
    P_DisplayMode->setObjectName(QStringLiteral("P_DisplayMode"));
    auto* dm = new QGridLayout(P_DisplayMode);
    dm->setContentsMargins(0, 0, 0, 0);
    RB_CheckedSelections = Led(QStringLiteral("Selected Components"), QStringLiteral("RB_CheckedSelections"),
                               QStringLiteral("Show the components that are not hidden"), P_DisplayMode);
    RB_AllSelections = Led(QStringLiteral("All Components"), QStringLiteral("RB_AllSelections"),
                           QStringLiteral("Show every component"), P_DisplayMode);
    AbLED1 = Led(QStringLiteral("No Component"), QStringLiteral("AbLED1"), QStringLiteral("Show no components"),
                 P_DisplayMode);
    for (TLedButton* b : {RB_CheckedSelections, RB_AllSelections, AbLED1}) {
        b->setAutoExclusive(true);
        connect(b, &QToolButton::toggled, this, [this](bool on) {
            if (on)
                RefreshDisplay();
        });
    }
    RB_CheckedSelections->setChecked(true);
    RB_AllPolygons = Led(QStringLiteral("All Polygons"), QStringLiteral("RB_AllPolygons"),
                         QStringLiteral("Show every polygon of the model"), P_DisplayMode);
    B_Points = Led(QStringLiteral("Points"), QStringLiteral("B_Points"), QStringLiteral("Show points"), P_DisplayMode);
    B_ChangePivot = Led(QStringLiteral("Change Pivots && Linking"), QStringLiteral("B_ChangePivot"),
                        QStringLiteral("Set pivots with Shift+click and link components by drag and drop"),
                        P_DisplayMode);
    connect(B_ChangePivot, &QToolButton::toggled, this, [this](bool on) { B_ChangePivotStatusChanged(on); });
    LED_Linking = Led(QStringLiteral("Linking"), QStringLiteral("LED_Linking"),
                      QStringLiteral("Pivot and linking file loaded"), P_DisplayMode);
    // An indicator, not a switch: drawn like the other LEDs so its state reads at a glance.
    LED_Linking->setAttribute(Qt::WA_TransparentForMouseEvents);
    LED_Linking->setFocusPolicy(Qt::NoFocus);
    B_SaveLinking = PushButton(QStringLiteral("Save Pivots and Linking"), QStringLiteral("B_SaveLinking"),
                               QStringLiteral("Save the hierarchy and the pivots of the model"), P_DisplayMode);
    B_LoadLinking = PushButton(QStringLiteral("Load Pivots and Linking..."), QStringLiteral("B_LoadLinking"),
                               QStringLiteral("Load a hierarchy and pivots file"), P_DisplayMode);
    OnPress(B_SaveLinking, this, [this] { B_SaveLinkingStatusChanged(); });
    OnPress(B_LoadLinking, this, [this] { B_LoadLinkingStatusChanged(); });
    connect(RB_AllPolygons, &QToolButton::toggled, this, [this] { RefreshDisplay(); });
    connect(B_Points, &QToolButton::toggled, this, [this] { RefreshDisplay(); });
    auto* show = new QLabel(QStringLiteral("Show..."), P_DisplayMode);
    SetHint(show, QStringLiteral("Click to select Modus"));
    dm->addWidget(show, 0, 0);
    dm->addWidget(RB_CheckedSelections, 0, 1);
    dm->addWidget(RB_AllSelections, 1, 0);
    dm->addWidget(AbLED1, 1, 1);
    dm->addWidget(RB_AllPolygons, 2, 0);
    dm->addWidget(B_Points, 2, 1);
    dm->addWidget(B_ChangePivot, 3, 0);
    dm->addWidget(LED_Linking, 3, 1);
    dm->addWidget(B_SaveLinking, 4, 0, 1, 2);
    dm->addWidget(B_LoadLinking, 5, 0, 1, 2);
    col->addWidget(P_DisplayMode);

    col->addWidget(BuildFramePanel());

    col->addWidget(BuildEditPanel());

    col->addWidget(BuildPlayPanel());
    return P_Left;
}

QWidget* TMainForm::BuildFramePanel()
{
    P_Timing = new QWidget(P_Left);
    P_Timing->setObjectName(QStringLiteral("P_Timing"));
    auto* l = new QGridLayout(P_Timing);
    l->setContentsMargins(0, 0, 0, 0);

    G_Frames = new TFrameGrid(*Anim, P_Timing);
    G_Frames->setObjectName(QStringLiteral("G_Frames"));
    l->addWidget(G_Frames, 0, 0, 7, 1);

    B_Append = PushButton(QStringLiteral("Insert after"), QStringLiteral("B_Append"),
                          QStringLiteral("Insert a new Frame after the current selected Frame"), P_Timing);
    B_DelAnim = PushButton(QStringLiteral("Delete Frame"), QStringLiteral("B_DelAnim"),
                           QStringLiteral("Delete Selected Frame"), P_Timing);
    B_UnloadAnim = PushButton(QStringLiteral("Unload Animation"), QStringLiteral("B_UnloadAnim"),
                              QStringLiteral("Clear and unload Animation"), P_Timing);
    B_NewAnim = PushButton(QStringLiteral("New Animation..."), QStringLiteral("B_NewAnim"),
                           QStringLiteral("Create a new Animation"), P_Timing);
    B_Editing = PushButton(QStringLiteral("Edit Frame"), QStringLiteral("B_Editing"),
                           QStringLiteral("Edit selected Frame"), P_Timing);
    B_ResetMatrix = PushButton(QStringLiteral("Reset Frame"), QStringLiteral("B_ResetMatrix"),
                              QStringLiteral("Reset Frame Matrix"), P_Timing);
    int row = 0;
    for (QPushButton* b : {B_Append, B_DelAnim, B_UnloadAnim, B_NewAnim, B_Editing, B_ResetMatrix})
        l->addWidget(b, row++, 1);
    OnPress(B_Editing, this, [this] { B_EditingStatusChanged(); });
    OnPress(B_ResetMatrix, this, [this] { B_ResetMatrixStatusChanged(); });
    OnPress(B_Append, this, [this] { B_AppendStatusChanged(); });
    OnPress(B_DelAnim, this, [this] { B_DelAnimStatusChanged(); });
    OnPress(B_UnloadAnim, this, [this] { B_UnloadAnimStatusChanged(); });
    OnPress(B_NewAnim, this, [this] { B_NewAnimStatusChanged(); });
    return P_Timing;
}

QWidget* TMainForm::BuildEditPanel()
{
    P_EditAnim = new QWidget(P_Left);
    P_EditAnim->setObjectName(QStringLiteral("P_EditAnim"));
    P_EditAnim->hide();
    auto* l = new QGridLayout(P_EditAnim);
    l->setContentsMargins(0, 0, 0, 0);
    const auto toggle = [this](const QString& on, const QString& off, const QString& name) {
        auto* b = new QPushButton(on, P_EditAnim);
        b->setObjectName(name);
        b->setCheckable(true);
        b->setChecked(true);
        connect(b, &QPushButton::toggled, b, [b, on, off](bool checked) { b->setText(checked ? on : off); });
        return b;
    };
    B_EditOperation = toggle(QStringLiteral("Rotate"), QStringLiteral("Move"), QStringLiteral("B_EditOperation"));
    B_RotType = toggle(QStringLiteral("Relative"), QStringLiteral("Absolut"), QStringLiteral("B_RotType"));
    l->addWidget(B_EditOperation, 0, 0, 1, 2);
    l->addWidget(B_RotType, 0, 2, 1, 2);
    int row = 1;
    for (QSlider** slot : {&Chg_X, &Chg_Y, &Chg_Z}) {
        const QString axis = QString(QLatin1Char("XYZ"[row - 1]));
        auto* s = new TSpringSlider(P_EditAnim);
        s->setObjectName(QStringLiteral("Chg_") + axis);
        s->setRange(-1000, 1000);
        s->setSingleStep(10);
        s->setPageStep(100);
        auto* value = new QLabel(QStringLiteral("0.00 %"), P_EditAnim);
        value->setMinimumWidth(60);
        connect(s, &QSlider::valueChanged, value,
                [value](int v) { value->setText(QString::number(v / 100.0, 'f', 2) + QStringLiteral(" %")); });
        l->addWidget(new QLabel(axis, P_EditAnim), row, 0);
        l->addWidget(s, row, 1, 1, 2);
        l->addWidget(value, row, 3);
        *slot = s;
        ++row;
    }
    l->addWidget(new QLabel(QStringLiteral("Exit Edit and..."), P_EditAnim), row, 0, 1, 2);
    B_ApplyEdit = PushButton(QStringLiteral("Apply Changes"), QStringLiteral("B_ApplyEdit"),
                             QStringLiteral("Write the edit into the frame"), P_EditAnim);
    B_CancelEdit = PushButton(QStringLiteral("Cancel Changes"), QStringLiteral("B_CancelEdit"),
                              QStringLiteral("Leave edit mode without writing"), P_EditAnim);
    B_ResetEdit = PushButton(QStringLiteral("Restore"), QStringLiteral("B_ResetEdit"),
                             QStringLiteral("Restore Component Frame"), P_EditAnim);
    l->addWidget(B_ApplyEdit, row + 1, 0, 1, 2);
    l->addWidget(B_CancelEdit, row + 1, 2, 1, 2);
    l->addWidget(B_ResetEdit, row + 2, 0, 1, 4);
    OnPress(B_ApplyEdit, this, [this] { B_ApplyEditStatusChanged(); });
    OnPress(B_CancelEdit, this, [this] { B_CancelEditStatusChanged(); });
    OnPress(B_ResetEdit, this, [this] { B_ResetEditStatusChanged(); });

    EditTimer = new QTimer(this);
    EditTimer->setObjectName(QStringLiteral("EditTimer"));
    EditTimer->setInterval(50);
    connect(EditTimer, &QTimer::timeout, this, [this] { EditTimerTimer(); });
    return P_EditAnim;
}

QWidget* TMainForm::BuildPlayPanel()
{
    P_AnimControl = new QWidget(P_Left);
    P_AnimControl->setObjectName(QStringLiteral("P_AnimControl"));
    auto* l = new QGridLayout(P_AnimControl);
    l->setContentsMargins(0, 0, 0, 0);

    AnimSlider = new QSlider(Qt::Horizontal, P_AnimControl);
    AnimSlider->setObjectName(QStringLiteral("AnimSlider"));
    AnimSlider->setRange(0, 0);
    AnimSlider->setTickPosition(QSlider::TicksBelow);
    AnimSlider->setPageStep(1);
    connect(AnimSlider, &QSlider::valueChanged, this, [this](int v) { SetActStep(v); });
    B_Prev = Led(QStringLiteral("<"), QStringLiteral("B_Prev"), QStringLiteral("Previous Frame"), P_AnimControl);
    B_Next = Led(QStringLiteral(">"), QStringLiteral("B_Next"), QStringLiteral("Next Frame"), P_AnimControl);
    B_Prev->setCheckable(false);
    B_Next->setCheckable(false);
    connect(B_Prev, &QToolButton::pressed, this, [this] { SetActStep(Doc.ActAnimStep - 1); });
    connect(B_Next, &QToolButton::pressed, this, [this] { SetActStep(Doc.ActAnimStep + 1); });
    D_Steps = new QLCDNumber(5, P_AnimControl);
    D_Steps->setObjectName(QStringLiteral("D_Steps"));
    SetHint(D_Steps, QStringLiteral("Total Frames"));
    D_ActStep = new QLCDNumber(5, P_AnimControl);
    D_ActStep->setObjectName(QStringLiteral("D_ActStep"));
    SetHint(D_ActStep, QStringLiteral("Current Frame"));
    for (QLCDNumber* d : {D_Steps, D_ActStep}) {
        d->setSegmentStyle(QLCDNumber::Flat);
        d->display(0);
    }
    l->addWidget(B_Prev, 0, 0);
    l->addWidget(AnimSlider, 0, 1, 1, 2);
    l->addWidget(B_Next, 0, 3);
    l->addWidget(D_ActStep, 1, 1);
    l->addWidget(D_Steps, 1, 2);

    B_Play = new QPushButton(QStringLiteral("Play"), P_AnimControl);
    B_Play->setObjectName(QStringLiteral("B_Play"));
    B_Play->setCheckable(true);
    SetHint(B_Play, QStringLiteral("Play the animation"));
    connect(B_Play, &QPushButton::toggled, this, [this](bool on) {
        B_PlayStatusChanged(on);
        UpdateUndoActions();
    });
    l->addWidget(B_Play, 2, 0, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Play Time:"), P_AnimControl), 3, 0);
    E_AnimTime = SpinEdit(QStringLiteral("E_AnimTime"), 1, 1, 0, 100000, P_AnimControl);
    E_AnimTime->setValue(1);
    SetHint(E_AnimTime, QStringLiteral("Enter Time for Animation Preview"));
    l->addWidget(E_AnimTime, 3, 1, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Sec."), P_AnimControl), 3, 3);

    l->addWidget(new QLabel(QStringLiteral("Total Move:"), P_AnimControl), 4, 0);
    // The total move is stored as floats: the edits show and take any float exactly, so a
    // value from a file is never changed by being shown.
    constexpr double maxFloat = std::numeric_limits<float>::max();
    E_TM_x = SpinEdit(QStringLiteral("E_TM_x"), 0.1, -1, -maxFloat, maxFloat, P_AnimControl);
    E_TM_y = SpinEdit(QStringLiteral("E_TM_y"), 0.1, -1, -maxFloat, maxFloat, P_AnimControl);
    E_TM_z = SpinEdit(QStringLiteral("E_TM_z"), 0.1, -1, -maxFloat, maxFloat, P_AnimControl);
    int axis = 0;
    for (TNumberEdit* e : {E_TM_x, E_TM_y, E_TM_z}) {
        const int a = axis++;
        e->setWidthForText(QStringLiteral("-000.000"));
        connect(e, &TNumberEdit::valueChanged, this, [this, a](double v) { E_TMChanged(a, v); });
    }
    l->addWidget(E_TM_x, 5, 0);
    l->addWidget(E_TM_y, 5, 1);
    l->addWidget(E_TM_z, 5, 2);
    B_TotalMove = Led(QStringLiteral("TM"), QStringLiteral("B_TotalMove"), QStringLiteral("Total Move On/Off"), P_AnimControl);
    B_TotalMove->setChecked(true);
    connect(B_TotalMove, &QToolButton::toggled, this, [this] { RefreshDisplay(); });
    l->addWidget(B_TotalMove, 5, 3);

    l->addWidget(new QLabel(QStringLiteral("Modell Offset from Center:"), P_AnimControl), 6, 0, 1, 4);
    OffX = SpinEdit(QStringLiteral("OffX"), 0.01, 7, -360, 360, P_AnimControl);
    OffY = SpinEdit(QStringLiteral("OffY"), 0.01, 7, -360, 360, P_AnimControl);
    OffZ = SpinEdit(QStringLiteral("OffZ"), 0.01, 7, -360, 360, P_AnimControl);
    // The offsets get a row of their own, each as wide as "-360.0000000" needs; the left
    // column widens for them where this platform's font asks for more than its 300 pixels.
    auto* offsets = new QHBoxLayout;
    offsets->setSpacing(2);
    int needed = 0;
    for (TNumberEdit* e : {OffX, OffY, OffZ}) {
        e->setWidthForText(QStringLiteral("-360.0000000"));
        connect(e, &TNumberEdit::valueChanged, this, [this] { RefreshDisplay(); });
        offsets->addWidget(e);
        needed += e->sizeHint().width() + offsets->spacing();
    }
    l->addLayout(offsets, 7, 0, 1, 4);
    P_Left->setFixedWidth(std::max(P_Left->width(), needed + 8));
    B_Enviroment = Led(QStringLiteral("Enviroment"), QStringLiteral("B_Enviroment"),
                       QStringLiteral("Show the environment model"), P_AnimControl);
    connect(B_Enviroment, &QToolButton::toggled, this, [this] { RefreshDisplay(); });
    l->addWidget(B_Enviroment, 8, 0, 1, 2);
    BuildTransparencySliders(P_AnimControl, l, 9);
    return P_AnimControl;
}

QWidget* TMainForm::Build3dArea()
{
    P_3dArea = new QWidget(this);
    P_3dArea->setObjectName(QStringLiteral("P_3dArea"));
    auto* l = new QVBoxLayout(P_3dArea);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(2, 2, 2, 2);
    auto tool = [this](const QString& text, const QString& name, const QString& hint) {
        auto* b = new QToolButton(P_3dArea);
        b->setText(text);
        b->setObjectName(name);
        b->setCheckable(true);
        // The platform style draws a pressed tool button barely darker than a raised one.
        b->setStyleSheet(QStringLiteral("QToolButton{min-width:18px;padding:1px 4px}"
                                        "QToolButton:checked{background:#2f5f9f;color:white;font-weight:bold;"
                                        "border:1px inset #102040}"));
        SetHint(b, hint);
        return b;
    };
    B_Light = tool(QStringLiteral("L"), QStringLiteral("B_Light"), QStringLiteral("Light Mode"));
    B_Transparent3D = tool(QStringLiteral("T"), QStringLiteral("B_Transparent3D"), QStringLiteral("Transparent Mode"));
    B_Grid = tool(QStringLiteral("G"), QStringLiteral("B_Grid"), QStringLiteral("Grid"));
    B_Grid->setChecked(true);
    connect(B_Light, &QToolButton::toggled, this, [this] { B_LightStatusChanged(); });
    connect(B_Transparent3D, &QToolButton::toggled, this, [this] { B_Transparent3DStatusChanged(); });
    connect(B_Grid, &QToolButton::toggled, this, [this] { B_GridStatusChanged(); });
    tools->addWidget(B_Light);
    tools->addWidget(B_Transparent3D);
    tools->addWidget(B_Grid);
    tools->addStretch(1);
    l->addLayout(tools);
    Attach3dView(l);
    return P_3dArea;
}

void TMainForm::BuildLayout()
{
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    // The left column scrolls rather than forcing a window taller than the screen or the
    // height the settings ask for.
    auto* leftScroll = new QScrollArea(central);
    leftScroll->setObjectName(QStringLiteral("P_LeftScroll"));
    leftScroll->setFrameShape(QFrame::NoFrame);
    leftScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    leftScroll->setWidgetResizable(true);
    leftScroll->setWidget(BuildLeftColumn());
    leftScroll->setFixedWidth(P_Left->width() + leftScroll->verticalScrollBar()->sizeHint().width());
    row->addWidget(leftScroll);

    HSplitter = new QSplitter(Qt::Horizontal, central);
    HSplitter->setObjectName(QStringLiteral("HSplitter"));
    P_LeftViews = new QWidget(HSplitter);
    P_LeftViews->setObjectName(QStringLiteral("P_LeftViews"));
    auto* lv = new QVBoxLayout(P_LeftViews);
    lv->setContentsMargins(0, 0, 0, 0);
    VSplitter1 = new QSplitter(Qt::Vertical, P_LeftViews);
    VSplitter1->setObjectName(QStringLiteral("VSplitter1"));
    FrontView1 = CreateView(QStringLiteral("FrontView1"), VSplitter1);
    TopView1 = CreateView(QStringLiteral("TopView1"), VSplitter1);
    VSplitter1->addWidget(FrontView1);
    VSplitter1->addWidget(TopView1);
    lv->addWidget(VSplitter1);

    P_RightViews = new QWidget(HSplitter);
    P_RightViews->setObjectName(QStringLiteral("P_RightViews"));
    auto* rv = new QVBoxLayout(P_RightViews);
    rv->setContentsMargins(0, 0, 0, 0);
    VSplitter2 = new QSplitter(Qt::Vertical, P_RightViews);
    VSplitter2->setObjectName(QStringLiteral("VSplitter2"));
    LeftView1 = CreateView(QStringLiteral("LeftView1"), VSplitter2);
    VSplitter2->addWidget(LeftView1);
    VSplitter2->addWidget(Build3dArea());
    rv->addWidget(VSplitter2);

    HSplitter->addWidget(P_LeftViews);
    HSplitter->addWidget(P_RightViews);
    HSplitter->setChildrenCollapsible(false);
    VSplitter1->setChildrenCollapsible(false);
    VSplitter2->setChildrenCollapsible(false);
    row->addWidget(HSplitter, 1);
    setCentralWidget(central);

    // Designed sizes, until the settings say otherwise.
    HSplitter->setSizes({Settings.Layout.HSplitter, 520});
    VSplitter1->setSizes({Settings.Layout.VSplitter1, 420});
    VSplitter2->setSizes({Settings.Layout.VSplitter2, 420});
}
