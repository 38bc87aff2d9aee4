// The animator's aids as the window switches them: the onion skin's switch and count, and
// the flip of the current frame.
#include "anim/Flip.h"
#include "editor/Editor.h"
#include "pose/OnionSkin.h"

#include <algorithm>

void TEditor::SetOnionSkin(bool on)
{
    EditOptions([this, on](TEditorOptions& o) { o.OnionFrames = on ? OnionCount_ : 0; });
}

void TEditor::SetOnionCount(int count)
{
    OnionCount_ = std::clamp(count, 1, MaxOnionFrames);
    SetOnionSkin(true);
}

TTimingResult TEditor::FlipPose()
{
    // An edit, playback, a cell or a drag would go on over frames changed under it.
    if (!FlipPoseOffered())
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
