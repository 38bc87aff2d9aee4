#include "app/MainPanels.h"
#include "anim/AnimController.h"
#include "app/FrameGrid.h"
#include "app/RenderView.h"
#include "editor/Editor.h"
#include "view3d/GlPanel.h"
#include "widgets/Controls.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLCDNumber>
#include <QLabel>
#include <QOpenGLContext>
#include <QPalette>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <limits>

void SetHint(QWidget* w, const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    w->setToolTip(bar < 0 ? hint : hint.left(bar));
    w->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

namespace {
QPushButton* PushButton(const QString& caption, const QString& name, const QString& hint, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    SetHint(b, hint);
    return b;
}

TLedButton* Led(const QString& caption, const QString& name, const QString& hint, QWidget* parent)
{
    auto* b = new TLedButton(caption, parent);
    b->setObjectName(name);
    SetHint(b, hint);
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

// Whether this display can give us a GL context at all. Without one (a display without
// GLX, the offscreen platform) a GL widget in the window would bring the whole window
// down when it is drawn, so the 3D view is left out and says why.
bool OpenGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext probe;
        return probe.create();
    }();
    return available;
}

constexpr int kSliderSteps = 1000;  // the transparency sliders' 0..1 in thousandths
constexpr int kSliderInitial = 100;  // 0.1
}  // namespace

TDisplayModePanel::TDisplayModePanel(TEditor& editor, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("P_DisplayMode"));
    auto* dm = new QGridLayout(this);
    dm->setContentsMargins(0, 0, 0, 0);
    RB_CheckedSelections = Led(QStringLiteral("Selected Components"), QStringLiteral("RB_CheckedSelections"),
                               QStringLiteral("Show the components that are not hidden"), this);
    RB_AllSelections = Led(QStringLiteral("All Components"), QStringLiteral("RB_AllSelections"),
                           QStringLiteral("Show every component"), this);
    AbLED1 = Led(QStringLiteral("No Component"), QStringLiteral("AbLED1"), QStringLiteral("Show no components"), this);
    const std::pair<TLedButton*, TComponentShow> shows[] = {
        {RB_CheckedSelections, TComponentShow::Checked}, {RB_AllSelections, TComponentShow::All}, {AbLED1, TComponentShow::None}};
    for (const auto& [b, show] : shows) {
        b->setAutoExclusive(true);
        connect(b, &QToolButton::toggled, this, [&editor, show = show](bool on) {
            if (on)
                editor.EditOptions([show](TEditorOptions& o) { o.Show = show; });
        });
    }
    RB_AllPolygons = Led(QStringLiteral("All Polygons"), QStringLiteral("RB_AllPolygons"),
                         QStringLiteral("Show every polygon of the model"), this);
    connect(RB_AllPolygons, &QToolButton::toggled, this,
            [&editor](bool on) { editor.EditOptions([on](TEditorOptions& o) { o.AllPolygons = on; }); });
    B_Points = Led(QStringLiteral("Points"), QStringLiteral("B_Points"), QStringLiteral("Show points"), this);
    B_ChangePivot = Led(QStringLiteral("Change Pivots && Linking"), QStringLiteral("B_ChangePivot"),
                        QStringLiteral("Set pivots with Shift+click and link components by drag and drop"), this);
    LED_Linking = Led(QStringLiteral("Linking"), QStringLiteral("LED_Linking"), QStringLiteral("Pivot and linking file loaded"),
                      this);
    // An indicator, not a switch: drawn like the other LEDs so its state reads at a glance.
    LED_Linking->setAttribute(Qt::WA_TransparentForMouseEvents);
    LED_Linking->setFocusPolicy(Qt::NoFocus);
    B_SaveLinking = PushButton(QStringLiteral("Save Pivots and Linking"), QStringLiteral("B_SaveLinking"),
                               QStringLiteral("Save the hierarchy and the pivots of the model"), this);
    B_LoadLinking = PushButton(QStringLiteral("Load Pivots and Linking..."), QStringLiteral("B_LoadLinking"),
                               QStringLiteral("Load a hierarchy and pivots file"), this);
    connect(B_ChangePivot, &QToolButton::toggled, this,
            [&editor](bool on) { editor.EditOptions([on](TEditorOptions& o) { o.PivotMode = on; }); });
    OnPress(B_SaveLinking, this, [this] { emit SaveLinkingPressed(); });
    OnPress(B_LoadLinking, this, [this] { emit LoadLinkingPressed(); });
    auto* show = new QLabel(QStringLiteral("Show..."), this);
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
    ShowOptions(editor.Options());
    connect(&editor, &TEditor::Changed, this, [this, &editor](unsigned what) {
        if (what & ChangeOptions)
            ShowOptions(editor.Options());
    });
}

