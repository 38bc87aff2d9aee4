#include "app/Main.h"
#include "editor/Editor.h"
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
#include <QTreeWidget>
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
    : QMainWindow(parent), Paths(paths), Editor(new TEditor(this)), Anim(&Editor->Anim()), Doc(Anim->Doc),
      Models(Editor->Models())
{
    Editor->LinkDataDir = Paths.LinkDataDir;
    Editor->Message = [](const QString& text) { dialogs().ShowMessage(text); };
    Editor->ChooseProxy = [](const QStringList& names) {
        return dialogs().ChooseItem(QStringLiteral("Select Proxy"),
                                    QStringLiteral("Select Proxy to replace by current model:"), names, 0);
    };
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
    connect(F_FileBrowser, &TF_FileBrowser::Closed, this, [this] { Menus.FileBrowser1->setChecked(false); });
    connect(F_FileBrowser, &TF_FileBrowser::ModelChosen, this, [this](const QString& path) { LoadModel(path); });
    connect(F_FileBrowser, &TF_FileBrowser::AnimationChosen, this, [this](const QString& path) { LoadAnimation(path); });
    connect(F_FrameManipulator, &TF_FrameManipulator::Closed, this, [this] { Menus.FrameTimer1->setChecked(false); });
    connect(F_SelectComponents, &TF_SelectComponents::Accepted, this, [this] { CreateNewAnimation(); });
    // Ctrl+Z and Ctrl+Y work in the frame timer too, where its changes are made.
    F_FrameManipulator->addActions({Menus.Undo1, Menus.Redo1});
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
    // The tree points into the models: empty it before they go.
    if (TV_EditComponents)
        TV_EditComponents->clear();
    Editor->disconnect(this);
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
    Menus.MenuFile = menuBar()->addMenu(QStringLiteral("&File"));
    Menus.LoadAnim1 = Menus.MenuFile->addAction(QStringLiteral("Load Anim..."), QKeySequence(Qt::CTRL | Qt::Key_R), this,
                                    [this] { LoadAnim1Click(); });
    Menus.LoadP3d1 = Menus.MenuFile->addAction(QStringLiteral("Load P3d..."), QKeySequence(Qt::CTRL | Qt::Key_P), this,
                                   [this] { LoadP3d1Click(); });
    Menus.LoadEnviromentP3d1 = Menus.MenuFile->addAction(QStringLiteral("Load Environment P3d..."), QKeySequence(Qt::CTRL | Qt::Key_E),
                                             this, [this] { LoadEnviromentP3d1Click(); });
    Menus.MenuFile->addSeparator();
    Menus.SaveAnimAs1 = Menus.MenuFile->addAction(QStringLiteral("Save Anim As..."), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                                      [this] { SaveAnimationAs(); });
    Menus.MenuFile->addSeparator();
    Menus.ExportGltf1 = Menus.MenuFile->addAction(QStringLiteral("Export glTF..."), this, [this] { ExportModelClick(true); });
    Menus.ExportObj1 = Menus.MenuFile->addAction(QStringLiteral("Export OBJ..."), this, [this] { ExportModelClick(false); });

    Menus.MenuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    Menus.Undo1 = Menus.MenuEdit->addAction(QStringLiteral("&Undo"), this, [this] { Undo1Click(); });
    Menus.Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Menus.Redo1 = Menus.MenuEdit->addAction(QStringLiteral("&Redo"), this, [this] { Redo1Click(); });
    Menus.Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // What is offered depends on playback, edit mode and open cells: looked at afresh.
    connect(Menus.MenuEdit, &QMenu::aboutToShow, this, [this] { UpdateUndoActions(); });

    Menus.MenuModify = menuBar()->addMenu(QStringLiteral("&Modify"));
    Menus.LoadPivotsAndLinking1 = Menus.MenuModify->addAction(QStringLiteral("Load Pivots and Linking..."), this,
                                                  [this] { B_LoadLinkingStatusChanged(); });
    Menus.MenuModify->menuAction()->setVisible(false);

    Menus.MenuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    Menus.ShowAxes1 = Menus.MenuSettings->addAction(QStringLiteral("Show &Axes"));
    Menus.ShowAxes1->setShortcut(Qt::Key_F5);
    Menus.ShowGrid1 = Menus.MenuSettings->addAction(QStringLiteral("Show &Grid"));
    Menus.ShowGrid1->setShortcut(Qt::Key_F6);
    Menus.AutoScale1 = Menus.MenuSettings->addAction(QStringLiteral("Auto &Scale"));
    Menus.AutoScale1->setShortcut(Qt::Key_F7);
    for (QAction* a : {Menus.ShowAxes1, Menus.ShowGrid1, Menus.AutoScale1}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    connect(Menus.ShowAxes1, &QAction::toggled, this, [this] { OptionsFromControls(); });
    connect(Menus.ShowGrid1, &QAction::toggled, this, [this] { ShowGrid1Click(); });
    connect(Menus.AutoScale1, &QAction::toggled, this, [this] { OptionsFromControls(); });
    Menus.MenuSettings->addSeparator();
    Menus.SelectTranslationFile1 = Menus.MenuSettings->addAction(QStringLiteral("Select &Translation File..."), this,
                                                     [this] { SelectTranslationFile1Click(); });
    Menus.SelectColorFile1 = Menus.MenuSettings->addAction(QStringLiteral("Select &Color File..."), this,
                                               [this] { SelectColorFile1Click(); });
    Menus.MenuSettings->addSeparator();
    Menus.SaveSettings1 = Menus.MenuSettings->addAction(QStringLiteral("Save Settings"), QKeySequence(Qt::Key_F2), this,
                                            [this] { SaveSettings1Click(); });
    Menus.AutoSaveSettings1 = Menus.MenuSettings->addAction(QStringLiteral("Auto Save Settings On Exit"));
    Menus.AutoSaveSettings1->setCheckable(true);
    Menus.AutoSaveSettings1->setChecked(true);

    Menus.MenuExtras = menuBar()->addMenu(QStringLiteral("Extras"));
    Menus.FileBrowser1 = Menus.MenuExtras->addAction(QStringLiteral("File Browser ..."));
    Menus.FileBrowser1->setShortcut(Qt::Key_F9);
    Menus.FileBrowser1->setCheckable(true);
    connect(Menus.FileBrowser1, &QAction::triggered, this, [this](bool on) { F_FileBrowser->setVisible(on); });
    Menus.FrameTimer1 = Menus.MenuExtras->addAction(QStringLiteral("Frame Timer ..."));
    Menus.FrameTimer1->setShortcut(Qt::Key_F10);
    Menus.FrameTimer1->setCheckable(true);
    connect(Menus.FrameTimer1, &QAction::triggered, this, [this](bool on) { F_FrameManipulator->setVisible(on); });

    Menus.About1 = menuBar()->addAction(QStringLiteral("&About"), this, [this] { About1Click(); });
    // The desktop's usual way out; it asks the exit question like the close box.
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void TMainForm::BuildTreePopup()
{
    Menus.PopupMenu_Select = new QMenu(TV_EditComponents);
    Menus.PopupMenu_Select->setObjectName(QStringLiteral("PopupMenu_Select"));
    Menus.ShowAll1 = Menus.PopupMenu_Select->addAction(QStringLiteral("&Show All"), this, [this] { ShowAll1Click(); });
    Menus.HideAll1 = Menus.PopupMenu_Select->addAction(QStringLiteral("&Hide All"), this, [this] { HideAllClick(); });
    Menus.PopupMenu_Select->addSeparator();
    Menus.ShowAnimatedOnly1 = Menus.PopupMenu_Select->addAction(QStringLiteral("Show &Animated Only"), this, [this] {
        ShowAnimationOnly();
        CommitModelEdit(QStringLiteral("Show Animated Only"));
    });
    Menus.PopupMenu_Select->addSeparator();
    Menus.ChangeColor1 = Menus.PopupMenu_Select->addAction(QStringLiteral("Change Color..."), this, [this] { ChangeColorClick(); });
    Menus.SaveColors1 = Menus.PopupMenu_Select->addAction(QStringLiteral("Save Colors..."), this, [this] { SaveColorsClick(); });
    Menus.PopupMenu_Select->addSeparator();
    Menus.AssignNewName1 = Menus.PopupMenu_Select->addAction(QStringLiteral("Assign new Name..."), this, [this] { AssignnewnameClick(); });
    Menus.SaveNames1 = Menus.PopupMenu_Select->addAction(QStringLiteral("Save Names..."), this, [this] { SavenamesClick(); });
    Menus.PopupMenu_Select->addSeparator();
    Menus.Moveonelevelup1 = Menus.PopupMenu_Select->addAction(QStringLiteral("&Move one level up"), this,
                                                  [this] { Moveonelevelup1Click(); });
    TV_EditComponents->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TV_EditComponents, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        Menus.PopupMenu_Select->popup(TV_EditComponents->viewport()->mapToGlobal(pos));
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
    TV_EditComponents->LinkingEnabled = [this] { return P_DisplayMode->B_ChangePivot->isChecked(); };
    TV_EditComponents->IsAnimated = [this](const TSelection* s) { return IsInAnimation(s); };
    connect(TV_EditComponents, &TComponentTree::NodePressed, this,
            [this](QTreeWidgetItem* node) { TV_EditComponentsMouseDown(node); });
    connect(TV_EditComponents, &TComponentTree::MouseReleased, this, [this] { TV_EditComponentsMouseUp(); });
    connect(TV_EditComponents, &TComponentTree::HierarchyChanged, this, [this] { CommitModelEdit(QStringLiteral("Link Component")); });
    // The views mark what is selected: they follow every change of the selection, however it
    // came (a click, Ctrl+click, keys, a rebuild), once per turn of the event loop.
    connect(TV_EditComponents, &QTreeWidget::itemSelectionChanged, this, [this] {
        Editor->SetPivotComponent(SelectionOf(SelectedNode()));
        ScheduleRefresh();
    });
    BuildTreePopup();
    // At least ten rows: in a short window the column scrolls rather than squeezing the
    // tree down to a few rows.
    TV_EditComponents->setMinimumHeight(10 * TV_EditComponents->fontMetrics().height() + 24);
    col->addWidget(TV_EditComponents, 1);

    P_DisplayMode = new TDisplayModePanel(P_Left);
    P_DisplayMode->setObjectName(QStringLiteral("P_DisplayMode"));
    auto* dm = new QGridLayout(P_DisplayMode);
    dm->setContentsMargins(0, 0, 0, 0);
    P_DisplayMode->RB_CheckedSelections = Led(QStringLiteral("Selected Components"), QStringLiteral("RB_CheckedSelections"),
                               QStringLiteral("Show the components that are not hidden"), P_DisplayMode);
    P_DisplayMode->RB_AllSelections = Led(QStringLiteral("All Components"), QStringLiteral("RB_AllSelections"),
                           QStringLiteral("Show every component"), P_DisplayMode);
    P_DisplayMode->AbLED1 = Led(QStringLiteral("No Component"), QStringLiteral("AbLED1"), QStringLiteral("Show no components"),
                 P_DisplayMode);
    for (TLedButton* b : {P_DisplayMode->RB_CheckedSelections, P_DisplayMode->RB_AllSelections, P_DisplayMode->AbLED1}) {
        b->setAutoExclusive(true);
        connect(b, &QToolButton::toggled, this, [this](bool on) {
            if (on)
                OptionsFromControls();
        });
    }
    P_DisplayMode->RB_CheckedSelections->setChecked(true);
    P_DisplayMode->RB_AllPolygons = Led(QStringLiteral("All Polygons"), QStringLiteral("RB_AllPolygons"),
                         QStringLiteral("Show every polygon of the model"), P_DisplayMode);
    P_DisplayMode->B_Points = Led(QStringLiteral("Points"), QStringLiteral("B_Points"), QStringLiteral("Show points"), P_DisplayMode);
    P_DisplayMode->B_ChangePivot = Led(QStringLiteral("Change Pivots && Linking"), QStringLiteral("B_ChangePivot"),
                        QStringLiteral("Set pivots with Shift+click and link components by drag and drop"),
                        P_DisplayMode);
    connect(P_DisplayMode->B_ChangePivot, &QToolButton::toggled, this, [this](bool on) { B_ChangePivotStatusChanged(on); });
    P_DisplayMode->LED_Linking = Led(QStringLiteral("Linking"), QStringLiteral("LED_Linking"),
                      QStringLiteral("Pivot and linking file loaded"), P_DisplayMode);
    // An indicator, not a switch: drawn like the other LEDs so its state reads at a glance.
    P_DisplayMode->LED_Linking->setAttribute(Qt::WA_TransparentForMouseEvents);
    P_DisplayMode->LED_Linking->setFocusPolicy(Qt::NoFocus);
    P_DisplayMode->B_SaveLinking = PushButton(QStringLiteral("Save Pivots and Linking"), QStringLiteral("B_SaveLinking"),
                               QStringLiteral("Save the hierarchy and the pivots of the model"), P_DisplayMode);
    P_DisplayMode->B_LoadLinking = PushButton(QStringLiteral("Load Pivots and Linking..."), QStringLiteral("B_LoadLinking"),
                               QStringLiteral("Load a hierarchy and pivots file"), P_DisplayMode);
    OnPress(P_DisplayMode->B_SaveLinking, this, [this] { B_SaveLinkingStatusChanged(); });
    OnPress(P_DisplayMode->B_LoadLinking, this, [this] { B_LoadLinkingStatusChanged(); });
    connect(P_DisplayMode->RB_AllPolygons, &QToolButton::toggled, this, [this] { OptionsFromControls(); });
    auto* show = new QLabel(QStringLiteral("Show..."), P_DisplayMode);
    SetHint(show, QStringLiteral("Click to select Modus"));
    dm->addWidget(show, 0, 0);
    dm->addWidget(P_DisplayMode->RB_CheckedSelections, 0, 1);
    dm->addWidget(P_DisplayMode->RB_AllSelections, 1, 0);
    dm->addWidget(P_DisplayMode->AbLED1, 1, 1);
    dm->addWidget(P_DisplayMode->RB_AllPolygons, 2, 0);
    dm->addWidget(P_DisplayMode->B_Points, 2, 1);
    dm->addWidget(P_DisplayMode->B_ChangePivot, 3, 0);
    dm->addWidget(P_DisplayMode->LED_Linking, 3, 1);
    dm->addWidget(P_DisplayMode->B_SaveLinking, 4, 0, 1, 2);
    dm->addWidget(P_DisplayMode->B_LoadLinking, 5, 0, 1, 2);
    col->addWidget(P_DisplayMode);

    col->addWidget(BuildFramePanel());

    col->addWidget(BuildEditPanel());

    col->addWidget(BuildPlayPanel());
    return P_Left;
}

QWidget* TMainForm::BuildFramePanel()
{
    P_Timing = new TFramePanel(P_Left);
    P_Timing->setObjectName(QStringLiteral("P_Timing"));
    auto* l = new QGridLayout(P_Timing);
    l->setContentsMargins(0, 0, 0, 0);

    P_Timing->G_Frames = new TFrameGrid(*Anim, P_Timing);
    P_Timing->G_Frames->setObjectName(QStringLiteral("G_Frames"));
    l->addWidget(P_Timing->G_Frames, 0, 0, 7, 1);

    P_Timing->B_Append = PushButton(QStringLiteral("Insert after"), QStringLiteral("B_Append"),
                          QStringLiteral("Insert a new Frame after the current selected Frame"), P_Timing);
    P_Timing->B_DelAnim = PushButton(QStringLiteral("Delete Frame"), QStringLiteral("B_DelAnim"),
                           QStringLiteral("Delete Selected Frame"), P_Timing);
    P_Timing->B_UnloadAnim = PushButton(QStringLiteral("Unload Animation"), QStringLiteral("B_UnloadAnim"),
                              QStringLiteral("Clear and unload Animation"), P_Timing);
    P_Timing->B_NewAnim = PushButton(QStringLiteral("New Animation..."), QStringLiteral("B_NewAnim"),
                           QStringLiteral("Create a new Animation"), P_Timing);
    P_Timing->B_Editing = PushButton(QStringLiteral("Edit Frame"), QStringLiteral("B_Editing"),
                           QStringLiteral("Edit selected Frame"), P_Timing);
    P_Timing->B_ResetMatrix = PushButton(QStringLiteral("Reset Frame"), QStringLiteral("B_ResetMatrix"),
                              QStringLiteral("Reset Frame Matrix"), P_Timing);
    int row = 0;
    for (QPushButton* b : {P_Timing->B_Append, P_Timing->B_DelAnim, P_Timing->B_UnloadAnim, P_Timing->B_NewAnim, P_Timing->B_Editing, P_Timing->B_ResetMatrix})
        l->addWidget(b, row++, 1);
    OnPress(P_Timing->B_Editing, this, [this] { B_EditingStatusChanged(); });
    OnPress(P_Timing->B_ResetMatrix, this, [this] { B_ResetMatrixStatusChanged(); });
    OnPress(P_Timing->B_Append, this, [this] { B_AppendStatusChanged(); });
    OnPress(P_Timing->B_DelAnim, this, [this] { B_DelAnimStatusChanged(); });
    OnPress(P_Timing->B_UnloadAnim, this, [this] { B_UnloadAnimStatusChanged(); });
    OnPress(P_Timing->B_NewAnim, this, [this] { B_NewAnimStatusChanged(); });
    return P_Timing;
}

QWidget* TMainForm::BuildEditPanel()
{
    P_EditAnim = new TEditPanel(P_Left);
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
    P_EditAnim->B_EditOperation = toggle(QStringLiteral("Rotate"), QStringLiteral("Move"), QStringLiteral("B_EditOperation"));
    P_EditAnim->B_RotType = toggle(QStringLiteral("Relative"), QStringLiteral("Absolut"), QStringLiteral("B_RotType"));
    l->addWidget(P_EditAnim->B_EditOperation, 0, 0, 1, 2);
    l->addWidget(P_EditAnim->B_RotType, 0, 2, 1, 2);
    int row = 1;
    for (QSlider** slot : {&P_EditAnim->Chg_X, &P_EditAnim->Chg_Y, &P_EditAnim->Chg_Z}) {
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
    P_EditAnim->B_ApplyEdit = PushButton(QStringLiteral("Apply Changes"), QStringLiteral("B_ApplyEdit"),
                             QStringLiteral("Write the edit into the frame"), P_EditAnim);
    P_EditAnim->B_CancelEdit = PushButton(QStringLiteral("Cancel Changes"), QStringLiteral("B_CancelEdit"),
                              QStringLiteral("Leave edit mode without writing"), P_EditAnim);
    P_EditAnim->B_ResetEdit = PushButton(QStringLiteral("Restore"), QStringLiteral("B_ResetEdit"),
                             QStringLiteral("Restore Component Frame"), P_EditAnim);
    l->addWidget(P_EditAnim->B_ApplyEdit, row + 1, 0, 1, 2);
    l->addWidget(P_EditAnim->B_CancelEdit, row + 1, 2, 1, 2);
    l->addWidget(P_EditAnim->B_ResetEdit, row + 2, 0, 1, 4);
    OnPress(P_EditAnim->B_ApplyEdit, this, [this] { B_ApplyEditStatusChanged(); });
    OnPress(P_EditAnim->B_CancelEdit, this, [this] { B_CancelEditStatusChanged(); });
    OnPress(P_EditAnim->B_ResetEdit, this, [this] { B_ResetEditStatusChanged(); });

    EditTimer_ = new QTimer(this);
    EditTimer_->setObjectName(QStringLiteral("EditTimer"));
    EditTimer_->setInterval(50);
    connect(EditTimer_, &QTimer::timeout, this, [this] { EditTimerTimer(); });
    return P_EditAnim;
}

QWidget* TMainForm::BuildPlayPanel()
{
    P_AnimControl = new TPlayPanel(P_Left);
    P_AnimControl->setObjectName(QStringLiteral("P_AnimControl"));
    auto* l = new QGridLayout(P_AnimControl);
    l->setContentsMargins(0, 0, 0, 0);

    P_AnimControl->AnimSlider = new QSlider(Qt::Horizontal, P_AnimControl);
    P_AnimControl->AnimSlider->setObjectName(QStringLiteral("AnimSlider"));
    P_AnimControl->AnimSlider->setRange(0, 0);
    P_AnimControl->AnimSlider->setTickPosition(QSlider::TicksBelow);
    P_AnimControl->AnimSlider->setPageStep(1);
    connect(P_AnimControl->AnimSlider, &QSlider::valueChanged, this, [this](int v) { SetActStep(v); });
    P_AnimControl->B_Prev = Led(QStringLiteral("<"), QStringLiteral("B_Prev"), QStringLiteral("Previous Frame"), P_AnimControl);
    P_AnimControl->B_Next = Led(QStringLiteral(">"), QStringLiteral("B_Next"), QStringLiteral("Next Frame"), P_AnimControl);
    P_AnimControl->B_Prev->setCheckable(false);
    P_AnimControl->B_Next->setCheckable(false);
    connect(P_AnimControl->B_Prev, &QToolButton::pressed, this, [this] { SetActStep(Doc.ActAnimStep - 1); });
    connect(P_AnimControl->B_Next, &QToolButton::pressed, this, [this] { SetActStep(Doc.ActAnimStep + 1); });
    P_AnimControl->D_Steps = new QLCDNumber(5, P_AnimControl);
    P_AnimControl->D_Steps->setObjectName(QStringLiteral("D_Steps"));
    SetHint(P_AnimControl->D_Steps, QStringLiteral("Total Frames"));
    P_AnimControl->D_ActStep = new QLCDNumber(5, P_AnimControl);
    P_AnimControl->D_ActStep->setObjectName(QStringLiteral("D_ActStep"));
    SetHint(P_AnimControl->D_ActStep, QStringLiteral("Current Frame"));
    for (QLCDNumber* d : {P_AnimControl->D_Steps, P_AnimControl->D_ActStep}) {
        d->setSegmentStyle(QLCDNumber::Flat);
        d->display(0);
    }
    l->addWidget(P_AnimControl->B_Prev, 0, 0);
    l->addWidget(P_AnimControl->AnimSlider, 0, 1, 1, 2);
    l->addWidget(P_AnimControl->B_Next, 0, 3);
    l->addWidget(P_AnimControl->D_ActStep, 1, 1);
    l->addWidget(P_AnimControl->D_Steps, 1, 2);

    P_AnimControl->B_Play = new QPushButton(QStringLiteral("Play"), P_AnimControl);
    P_AnimControl->B_Play->setObjectName(QStringLiteral("B_Play"));
    P_AnimControl->B_Play->setCheckable(true);
    SetHint(P_AnimControl->B_Play, QStringLiteral("Play the animation"));
    connect(P_AnimControl->B_Play, &QPushButton::toggled, this, [this](bool on) {
        B_PlayStatusChanged(on);
        UpdateUndoActions();
    });
    l->addWidget(P_AnimControl->B_Play, 2, 0, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Play Time:"), P_AnimControl), 3, 0);
    P_AnimControl->E_AnimTime = SpinEdit(QStringLiteral("E_AnimTime"), 1, 1, 0, 100000, P_AnimControl);
    P_AnimControl->E_AnimTime->setValue(1);
    SetHint(P_AnimControl->E_AnimTime, QStringLiteral("Enter Time for Animation Preview"));
    l->addWidget(P_AnimControl->E_AnimTime, 3, 1, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Sec."), P_AnimControl), 3, 3);

    l->addWidget(new QLabel(QStringLiteral("Total Move:"), P_AnimControl), 4, 0);
    // The total move is stored as floats: the edits show and take any float exactly, so a
    // value from a file is never changed by being shown.
    constexpr double maxFloat = std::numeric_limits<float>::max();
    P_AnimControl->E_TM_x = SpinEdit(QStringLiteral("E_TM_x"), 0.1, -1, -maxFloat, maxFloat, P_AnimControl);
    P_AnimControl->E_TM_y = SpinEdit(QStringLiteral("E_TM_y"), 0.1, -1, -maxFloat, maxFloat, P_AnimControl);
    P_AnimControl->E_TM_z = SpinEdit(QStringLiteral("E_TM_z"), 0.1, -1, -maxFloat, maxFloat, P_AnimControl);
    int axis = 0;
    for (TNumberEdit* e : {P_AnimControl->E_TM_x, P_AnimControl->E_TM_y, P_AnimControl->E_TM_z}) {
        const int a = axis++;
        e->setWidthForText(QStringLiteral("-000.000"));
        connect(e, &TNumberEdit::valueChanged, this, [this, a](double v) { E_TMChanged(a, v); });
    }
    l->addWidget(P_AnimControl->E_TM_x, 5, 0);
    l->addWidget(P_AnimControl->E_TM_y, 5, 1);
    l->addWidget(P_AnimControl->E_TM_z, 5, 2);
    P_AnimControl->B_TotalMove = Led(QStringLiteral("TM"), QStringLiteral("B_TotalMove"), QStringLiteral("Total Move On/Off"), P_AnimControl);
    P_AnimControl->B_TotalMove->setChecked(true);
    connect(P_AnimControl->B_TotalMove, &QToolButton::toggled, this, [this] { OptionsFromControls(); });
    l->addWidget(P_AnimControl->B_TotalMove, 5, 3);

    l->addWidget(new QLabel(QStringLiteral("Modell Offset from Center:"), P_AnimControl), 6, 0, 1, 4);
    P_AnimControl->OffX = SpinEdit(QStringLiteral("OffX"), 0.01, 7, -360, 360, P_AnimControl);
    P_AnimControl->OffY = SpinEdit(QStringLiteral("OffY"), 0.01, 7, -360, 360, P_AnimControl);
    P_AnimControl->OffZ = SpinEdit(QStringLiteral("OffZ"), 0.01, 7, -360, 360, P_AnimControl);
    // The offsets get a row of their own, each as wide as "-360.0000000" needs; the left
    // column widens for them where this platform's font asks for more than its 300 pixels.
    auto* offsets = new QHBoxLayout;
    offsets->setSpacing(2);
    int needed = 0;
    for (TNumberEdit* e : {P_AnimControl->OffX, P_AnimControl->OffY, P_AnimControl->OffZ}) {
        e->setWidthForText(QStringLiteral("-360.0000000"));
        connect(e, &TNumberEdit::valueChanged, this, [this] { OptionsFromControls(); });
        offsets->addWidget(e);
        needed += e->sizeHint().width() + offsets->spacing();
    }
    l->addLayout(offsets, 7, 0, 1, 4);
    P_Left->setFixedWidth(std::max(P_Left->width(), needed + 8));
    P_AnimControl->B_Enviroment = Led(QStringLiteral("Enviroment"), QStringLiteral("B_Enviroment"),
                       QStringLiteral("Show the environment model"), P_AnimControl);
    connect(P_AnimControl->B_Enviroment, &QToolButton::toggled, this, [this] { OptionsFromControls(); });
    l->addWidget(P_AnimControl->B_Enviroment, 8, 0, 1, 2);
    BuildTransparencySliders(P_AnimControl, l, 9);
    return P_AnimControl;
}

QWidget* TMainForm::Build3dArea()
{
    P_3dArea = new T3dArea(this);
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
    P_3dArea->B_Light = tool(QStringLiteral("L"), QStringLiteral("B_Light"), QStringLiteral("Light Mode"));
    P_3dArea->B_Transparent3D = tool(QStringLiteral("T"), QStringLiteral("B_Transparent3D"), QStringLiteral("Transparent Mode"));
    P_3dArea->B_Grid = tool(QStringLiteral("G"), QStringLiteral("B_Grid"), QStringLiteral("Grid"));
    P_3dArea->B_Grid->setChecked(true);
    connect(P_3dArea->B_Light, &QToolButton::toggled, this, [this] { B_LightStatusChanged(); });
    connect(P_3dArea->B_Transparent3D, &QToolButton::toggled, this, [this] { B_Transparent3DStatusChanged(); });
    connect(P_3dArea->B_Grid, &QToolButton::toggled, this, [this] { B_GridStatusChanged(); });
    tools->addWidget(P_3dArea->B_Light);
    tools->addWidget(P_3dArea->B_Transparent3D);
    tools->addWidget(P_3dArea->B_Grid);
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

    Panes.HSplitter = new QSplitter(Qt::Horizontal, central);
    Panes.HSplitter->setObjectName(QStringLiteral("HSplitter"));
    Panes.P_LeftViews = new QWidget(Panes.HSplitter);
    Panes.P_LeftViews->setObjectName(QStringLiteral("P_LeftViews"));
    auto* lv = new QVBoxLayout(Panes.P_LeftViews);
    lv->setContentsMargins(0, 0, 0, 0);
    Panes.VSplitter1 = new QSplitter(Qt::Vertical, Panes.P_LeftViews);
    Panes.VSplitter1->setObjectName(QStringLiteral("VSplitter1"));
    Panes.FrontView1 = CreateView(QStringLiteral("FrontView1"), Panes.VSplitter1);
    Panes.TopView1 = CreateView(QStringLiteral("TopView1"), Panes.VSplitter1);
    Panes.VSplitter1->addWidget(Panes.FrontView1);
    Panes.VSplitter1->addWidget(Panes.TopView1);
    lv->addWidget(Panes.VSplitter1);

    Panes.P_RightViews = new QWidget(Panes.HSplitter);
    Panes.P_RightViews->setObjectName(QStringLiteral("P_RightViews"));
    auto* rv = new QVBoxLayout(Panes.P_RightViews);
    rv->setContentsMargins(0, 0, 0, 0);
    Panes.VSplitter2 = new QSplitter(Qt::Vertical, Panes.P_RightViews);
    Panes.VSplitter2->setObjectName(QStringLiteral("VSplitter2"));
    Panes.LeftView1 = CreateView(QStringLiteral("LeftView1"), Panes.VSplitter2);
    Panes.VSplitter2->addWidget(Panes.LeftView1);
    Panes.VSplitter2->addWidget(Build3dArea());
    rv->addWidget(Panes.VSplitter2);

    Panes.HSplitter->addWidget(Panes.P_LeftViews);
    Panes.HSplitter->addWidget(Panes.P_RightViews);
    Panes.HSplitter->setChildrenCollapsible(false);
    Panes.VSplitter1->setChildrenCollapsible(false);
    Panes.VSplitter2->setChildrenCollapsible(false);
    row->addWidget(Panes.HSplitter, 1);
    setCentralWidget(central);

    // Designed sizes, until the settings say otherwise.
    Panes.HSplitter->setSizes({Settings.Layout.HSplitter, 520});
    Panes.VSplitter1->setSizes({Settings.Layout.VSplitter1, 420});
    Panes.VSplitter2->setSizes({Settings.Layout.VSplitter2, 420});
}
