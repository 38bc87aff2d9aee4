#include "app/Main.h"
#include "editor/Editor.h"
#include "app/About.h"
#include "app/AidsMenu.h"
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


TMainForm::TMainForm(const TAppPaths& paths, QWidget* parent)
    : QMainWindow(parent), Paths(paths), Editor(new TEditor(this)), Anim(&Editor->Anim()), Doc(Anim->Doc),
      Models(Editor->Models())
{
    Editor->LinkDataDir = Paths.LinkDataDir;
    Editor->Message = [this](const QString& text) { ShowEditorMessage(text); };
    Editor->Ask = [](const QString& text) { return dialogs().AskYesNo(text, QStringLiteral("Edit Frame")); };
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
    connect(F_FileBrowser, &TF_FileBrowser::ModelChosen, this, [this](const QString& path) {
        LoadModel(path);
        F_FileBrowser->ShowLoadedModel(ModelFileName());
    });
    connect(F_FileBrowser, &TF_FileBrowser::AnimationChosen, this, [this](const QString& path) {
        LoadAnimation(path);
        F_FileBrowser->ShowLoadedAnimation(Doc.AnimFileName);
    });
    connect(F_FrameManipulator, &TF_FrameManipulator::Closed, this, [this] { Menus.FrameTimer1->setChecked(false); });
    connect(F_SelectComponents, &TF_SelectComponents::Accepted, this, [this] { CreateNewAnimation(); });
    // Ctrl+Z and Ctrl+Y work in the frame timer too, where its changes are made.
    F_FrameManipulator->addActions({Menus.Undo1, Menus.Redo1});
    ConnectDocument();
    ShowUndoState();
    Built_ = true;
}

TMainForm::~TMainForm()
{
    // The children are deleted after this body, when this object is a TMainForm no longer:
    // their last signals (the tree model's rows going) must not reach handlers that use it.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    Editor->disconnect(this);
    F_FileBrowser = nullptr;
    F_SelectComponents = nullptr;
    F_FrameManipulator = nullptr;
    F_ProxySelect = nullptr;
}

void TMainForm::SetHint(QWidget* w, const QString& hint) { ::SetHint(w, hint); }