void TDisplayModePanel::ShowOptions(const TEditorOptions& o)
{
    const QSignalBlocker a(RB_CheckedSelections), b(RB_AllSelections), c(AbLED1), d(RB_AllPolygons), e(B_ChangePivot);
    (o.Show == TComponentShow::All    ? RB_AllSelections
     : o.Show == TComponentShow::None ? AbLED1
                                      : RB_CheckedSelections)
        ->setChecked(true);
    RB_AllPolygons->setChecked(o.AllPolygons);
    B_ChangePivot->setChecked(o.PivotMode);
}

void TDisplayModePanel::SetLinkingLoaded(bool loaded) { LED_Linking->setChecked(loaded); }

TFramePanel::TFramePanel(TAnimController& anim, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("P_Timing"));
    auto* l = new QGridLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    G_Frames = new TFrameGrid(anim, this);
    G_Frames->setObjectName(QStringLiteral("G_Frames"));
    l->addWidget(G_Frames, 0, 0, 7, 1);
    B_Append = PushButton(QStringLiteral("Insert after"), QStringLiteral("B_Append"),
                          QStringLiteral("Insert a new Frame after the current selected Frame"), this);
    B_DelAnim = PushButton(QStringLiteral("Delete Frame"), QStringLiteral("B_DelAnim"), QStringLiteral("Delete Selected Frame"),
                           this);
    B_UnloadAnim = PushButton(QStringLiteral("Unload Animation"), QStringLiteral("B_UnloadAnim"),
                              QStringLiteral("Clear and unload Animation"), this);
    B_NewAnim = PushButton(QStringLiteral("New Animation..."), QStringLiteral("B_NewAnim"),
                           QStringLiteral("Create a new Animation"), this);
    B_Editing = PushButton(QStringLiteral("Edit Frame"), QStringLiteral("B_Editing"), QStringLiteral("Edit selected Frame"),
                           this);
    B_ResetMatrix = PushButton(QStringLiteral("Reset Frame"), QStringLiteral("B_ResetMatrix"),
                               QStringLiteral("Reset Frame Matrix"), this);
    int row = 0;
    for (QPushButton* b : {B_Append, B_DelAnim, B_UnloadAnim, B_NewAnim, B_Editing, B_ResetMatrix})
        l->addWidget(b, row++, 1);
    OnPress(B_Append, this, [this] { emit AppendPressed(); });
    OnPress(B_DelAnim, this, [this] { emit DeletePressed(); });
    OnPress(B_UnloadAnim, this, [this] { emit UnloadPressed(); });
    OnPress(B_NewAnim, this, [this] { emit NewPressed(); });
    OnPress(B_Editing, this, [this] { emit EditPressed(); });
    OnPress(B_ResetMatrix, this, [this] { emit ResetPressed(); });
}

TEditPanel::TEditPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("P_EditAnim"));
    hide();
    auto* l = new QGridLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    const auto toggle = [this](const QString& on, const QString& off, const QString& name) {
        auto* b = new QPushButton(on, this);
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
        auto* s = new TSpringSlider(this);
        s->setObjectName(QStringLiteral("Chg_") + axis);
        s->setRange(-1000, 1000);
        s->setSingleStep(10);
        s->setPageStep(100);
        auto* value = new QLabel(QStringLiteral("0.00 %"), this);
        value->setMinimumWidth(60);
        connect(s, &QSlider::valueChanged, value,
                [value](int v) { value->setText(QString::number(v / 100.0, 'f', 2) + QStringLiteral(" %")); });
        l->addWidget(new QLabel(axis, this), row, 0);
        l->addWidget(s, row, 1, 1, 2);
        l->addWidget(value, row, 3);
        *slot = s;
        ++row;
    }
    l->addWidget(new QLabel(QStringLiteral("Exit Edit and..."), this), row, 0, 1, 2);
    B_ApplyEdit = PushButton(QStringLiteral("Apply Changes"), QStringLiteral("B_ApplyEdit"),
                             QStringLiteral("Write the edit into the frame"), this);
    B_CancelEdit = PushButton(QStringLiteral("Cancel Changes"), QStringLiteral("B_CancelEdit"),
                              QStringLiteral("Leave edit mode without writing"), this);
    B_ResetEdit = PushButton(QStringLiteral("Restore"), QStringLiteral("B_ResetEdit"), QStringLiteral("Restore Component Frame"),
                             this);
    l->addWidget(B_ApplyEdit, row + 1, 0, 1, 2);
    l->addWidget(B_CancelEdit, row + 1, 2, 1, 2);
    l->addWidget(B_ResetEdit, row + 2, 0, 1, 4);
    OnPress(B_ApplyEdit, this, [this] { emit ApplyPressed(); });
    OnPress(B_CancelEdit, this, [this] { emit CancelPressed(); });
    OnPress(B_ResetEdit, this, [this] { emit ResetPressed(); });
}

