// The animator's aids as the window switches them: the onion skin's switch and count, and
// the flip of the current frame.
#include "anim/Flip.h"
#include "editor/Editor.h"
#include "pose/OnionSkin.h"

#include <algorithm>

void TEditor::SetOnionSkin(bool on)
{
    TEditorOptions o = Options_;
    o.OnionFrames = on ? OnionCount_ : 0;
    SetOptions(o);
}

void TEditor::SetOnionCount(int count)
{
    OnionCount_ = std::clamp(count, 1, MaxOnionFrames);
    SetOnionSkin(true);
}

TTimingResult TEditor::FlipPose()
{
    // The pose shown is not the frame's while an edit or playback poses the components.
    if (Anim_.Doc.AnimFrames.empty() || Editing_ || PoseHeld_)
        return {};
    const int step = Anim_.Doc.ActAnimStep;
    const QStringList names = Anim_.Doc.AnimSelections.Names();
    const TFlipPartners partners = FindFlipPartners(names);
    // The frame alone is rewritten: the frame timer's selection stays where it is.
    TTimingResult r;
    Anim_.EditFrame(QStringLiteral("Flip"), step, [&](TAnimDocument& doc) {
        r = FlipFrames(doc.AnimFrames, partners, step, step);
        return r.Done();
    });
    if (r.Done())
        r.Message = QStringLiteral("Flipped frame %1: %2").arg(step).arg(FlipSummary(names, partners));
    return r;
}