bool TMainForm::event(QEvent* e)
{
    // Hints go to the first status panel rather than over the whole status bar.
    // When the mouse leaves the control, the note they covered shows again.
    if (e->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        SetStatusText(0, tip.isEmpty() ? StatusNote_ : tip);
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
    // An export is not a view: its materials are opaque unless the user asks otherwise.
    Menus.ExportTransparent1 = Menus.MenuFile->addAction(QStringLiteral("glTF Transparent as the 3D View"));
    Menus.ExportTransparent1->setCheckable(true);

    Menus.MenuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    Menus.Undo1 = Menus.MenuEdit->addAction(QStringLiteral("&Undo"), this, [this] { Undo1Click(); });
    Menus.Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Menus.Redo1 = Menus.MenuEdit->addAction(QStringLiteral("&Redo"), this, [this] { Redo1Click(); });
    Menus.Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // What is offered depends on playback, edit mode and open cells: looked at afresh.
    connect(Menus.MenuEdit, &QMenu::aboutToShow, this, [this] { ShowUndoState(); });
    // Edit > Flip Pose and the View menu of onion skin and motion path.
    auto* aids = new TAidsMenu(*Editor, menuBar(), Menus.MenuEdit);
    connect(aids, &TAidsMenu::Note, this, [this](const QString& text) { SetStatusNote(text); });

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
    // The component the menu was opened on, hidden (checked) or shown.
    Menus.Hide1 = Menus.PopupMenu_Select->addAction(QStringLiteral("Hide"));
    Menus.Hide1->setCheckable(true);
    connect(Menus.Hide1, &QAction::triggered, this, [this](bool hidden) { Editor->SetHidden(SelectedNode(), hidden); });
    Menus.PopupMenu_Select->addSeparator();
    Menus.ShowAll1 = Menus.PopupMenu_Select->addAction(QStringLiteral("&Show All"), this, [this] { ShowAll1Click(); });
    Menus.HideAll1 = Menus.PopupMenu_Select->addAction(QStringLiteral("&Hide All"), this, [this] { HideAllClick(); });
    Menus.PopupMenu_Select->addSeparator();
    Menus.ShowAnimatedOnly1 = Menus.PopupMenu_Select->addAction(QStringLiteral("Show &Animated Only"), this,
                                                                [this] { ShowAnimationOnly(); });
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
        const TSelection* s = SelectedComponent();
        Menus.Hide1->setEnabled(s);
        Menus.Hide1->setChecked(s && s->Hidden);
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

void TMainForm::ShowEditorMessage(const QString& text)
{
    if (Playback_ && !Playback_->MessageAsBox(text))
        SetStatusNote(text);  // said in a box already in this playback
    else
        dialogs().ShowMessage(text);
}

QString TMainForm::StatusText(int panel) const { return StatusPanels[panel]->text(); }

void TMainForm::SetStatusText(int panel, const QString& text)
{
    StatusPanels[panel]->setText(text);
    StatusPanels[panel]->setToolTip(text);
    // A note tells of the last load or export: the next model or animation ends it.
    if ((panel == 1 || panel == 2) && !StatusNote_.isEmpty()) {
        if (StatusText(0) == StatusNote_)
            SetStatusText(0, {});
        StatusNote_.clear();
    }
}

void TMainForm::SetStatusNote(const QString& text)
{
    StatusNote_ = text;
    SetStatusText(0, text);
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
    TV_EditComponents->LinkingEnabled = [this] { return P_DisplayMode->PivotMode(); };
    TV_EditComponents->SetForest(&Editor->Forest());
    TComponentTreeModel* tree = TV_EditComponents->TreeModel();
    tree->IsAnimated = [this](const TSelection* s) { return IsInAnimation(s); };
    // The hidden cross and drops are the editor's operations.
    tree->SetHidden = [this](int node, bool hidden) { Editor->SetHidden(node, hidden); };
    tree->Link = [this](int node, int parent) { return Editor->Link(node, parent); };
    connect(TV_EditComponents, &TComponentTree::NodePressed, this, [this](int node) { TV_EditComponentsMouseDown(node); });
    // The views mark what is selected: they follow every change of the selection, however it
    // came (a click, Ctrl+click, keys, a rebuild), once per turn of the event loop.
    connect(TV_EditComponents, &TComponentTree::SelectionChanged, this, [this] {
        Editor->SetSelection(TV_EditComponents->SelectedNodes(), TV_EditComponents->SelectedNode());
    });
    BuildTreePopup();
    // At least ten rows: in a short window the column scrolls rather than squeezing the
    // tree down to a few rows.
    TV_EditComponents->setMinimumHeight(10 * TV_EditComponents->fontMetrics().height() + 24);
    col->addWidget(TV_EditComponents, 1);

    P_DisplayMode = new TDisplayModePanel(P_Left);
    connect(P_DisplayMode, &TDisplayModePanel::ShowChanged, this, [this] { OptionsFromControls(); });
    connect(P_DisplayMode, &TDisplayModePanel::PivotModeToggled, this, [this](bool on) { B_ChangePivotStatusChanged(on); });
    connect(P_DisplayMode, &TDisplayModePanel::SaveLinkingPressed, this, [this] { B_SaveLinkingStatusChanged(); });
    connect(P_DisplayMode, &TDisplayModePanel::LoadLinkingPressed, this, [this] { B_LoadLinkingStatusChanged(); });
    col->addWidget(P_DisplayMode);

    col->addWidget(BuildFramePanel());

    col->addWidget(BuildEditPanel());

    col->addWidget(BuildPlayPanel());
    return P_Left;
}

QWidget* TMainForm::BuildFramePanel()
{
    P_Timing = new TFramePanel(*Anim, P_Left);
    connect(P_Timing, &TFramePanel::EditPressed, this, [this] { B_EditingStatusChanged(); });
    connect(P_Timing, &TFramePanel::ResetPressed, this, [this] { B_ResetMatrixStatusChanged(); });
    connect(P_Timing, &TFramePanel::AppendPressed, this, [this] { B_AppendStatusChanged(); });
    connect(P_Timing, &TFramePanel::DeletePressed, this, [this] { B_DelAnimStatusChanged(); });
    connect(P_Timing, &TFramePanel::UnloadPressed, this, [this] { B_UnloadAnimStatusChanged(); });
    connect(P_Timing, &TFramePanel::NewPressed, this, [this] { B_NewAnimStatusChanged(); });
    return P_Timing;
}

QWidget* TMainForm::BuildEditPanel()
{
    P_EditAnim = new TEditPanel(P_Left);
    connect(P_EditAnim, &TEditPanel::ApplyPressed, this, [this] { B_ApplyEditStatusChanged(); });
    connect(P_EditAnim, &TEditPanel::CancelPressed, this, [this] { B_CancelEditStatusChanged(); });
    connect(P_EditAnim, &TEditPanel::ResetPressed, this, [this] { B_ResetEditStatusChanged(); });
    EditTimer_ = new QTimer(this);
    EditTimer_->setObjectName(QStringLiteral("EditTimer"));
    EditTimer_->setInterval(50);
    connect(EditTimer_, &QTimer::timeout, this, [this] { EditTimerTimer(); });
    return P_EditAnim;
}

QWidget* TMainForm::BuildPlayPanel()
{
    P_AnimControl = new TPlayPanel(P_Left);
    TPlayPanel* p = P_AnimControl;
    connect(p, &TPlayPanel::StepRequested, this, [this](int v) { SetActStep(v); });
    connect(p, &TPlayPanel::PrevPressed, this, [this] { SetActStep(Doc.ActAnimStep - 1); });
    connect(p, &TPlayPanel::NextPressed, this, [this] { SetActStep(Doc.ActAnimStep + 1); });
    connect(p, &TPlayPanel::PlayToggled, this, [this](bool on) {
        B_PlayStatusChanged(on);
        ShowUndoState();
    });
    connect(p, &TPlayPanel::TotalMoveEdited, this, [this](int axis, double v) { E_TMChanged(axis, v); });
    connect(p, &TPlayPanel::ShowChanged, this, [this] { OptionsFromControls(); });
    connect(p, &TPlayPanel::TransparencyChanged, this, [this] { P_3dArea->UpdateView(); });
    // The left column widens for the offsets where this platform's font asks for more
    // than its 300 pixels.
    P_Left->setFixedWidth(std::max(P_Left->width(), p->OffsetsWidth() + 8));
    return p;
}

QWidget* TMainForm::Build3dArea()
{
    P_3dArea = new T3dArea(this);
    if (P_3dArea->View())
        Wire3dView();
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
    // No view becomes a sliver: not by a drag, nor by sizes saved in a larger (maximised)
    // window and restored in a smaller one, nor when the window shrinks.
    for (QWidget* column : {Panes.P_LeftViews, Panes.P_RightViews})
        column->setMinimumWidth(MinViewSize);
    for (QWidget* view : {static_cast<QWidget*>(Panes.FrontView1), static_cast<QWidget*>(Panes.TopView1),
                          static_cast<QWidget*>(Panes.LeftView1), static_cast<QWidget*>(P_3dArea)})
        view->setMinimumHeight(MinViewSize);
    for (QSplitter* s : {Panes.HSplitter, Panes.VSplitter1, Panes.VSplitter2})
        connect(s, &QSplitter::splitterMoved, this, [this] { MaximizedSplits_.reset(); });
    row->addWidget(Panes.HSplitter, 1);
    setCentralWidget(central);

    // Designed sizes, until the settings say otherwise.
    Panes.HSplitter->setSizes({Settings.Layout.HSplitter, 520});
    Panes.VSplitter1->setSizes({Settings.Layout.VSplitter1, 420});
    Panes.VSplitter2->setSizes({Settings.Layout.VSplitter2, 420});
}