std::array<double, 3> TEditPanel::Deflection() const
{
    return {Chg_X->value() / 100.0, Chg_Y->value() / 100.0, Chg_Z->value() / 100.0};
}

bool TEditPanel::Rotating() const { return B_EditOperation->isChecked(); }
bool TEditPanel::Relative() const { return B_RotType->isChecked(); }

TPlayPanel::TPlayPanel(TEditor& editor, QWidget* parent) : QWidget(parent), Editor_(editor)
{
    setObjectName(QStringLiteral("P_AnimControl"));
    auto* l = new QGridLayout(this);
    l->setContentsMargins(0, 0, 0, 0);

    AnimSlider = new QSlider(Qt::Horizontal, this);
    AnimSlider->setObjectName(QStringLiteral("AnimSlider"));
    AnimSlider->setRange(0, 0);
    AnimSlider->setTickPosition(QSlider::TicksBelow);
    AnimSlider->setPageStep(1);
    B_Prev = Led(QStringLiteral("<"), QStringLiteral("B_Prev"), QStringLiteral("Previous Frame"), this);
    B_Next = Led(QStringLiteral(">"), QStringLiteral("B_Next"), QStringLiteral("Next Frame"), this);
    B_Prev->setCheckable(false);
    B_Next->setCheckable(false);
    D_Steps = new QLCDNumber(5, this);
    D_Steps->setObjectName(QStringLiteral("D_Steps"));
    SetHint(D_Steps, QStringLiteral("Total Frames"));
    D_ActStep = new QLCDNumber(5, this);
    D_ActStep->setObjectName(QStringLiteral("D_ActStep"));
    SetHint(D_ActStep, QStringLiteral("Current Frame"));
    // Solid digits in yellow on dark, as the frame grid shows its numbers: in the platform's
    // colours they come out thin and grey on grey. A digit's strokes grow with its size;
    // ShowFrameCount gives the counters as few places as the count needs, so that each
    // digit gets as much of the room as it can.
    for (QLCDNumber* d : {D_Steps, D_ActStep}) {
        d->setSegmentStyle(QLCDNumber::Flat);
        QPalette p = d->palette();
        p.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
        p.setColor(QPalette::WindowText, QColor(0xFF, 0xFF, 0x00));
        d->setPalette(p);
        d->setAutoFillBackground(true);
        d->setMinimumHeight(3 * d->fontMetrics().height());
        d->setDigitCount(CounterDigits(0));
        d->display(0);
    }
    l->addWidget(B_Prev, 0, 0);
    l->addWidget(AnimSlider, 0, 1, 1, 2);
    l->addWidget(B_Next, 0, 3);
    l->addWidget(D_ActStep, 1, 1);
    l->addWidget(D_Steps, 1, 2);

    B_Play = new QPushButton(QStringLiteral("Play"), this);
    B_Play->setObjectName(QStringLiteral("B_Play"));
    B_Play->setCheckable(true);
    SetHint(B_Play, QStringLiteral("Play the animation"));
    l->addWidget(B_Play, 2, 0, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Play Time:"), this), 3, 0);
    E_AnimTime = SpinEdit(QStringLiteral("E_AnimTime"), 1, 1, 0, 100000, this);
    E_AnimTime->setValue(1);
    SetHint(E_AnimTime, QStringLiteral("Enter Time for Animation Preview"));
    l->addWidget(E_AnimTime, 3, 1, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Sec."), this), 3, 3);

    l->addWidget(new QLabel(QStringLiteral("Total Move:"), this), 4, 0);
    // The total move is stored as floats: the edits show and take any float exactly, so a
    // value from a file is never changed by being shown.
    constexpr double maxFloat = std::numeric_limits<float>::max();
    E_TM_x = SpinEdit(QStringLiteral("E_TM_x"), 0.1, -1, -maxFloat, maxFloat, this);
    E_TM_y = SpinEdit(QStringLiteral("E_TM_y"), 0.1, -1, -maxFloat, maxFloat, this);
    E_TM_z = SpinEdit(QStringLiteral("E_TM_z"), 0.1, -1, -maxFloat, maxFloat, this);
    for (TNumberEdit* e : {E_TM_x, E_TM_y, E_TM_z})
        e->setWidthForText(QStringLiteral("-000.000"));
    l->addWidget(E_TM_x, 5, 0);
    l->addWidget(E_TM_y, 5, 1);
    l->addWidget(E_TM_z, 5, 2);
    B_TotalMove = Led(QStringLiteral("TM"), QStringLiteral("B_TotalMove"), QStringLiteral("Total Move On/Off"), this);
    B_TotalMove->setChecked(true);
    l->addWidget(B_TotalMove, 5, 3);

    l->addWidget(new QLabel(QStringLiteral("Modell Offset from Center:"), this), 6, 0, 1, 4);
    OffX = SpinEdit(QStringLiteral("OffX"), 0.01, 7, -360, 360, this);
    OffY = SpinEdit(QStringLiteral("OffY"), 0.01, 7, -360, 360, this);
    OffZ = SpinEdit(QStringLiteral("OffZ"), 0.01, 7, -360, 360, this);
    // The offsets get a row of their own, each as wide as "-360.0000000" needs.
    auto* offsets = new QHBoxLayout;
    offsets->setSpacing(2);
    for (TNumberEdit* e : {OffX, OffY, OffZ}) {
        e->setWidthForText(QStringLiteral("-360.0000000"));
        offsets->addWidget(e);
        OffsetsWidth_ += e->sizeHint().width() + offsets->spacing();
    }
    l->addLayout(offsets, 7, 0, 1, 4);
    B_Enviroment = Led(QStringLiteral("Enviroment"), QStringLiteral("B_Enviroment"), QStringLiteral("Show the environment model"),
                       this);
    l->addWidget(B_Enviroment, 8, 0, 1, 2);
    const auto option = [this](auto set) { Editor_.EditOptions(set); };
    for (int axis = 0; axis < 3; ++axis)
        connect(std::array{OffX, OffY, OffZ}[size_t(axis)], &TNumberEdit::valueChanged, this,
                [option, axis](double v) { option([axis, v](TEditorOptions& o) { o.Offset[size_t(axis)] = v; }); });
    connect(B_TotalMove, &QToolButton::toggled, this,
            [option](bool on) { option([on](TEditorOptions& o) { o.TotalMove = on; }); });
    connect(B_Enviroment, &QToolButton::toggled, this,
            [option](bool on) { option([on](TEditorOptions& o) { o.Environment = on; }); });

    const auto slider = [this](const QString& name, const QString& caption) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setObjectName(name);
        s->setRange(0, kSliderSteps);
        s->setSingleStep(10);
        s->setPageStep(100);
        s->setValue(kSliderInitial);
        SetHint(s, caption);
        return s;
    };
    Chg_Poly_Trans = slider(QStringLiteral("Chg_Poly_Trans"), QStringLiteral("Polygon Transparency"));
    Chg_Env_Trans = slider(QStringLiteral("Chg_Env_Trans"), QStringLiteral("Environment Transparency"));
    int row = 9;
    for (QSlider* s : {Chg_Poly_Trans, Chg_Env_Trans}) {
        l->addWidget(new QLabel(s->toolTip(), this), row, 0, 1, 2);
        l->addWidget(s, row++, 2, 1, 2);
    }
    connect(Chg_Poly_Trans, &QSlider::valueChanged, this,
            [option](int v) { option([v](TEditorOptions& o) { o.PolygonAlpha = float(v) / float(kSliderSteps); }); });
    connect(Chg_Env_Trans, &QSlider::valueChanged, this,
            [option](int v) { option([v](TEditorOptions& o) { o.EnvironmentAlpha = float(v) / float(kSliderSteps); }); });

    TAnimController& anim = editor.Anim();
    connect(AnimSlider, &QSlider::valueChanged, this, [&anim](int step) { anim.SetActStep(step); });
    connect(B_Prev, &QToolButton::pressed, this, [&anim] { anim.SetActStep(anim.Doc.ActAnimStep - 1); });
    connect(B_Next, &QToolButton::pressed, this, [&anim] { anim.SetActStep(anim.Doc.ActAnimStep + 1); });
    connect(B_Play, &QPushButton::toggled, this, [this](bool on) {
        B_Play->setStyleSheet(on ? QStringLiteral("QPushButton{color:red}") : QString());
        if (!QuietPlay_)
            emit PlayToggled(on);
    });
    int axis = 0;
    for (TNumberEdit* e : {E_TM_x, E_TM_y, E_TM_z}) {
        const int a = axis++;
        connect(e, &TNumberEdit::valueChanged, this, [&anim, a](double v) { anim.SetTotalMove(a, static_cast<float>(v)); });
    }

    // The frame controls follow the document, the switches the options.
    connect(&anim, &TAnimController::ActStepChanged, this, [this](int step) { ShowCurrentFrame(step); });
    connect(&anim, &TAnimController::StepCountChanged, this, [this, &anim] { ShowFrameCount(anim.Doc.AnimStepCount); });
    connect(&anim, &TAnimController::TotalMoveChanged, this, [this, &anim] { ShowTotalMove(anim.Doc.TotalMove); });
    ShowOptions(editor.Options());
    connect(&editor, &TEditor::Changed, this, [this](unsigned what) {
        if (what & (ChangeOptions | ChangeLook))
            ShowOptions(Editor_.Options());
    });
}

int TPlayPanel::CounterDigits(int count) { return std::max(3, int(QString::number(count).size())); }

void TPlayPanel::ShowFrameCount(int count)
{
    for (QLCDNumber* d : {D_Steps, D_ActStep}) {
        d->setDigitCount(CounterDigits(count));
        d->display(d->intValue());
    }
    D_Steps->display(count);
    const int divisions = std::min(count - 1, 20);
    const QSignalBlocker block(AnimSlider);
    AnimSlider->setRange(0, std::max(0, count - 1));
    AnimSlider->setTickInterval(divisions > 0 ? std::max(1, (count - 1 + divisions - 1) / divisions) : 1);
}

void TPlayPanel::ShowCurrentFrame(int step)
{
    {
        const QSignalBlocker block(AnimSlider);
        AnimSlider->setValue(step);
    }
    D_ActStep->display(step);
}

bool TPlayPanel::PlayPressed() const { return B_Play->isChecked(); }
void TPlayPanel::StopPlaying() { B_Play->setChecked(false); }

void TPlayPanel::ShowStopped()
{
    QuietPlay_ = true;
    B_Play->setChecked(false);
    QuietPlay_ = false;
}

double TPlayPanel::PlayTime() const { return E_AnimTime->value(); }
void TPlayPanel::SetPlayTime(double seconds) { E_AnimTime->setValue(seconds); }

void TPlayPanel::ShowTotalMove(const std::array<float, 3>& move)
{
    int axis = 0;
    for (TNumberEdit* e : {E_TM_x, E_TM_y, E_TM_z}) {
        const QSignalBlocker block(e);
        e->setValue(move[size_t(axis++)]);
    }
}

void TPlayPanel::ShowOptions(const TEditorOptions& o)
{
    // The controls show what the editor has; setting them must not hand it back.
    int axis = 0;
    for (TNumberEdit* e : {OffX, OffY, OffZ}) {
        const QSignalBlocker block(e);
        e->setValue(o.Offset[size_t(axis++)]);
    }
    const QSignalBlocker a(B_TotalMove), b(B_Enviroment), c(Chg_Poly_Trans), d(Chg_Env_Trans);
    B_TotalMove->setChecked(o.TotalMove);
    B_Enviroment->setChecked(o.Environment);
    Chg_Poly_Trans->setValue(qRound(o.PolygonAlpha * float(kSliderSteps)));
    Chg_Env_Trans->setValue(qRound(o.EnvironmentAlpha * float(kSliderSteps)));
}

T3dArea::T3dArea(TEditor& editor, QWidget* parent) : QWidget(parent), Editor_(editor)
{
    setObjectName(QStringLiteral("P_3dArea"));
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(2, 2, 2, 2);
    auto tool = [this, tools](const QString& text, const QString& name, const QString& hint) {
        auto* b = new QToolButton(this);
        b->setText(text);
        b->setObjectName(name);
        b->setCheckable(true);
        // The platform style draws a pressed tool button barely darker than a raised one.
        b->setStyleSheet(QStringLiteral("QToolButton{min-width:18px;padding:1px 4px}"
                                        "QToolButton:checked{background:#2f5f9f;color:white;font-weight:bold;"
                                        "border:1px inset #102040}"));
        SetHint(b, hint);
        tools->addWidget(b);
        return b;
    };
    B_Light = tool(QStringLiteral("L"), QStringLiteral("B_Light"), QStringLiteral("Light Mode"));
    B_Transparent3D = tool(QStringLiteral("T"), QStringLiteral("B_Transparent3D"), QStringLiteral("Transparent Mode"));
    B_Grid = tool(QStringLiteral("G"), QStringLiteral("B_Grid"), QStringLiteral("Grid"));
    tools->addStretch(1);
    l->addLayout(tools);
    connect(B_Light, &QToolButton::toggled, this,
            [&editor](bool on) { editor.EditOptions([on](TEditorOptions& o) { o.Lighting = !on; }); });
    connect(B_Transparent3D, &QToolButton::toggled, this,
            [&editor](bool on) { editor.EditOptions([on](TEditorOptions& o) { o.Transparent3d = on; }); });
    connect(B_Grid, &QToolButton::toggled, this,
            [&editor](bool on) { editor.EditOptions([on](TEditorOptions& o) { o.Grid3d = on; }); });
    ShowOptions(editor.Options());
    connect(&editor, &TEditor::Changed, this, [this](unsigned what) {
        if (what & (ChangeOptions | ChangeLook))
            ShowOptions(Editor_.Options());
    });

    if (!OpenGLAvailable()) {
        auto* note = new QLabel(QStringLiteral("OpenGL is not available on this display."), this);
        note->setObjectName(QStringLiteral("P_3dViewMissing"));
        note->setAlignment(Qt::AlignCenter);
        note->setStyleSheet(QStringLiteral("QLabel{background:black;color:#c0c0c0}"));
        l->addWidget(note, 1);
        return;
    }
    P_3dView = new TOpenGLQelPanel(this);
    P_3dView->setObjectName(QStringLiteral("P_3dView"));
    P_3dView->SetHint(QStringLiteral("|LMB = Rotate; RMB = Pan; LMB+Ctrl = Zoom"));
    l->addWidget(P_3dView, 1);
    P_3dView->OnInit = [this](TOpenGLQelPanel*) { P_3dViewInit(); };
    P_3dView->OnResize = [this](TOpenGLQelPanel*) { P_3dViewResize(); };
    P_3dView->OnPaint = [this](TOpenGLQelPanel*) { P_3dViewPaint(); };
    P_3dView->OnMouseDown = [this](TOpenGLQelPanel*, const TPanelMouse& m) { ViewMouseDown(Drag_, m.X, m.Y); };
    P_3dView->OnMouseMove = [this](TOpenGLQelPanel*, const TPanelMouse& m) { P_3dViewMouseMove(m); };
    P_3dView->OnMouseUp = [this](TOpenGLQelPanel*, const TPanelMouse&) { ViewMouseUp(Drag_); };
}

void T3dArea::ShowOptions(const TEditorOptions& o)
{
    const QSignalBlocker a(B_Light), b(B_Transparent3D), c(B_Grid);
    B_Light->setChecked(!o.Lighting);
    B_Transparent3D->setChecked(o.Transparent3d);
    B_Grid->setChecked(o.Grid3d);
}

void T3dArea::UpdateView()
{
    if (P_3dView)
        P_3dView->update();
}

void T3dArea::P_3dViewInit()
{
    Gl3dInit();
    Camera_ = TViewCamera{};
}

void T3dArea::P_3dViewResize() { Gl3dResize(P_3dView->GLWidth(), P_3dView->GLHeight()); }

void T3dArea::P_3dViewPaint()
{
    Editor_.Build3d(Scene_);
    Gl3dPaint(Camera_, Paint3dOptions(Editor_.Options()), Scene_);
}

void T3dArea::P_3dViewMouseMove(const TPanelMouse& m)
{
    TViewMouse v;
    v.X = m.X;
    v.Y = m.Y;
    v.Left = m.Buttons.testFlag(Qt::LeftButton);
    v.Right = m.Buttons.testFlag(Qt::RightButton);
    v.Ctrl = m.Modifiers.testFlag(Qt::ControlModifier);
    // Only a move of the camera needs a new picture; update() folds the moves that arrive
    // while one is being drawn into the next paint, so a drag never queues paints up.
    if (ViewMouseMove(Camera_, Drag_, v))
        UpdateView();
}
