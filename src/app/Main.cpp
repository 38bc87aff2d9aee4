#include "app/Main.h"
#include "editor/Editor.h"
#include "app/About.h"
#include "app/AidsMenu.h"
#include "app/FileBrowser.h"
#include "app/FileOpening.h"
#include "app/RecentFilesMenu.h"
#include "app/WorkKeeper.h"
#include "anim/AnimController.h"
#include "app/FrameGrid.h"
#include "modelforms/ComponentTree.h"
#include "model/P3dModel.h"
#include "modelforms/ProxySelection.h"
#include "modelforms/ComponentSelection.h"
#include "platform/Dialogs.h"
#include "platform/Ini.h"
#include "app/FrameTimer.h"
#include "widgets/Chart.h"
#include "widgets/Controls.h"
#include "widgets/LongWork.h"

#include <QAction>
#include <algorithm>
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
// Files named without the menu's dialogs (a drop, the recent list) open as the menu opens
// a file once its dialog has one.
TFileOpeners Openers(TMainForm* f)
{
    return {[f](const QString& path) { f->LoadModel(path); }, [f](const QString& path) { f->LoadAnimation(path); }};
}
}  // namespace

TMainForm::TMainForm(const TAppPaths& paths, QWidget* parent)
    : QMainWindow(parent), Paths(paths), Editor_(new TEditor(this)), Anim(Editor_->Anim()), Doc(Anim.Doc)
{
    Editor_->LinkDataDir = Paths.LinkDataDir;
    Editor_->Message = [this](const QString& text) { ShowEditorMessage(text); };
    Editor_->Ask = [](const QString& text) { return dialogs().AskYesNo(text, QStringLiteral("Edit Frame")); };
    Editor_->ChooseProxy = [](const QStringList& names) {
        return dialogs().ChooseItem(QStringLiteral("Select Proxy"), QStringLiteral("Select Proxy to replace by current model:"),
                                    names, 0);
    };
    setObjectName(QStringLiteral("MainForm"));
    // The mark shows while the animation has changes that are not saved.
    setWindowTitle(QString::fromLatin1(Caption) + QStringLiteral("[*]"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    BuildMenus();
    BuildLayout();
    BuildStatusBar();
    resize(DesignedWidth, DesignedHeight);
    BuildSecondaryWindows();
    ConnectEditor();
    ShowOptions();
    // Long loads, saves and exports run on a worker thread; the status bar shows how far.
    auto* longWork = new TLongWork(this);
    statusBar()->addPermanentWidget(longWork);
    longWork->Hold(PlayTimer);
    longWork->Hold(EditTimer_);
    Editor_->RunLong = [longWork](const TLongTask& task) { return longWork->Run(task); };
    // Files dropped onto the window or the file browser open as the menu's loads open them.
    new TFileDropTarget(this, Openers(this));
    new TFileDropTarget(F_FileBrowser, Openers(this));
    // Copies of unsaved work, and at start the copies a crash left.
    Keeper_ = new TWorkKeeper(*Editor_, Paths.RecoveryDir, this);
    Keeper_->SaveChangesFirst = [this] { return SaveChangesFirst(); };
    Keeper_->OpenModel = [this](const QString& p) { LoadModel(p); };
    Keeper_->Recovered = [this] { ShowNewAnimation(Doc.FrameCount() * 0.3); };  // the play time a load sets
    Keeper_->Failed = [this](const QString& text) { SetStatusNote(text); };
    ShowUndoState();
    Built_ = true;
}

TMainForm::~TMainForm()
{
    // The children are deleted after this body, when this object is a TMainForm no longer:
    // their last signals (the tree model's rows going) must not reach handlers that use it.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    Editor_->disconnect(this);
}

void TMainForm::BuildSecondaryWindows()
{
    // In their order of creation; only the main window is shown.
    F_About = new TF_About(this);
    F_FileBrowser = new TF_FileBrowser(this);
    F_SelectComponents = new TF_SelectComponents(this);
    F_FrameManipulator = new TF_FrameManipulator(Anim, this);
    F_ProxySelect = new TF_ProxySelect(this);
    connect(F_FileBrowser, &TF_FileBrowser::Closed, this, [this] { FileBrowser1->setChecked(false); });
    connect(F_FileBrowser, &TF_FileBrowser::ModelChosen, this, [this](const QString& path) { LoadModel(path); });
    connect(F_FileBrowser, &TF_FileBrowser::AnimationChosen, this, [this](const QString& path) { LoadAnimation(path); });
    // The browser marks what is loaded, whichever way it came.
    connect(Editor_, &TEditor::Changed, this, [this](unsigned what) {
        if (what & (ChangeModel | ChangeDocument))
            F_FileBrowser->ShowLoaded(Editor_->ModelFileName(), Doc.AnimFileName);
    });
    connect(F_FrameManipulator, &TF_FrameManipulator::Closed, this, [this] { FrameTimer1->setChecked(false); });
    connect(F_FrameManipulator, &TF_FrameManipulator::DraggingChanged, this,
            [this](bool on) { Editor_->SetActivity(TEditor::ActivityDrag, on); });
    connect(F_SelectComponents, &TF_SelectComponents::Accepted, this, [this] { CreateNewAnimation(); });
    // Ctrl+Z and Ctrl+Y work in the frame timer too, where its changes are made.
    F_FrameManipulator->addActions({Undo1, Redo1});
}

bool TMainForm::event(QEvent* e)
{
    // Hints go to the first status panel rather than over the whole status bar; the note
    // beside it stays readable while the pointer rests on a control.
    if (e->type() == QEvent::StatusTip) {
        SetStatusText(0, static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

namespace {
// A menu command; its object name is the member's, so that tests and scripts find it.
QAction* Command(QMenu* menu, const QString& text, const char* name, QKeySequence key = {})
{
    QAction* a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    return a;
}

// A check item that sets an option of the editor; it shows the option through ShowOptions.
QAction* OptionItem(QMenu* menu, const QString& text, const char* name, QKeySequence key, TEditor& editor,
                    bool TEditorOptions::*option)
{
    QAction* a = Command(menu, text, name, key);
    a->setCheckable(true);
    QObject::connect(a, &QAction::toggled, menu,
                     [&editor, option](bool on) { editor.EditOptions([option, on](TEditorOptions& o) { o.*option = on; }); });
    return a;
}
}  // namespace

void TMainForm::BuildMenus()
{
    QMenu* file = MenuFile = menuBar()->addMenu(QStringLiteral("&File"));
    LoadAnim1 = Command(file, QStringLiteral("Load Anim..."), "LoadAnim1", Qt::CTRL | Qt::Key_R);
    LoadP3d1 = Command(file, QStringLiteral("Load P3d..."), "LoadP3d1", Qt::CTRL | Qt::Key_P);
    LoadEnviromentP3d1 = Command(file, QStringLiteral("Load Environment P3d..."), "LoadEnviromentP3d1", Qt::CTRL | Qt::Key_E);
    connect(Command(file, QStringLiteral("Import glTF Animation..."), "ImportGltf1"), &QAction::triggered, this,
            [this] { ImportGltf1Click(); });
    // Files from the recent list open as the menu's loads do once a file is chosen.
    Recent_ = new TRecentFilesMenu(file, Paths, Openers(this));
    connect(Editor_, &TEditor::FileUsed, Recent_, &TRecentFilesMenu::Add);
    file->addSeparator();
    SaveAnimAs1 = Command(file, QStringLiteral("Save Anim As..."), "SaveAnimAs1", Qt::CTRL | Qt::Key_S);
    file->addSeparator();
    ExportGltf1 = Command(file, QStringLiteral("Export glTF..."), "ExportGltf1");
    ExportObj1 = Command(file, QStringLiteral("Export OBJ..."), "ExportObj1");
    // An export is not a view: its materials are opaque unless the user asks otherwise.
    ExportTransparent1 = Command(file, QStringLiteral("glTF Transparent as the 3D View"), "ExportTransparent1");
    ExportTransparent1->setCheckable(true);
    connect(LoadAnim1, &QAction::triggered, this, [this] { LoadAnim1Click(); });
    connect(LoadP3d1, &QAction::triggered, this, [this] { LoadP3d1Click(); });
    connect(LoadEnviromentP3d1, &QAction::triggered, this, [this] { LoadEnviromentP3d1Click(); });
    connect(SaveAnimAs1, &QAction::triggered, this, [this] { SaveAnimationAs(); });
    connect(ExportGltf1, &QAction::triggered, this, [this] { ExportModelClick(true); });
    connect(ExportObj1, &QAction::triggered, this, [this] { ExportModelClick(false); });

    QMenu* edit = MenuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    Undo1 = Command(edit, QStringLiteral("&Undo"), "Undo1", Qt::CTRL | Qt::Key_Z);
    Redo1 = Command(edit, QStringLiteral("&Redo"), "Redo1");
    Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    connect(Undo1, &QAction::triggered, this, [this] { Undo1Click(); });
    connect(Redo1, &QAction::triggered, this, [this] { Redo1Click(); });
    // Edit > Flip Pose and the View menu of onion skin and motion path.
    auto* aids = new TAidsMenu(*Editor_, menuBar(), edit);
    connect(aids, &TAidsMenu::Note, this, [this](const QString& text) { SetStatusNote(text); });

    MenuModify = menuBar()->addMenu(QStringLiteral("&Modify"));
    LoadPivotsAndLinking1 = Command(MenuModify, QStringLiteral("Load Pivots and Linking..."), "LoadPivotsAndLinking1");
    connect(LoadPivotsAndLinking1, &QAction::triggered, this, [this] { B_LoadLinkingStatusChanged(); });
    MenuModify->menuAction()->setVisible(false);

    QMenu* settings = MenuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    ShowAxes1 = OptionItem(settings, QStringLiteral("Show &Axes"), "ShowAxes1", Qt::Key_F5, *Editor_, &TEditorOptions::Axes);
    ShowGrid1 = OptionItem(settings, QStringLiteral("Show &Grid"), "ShowGrid1", Qt::Key_F6, *Editor_, &TEditorOptions::Grid);
    AutoScale1 = OptionItem(settings, QStringLiteral("Auto &Scale"), "AutoScale1", Qt::Key_F7, *Editor_,
                            &TEditorOptions::AutoScale);
    settings->addSeparator();
    SelectTranslationFile1 = Command(settings, QStringLiteral("Select &Translation File..."), "SelectTranslationFile1");
    SelectColorFile1 = Command(settings, QStringLiteral("Select &Color File..."), "SelectColorFile1");
    connect(SelectTranslationFile1, &QAction::triggered, this, [this] { SelectTranslationFile1Click(); });
    connect(SelectColorFile1, &QAction::triggered, this, [this] { SelectColorFile1Click(); });
    settings->addSeparator();
    SaveSettings1 = Command(settings, QStringLiteral("Save Settings"), "SaveSettings1", Qt::Key_F2);
    connect(SaveSettings1, &QAction::triggered, this, [this] { SaveSettings1Click(); });
    AutoSaveSettings1 = Command(settings, QStringLiteral("Auto Save Settings On Exit"), "AutoSaveSettings1");
    AutoSaveSettings1->setCheckable(true);
    AutoSaveSettings1->setChecked(true);

    QMenu* extras = MenuExtras = menuBar()->addMenu(QStringLiteral("Extras"));
    FileBrowser1 = Command(extras, QStringLiteral("File Browser ..."), "FileBrowser1", Qt::Key_F9);
    FileBrowser1->setCheckable(true);
    connect(FileBrowser1, &QAction::triggered, this, [this](bool on) { F_FileBrowser->setVisible(on); });
    FrameTimer1 = Command(extras, QStringLiteral("Frame Timer ..."), "FrameTimer1", Qt::Key_F10);
    FrameTimer1->setCheckable(true);
    connect(FrameTimer1, &QAction::triggered, this, [this](bool on) { F_FrameManipulator->setVisible(on); });

    About1 = menuBar()->addAction(QStringLiteral("&About"), this, [this] { About1Click(); });
    About1->setObjectName(QStringLiteral("About1"));
    // The desktop's usual way out; it asks the exit question like the close box.
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void TMainForm::BuildTreePopup()
{
    QMenu* popup = PopupMenu_Select = new QMenu(TV_EditComponents);
    popup->setObjectName(QStringLiteral("PopupMenu_Select"));
    // The component the menu was opened on, hidden (checked) or shown.
    Hide1 = Command(popup, QStringLiteral("Hide"), "Hide1");
    Hide1->setCheckable(true);
    connect(Hide1, &QAction::triggered, this, [this](bool hidden) { Editor_->SetHidden(SelectedNode(), hidden); });
    popup->addSeparator();
    ShowAll1 = Command(popup, QStringLiteral("&Show All"), "ShowAll1");
    HideAll1 = Command(popup, QStringLiteral("&Hide All"), "HideAll1");
    connect(ShowAll1, &QAction::triggered, this, [this] { Editor_->ShowAll(); });
    connect(HideAll1, &QAction::triggered, this, [this] { Editor_->HideAll(); });
    popup->addSeparator();
    ShowAnimatedOnly1 = Command(popup, QStringLiteral("Show &Animated Only"), "ShowAnimatedOnly1");
    connect(ShowAnimatedOnly1, &QAction::triggered, this, [this] { Editor_->ShowAnimatedOnly(); });
    popup->addSeparator();
    ChangeColor1 = Command(popup, QStringLiteral("Change Color..."), "ChangeColor1");
    SaveColors1 = Command(popup, QStringLiteral("Save Colors..."), "SaveColors1");
    connect(ChangeColor1, &QAction::triggered, this, [this] { ChangeColorClick(); });
    connect(SaveColors1, &QAction::triggered, this, [this] { SaveColorsClick(); });
    popup->addSeparator();
    AssignNewName1 = Command(popup, QStringLiteral("Assign new Name..."), "AssignNewName1");
    SaveNames1 = Command(popup, QStringLiteral("Save Names..."), "SaveNames1");
    connect(AssignNewName1, &QAction::triggered, this, [this] { AssignnewnameClick(); });
    connect(SaveNames1, &QAction::triggered, this, [this] { SavenamesClick(); });
    popup->addSeparator();
    Moveonelevelup1 = Command(popup, QStringLiteral("&Move one level up"), "Moveonelevelup1");
    connect(Moveonelevelup1, &QAction::triggered, this, [this] { Moveonelevelup1Click(); });
    TV_EditComponents->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TV_EditComponents, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const TSelection* s = SelectedComponent();
        Hide1->setEnabled(s);
        Hide1->setChecked(s && s->Hidden);
        PopupMenu_Select->popup(TV_EditComponents->viewport()->mapToGlobal(pos));
    });
}

namespace {
// A status panel is as wide as its usual text while the window has room for it. In a
// narrow window it gives the width up, its text cut off (the tooltip holds all of it),
// rather than being laid over its neighbours.
class TStatusPanel : public QLabel {
public:
    TStatusPanel(const QString& text, const QString& usual, QWidget* parent) : QLabel(text, parent), Usual_(usual) {}
    QSize sizeHint() const override
    {
        const QSize s = QLabel::sizeHint();
        return {std::max(s.width(), fontMetrics().horizontalAdvance(Usual_) + 2 * frameWidth() + 8), s.height()};
    }
    QSize minimumSizeHint() const override { return {2 * frameWidth(), QLabel::minimumSizeHint().height()}; }

private:
    QString Usual_;
};
}  // namespace

void TMainForm::BuildStatusBar()
{
    static const char* const initial[6] = {"",          "Model: EMPTY", "Anim: EMPTY",
                                           "Vertexes:", "Polygons:",    "Pivot and Linking: NOT LOADED"};
    // The widest text each panel shows in the usual case, measured in this platform's
    // font; a longer file name widens its panel, and the hint panel takes what is left.
    static const char* const widest[6] = {"",
                                          "Model: MMMMMMMM.p3d",
                                          "Anim: <NOT SAVED>",
                                          "Vertexes: 0000000",
                                          "Polygons: 0000000",
                                          "Pivot and Linking: NOT LOADED"};
    for (int i = 0; i < 6; ++i) {
        auto* l = new TStatusPanel(QString::fromLatin1(initial[i]), QString::fromLatin1(widest[i]), this);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i == 0) {
            l->setMinimumWidth(150);
            l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        }
        StatusPanels[i] = l;
        statusBar()->addWidget(l, i == 0 ? 1 : 0);
        if (i == 0) {
            // The note, shown while there is one, has the hints' room while no hint shows
            // and two thirds of it while one does; the file panels keep theirs, and a long
            // note is whole in its tooltip.
            NotePanel_ = new TStatusPanel({}, {}, this);
            NotePanel_->setObjectName(QStringLiteral("StatusNote"));
            NotePanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            NotePanel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            NotePanel_->hide();
            statusBar()->addWidget(NotePanel_, 2);
        }
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
    if (panel == 1 || panel == 2)
        SetStatusNote({});
    if (panel == 0)
        ShareHintRoom();
}

void TMainForm::SetStatusNote(const QString& text)
{
    NotePanel_->setText(text);
    NotePanel_->setToolTip(text);
    ShareHintRoom();
}

void TMainForm::ShareHintRoom()
{
    const bool note = !NotePanel_->text().isEmpty();
    NotePanel_->setVisible(note);
    StatusPanels[0]->setVisible(!note || !StatusPanels[0]->text().isEmpty());
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
    TV_EditComponents->LinkingEnabled = [this] { return Editor_->Options().PivotMode; };
    TV_EditComponents->SetForest(&Editor_->Forest());
    TComponentTreeModel* tree = TV_EditComponents->TreeModel();
    tree->IsAnimated = [this](const TSelection* s) { return s && Anim.IsInAnimation(s->Name); };
    // The hidden cross and drops are the editor's operations.
    tree->SetHidden = [this](int node, bool hidden) { Editor_->SetHidden(node, hidden); };
    tree->Link = [this](int node, int parent) { return Editor_->Link(node, parent); };
    connect(TV_EditComponents, &TComponentTree::NodePressed, this, [this](int node) { TV_EditComponentsMouseDown(node); });
    // The views mark what is selected: they follow every change of the selection, however it
    // came (a click, Ctrl+click, keys, a rebuild), once per turn of the event loop.
    connect(TV_EditComponents, &TComponentTree::SelectionChanged, this,
            [this] { Editor_->SetSelection(TV_EditComponents->SelectedNodes(), TV_EditComponents->SelectedNode()); });
    BuildTreePopup();
    // At least ten rows: in a short window the column scrolls rather than squeezing the
    // tree down to a few rows.
    TV_EditComponents->setMinimumHeight(10 * TV_EditComponents->fontMetrics().height() + 24);
    col->addWidget(TV_EditComponents, 1);

    P_DisplayMode = new TDisplayModePanel(*Editor_, P_Left);
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
    P_Timing = new TFramePanel(Anim, P_Left);
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
    connect(P_EditAnim, &TEditPanel::CancelPressed, this, [this] { Editor_->EndEdit(); });
    connect(P_EditAnim, &TEditPanel::ResetPressed, this, [this] { B_ResetEditStatusChanged(); });
    EditTimer_ = new QTimer(this);
    EditTimer_->setObjectName(QStringLiteral("EditTimer"));
    EditTimer_->setInterval(50);
    connect(EditTimer_, &QTimer::timeout, this, [this] { EditTimerTimer(); });
    return P_EditAnim;
}

QWidget* TMainForm::BuildPlayPanel()
{
    P_AnimControl = new TPlayPanel(*Editor_, P_Left);
    TPlayPanel* p = P_AnimControl;
    connect(p, &TPlayPanel::PlayToggled, this, [this](bool on) { B_PlayStatusChanged(on); });
    // The left column widens for the offsets where this platform's font asks for more
    // than its 300 pixels.
    P_Left->setFixedWidth(std::max(P_Left->width(), p->OffsetsWidth() + 8));
    return p;
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
    P_3dArea = new T3dArea(*Editor_, VSplitter2);
    VSplitter2->addWidget(P_3dArea);
    rv->addWidget(VSplitter2);

    HSplitter->addWidget(P_LeftViews);
    HSplitter->addWidget(P_RightViews);
    HSplitter->setChildrenCollapsible(false);
    VSplitter1->setChildrenCollapsible(false);
    VSplitter2->setChildrenCollapsible(false);
    // No view becomes a sliver: not by a drag, nor by sizes saved in a larger (maximised)
    // window and restored in a smaller one, nor when the window shrinks.
    for (QWidget* column : {P_LeftViews, P_RightViews})
        column->setMinimumWidth(MinViewSize);
    for (QWidget* view : {static_cast<QWidget*>(FrontView1), static_cast<QWidget*>(TopView1), static_cast<QWidget*>(LeftView1),
                          static_cast<QWidget*>(P_3dArea)})
        view->setMinimumHeight(MinViewSize);
    for (QSplitter* s : {HSplitter, VSplitter1, VSplitter2})
        connect(s, &QSplitter::splitterMoved, this, [this] { MaximizedSplits_.reset(); });
    row->addWidget(HSplitter, 1);
    setCentralWidget(central);

    // Designed sizes, until the settings say otherwise.
    HSplitter->setSizes({Settings.Layout.HSplitter, 520});
    VSplitter1->setSizes({Settings.Layout.VSplitter1, 420});
    VSplitter2->setSizes({Settings.Layout.VSplitter2, 420});
}
