// The glTF writer's animation: every frame a keyframe of every animated component's joint,
// and the total move.
#include "pose/GltfWriter.h"

#include <cmath>
#include <limits>

namespace GltfWrite {

// The frames as the editor shows them one after the other (ApplyFrameTransforms): each
// slot moves the first tree node of exactly its name, the last entry of a slot counts, and
// a slot without an entry leaves it and the slots after it as they were.
TFrameWalk::TFrameWalk(const TAnimDocument& doc, const std::vector<const TSelection*>& treeOrder, const TPose& pose)
    : Doc_(doc), Slots_(std::max(doc.AnimSelections.Count(), 0)), SlotNode_(size_t(Slots_), -1), Last_(size_t(Slots_)),
      Cur(treeOrder.size())
{
    for (int i = 0; i < Slots_; ++i) {
        const QString& name = doc.AnimSelections[i];
        for (size_t t = 0; t < treeOrder.size() && !name.isEmpty(); ++t)
            if (treeOrder[t] && treeOrder[t]->Name == name) {
                SlotNode_[size_t(i)] = int(t);
                break;
            }
    }
    for (size_t t = 0; t < treeOrder.size(); ++t)
        Cur[t] = pose.Act(treeOrder[t]);
}

void TFrameWalk::Step(size_t k)
{
    std::fill(Last_.begin(), Last_.end(), nullptr);
    for (const TAnimEntry& e : Doc_.AnimFrames[k].Entries)
        if (e.NameIndex >= 0 && e.NameIndex < Slots_)
            Last_[size_t(e.NameIndex)] = &e;
    for (size_t i = 0; i < Last_.size(); ++i) {
        if (SlotNode_[i] < 0)
            continue;
        if (!Last_[i])
            break;
        Cur[size_t(SlotNode_[i])] = Widen(Last_[i]->Matrix);
    }
}

TKeys TGltfWriter::ChannelKeys(const std::atomic<bool>& stop, std::atomic<size_t>& keyed) const
{
    TKeys keys;
    const size_t frames = doc->AnimFrames.size();
    // Keyframe times must rise, and far enough apart for a viewer that keys by frames of
    // its own (Blender at 24 or 60 per second merges keys closer than a hundredth of one):
    // a frame that is not later than the one before it is keyed 1 ms after that one.
    keys.Times.resize(frames);
    int nudged = 0;
    for (size_t k = 0; k < frames; ++k) {
        float t = float(double(doc->AnimFrames[k].Time) * options.PlayTime);
        if (k > 0 && !(t > keys.Times[k - 1])) {
            t = keys.Times[k - 1] + 0.001f;
            if (!(t > keys.Times[k - 1]))
                t = std::nextafter(keys.Times[k - 1], std::numeric_limits<float>::infinity());
            ++nudged;
        } else if (!std::isfinite(t)) {
            t = 0;
        }
        keys.Times[k] = t;
    }
    if (nudged > 0)
        keys.Warnings << QStringLiteral("%1 of %2 frames are not later than the frame before them; each is keyed 1 ms "
                                        "after that one")
                             .arg(nudged)
                             .arg(frames);
    for (size_t t = 0; t < treeCount; ++t)
        if (animated[t])
            keys.Channels.push_back(t);
    keys.Tracks.resize(keys.Channels.size());
    for (TTrack& track : keys.Tracks)
        track.Reserve(frames);
    keys.Moves.reserve(frames * 3);
    TFrameWalk walk(*doc, treeOrder, pose);
    for (size_t k = 0; k < frames; ++k) {
        if (k % 64 == 0 && (stop || Cancelled(options.Progress)))
            return keys;  // the writer stopped: these are not used
        walk.Step(k);
        for (size_t c = 0; c < keys.Channels.size(); ++c) {
            const TTrs trs = DecomposeTransform(walk.Cur[keys.Channels[c]]);
            if (!trs.Exact)
                keys.Warnings << TrsWarning(
                    trs, QStringLiteral("frame %1, component %2").arg(k).arg(treeOrder[keys.Channels[c]]->Name));
            keys.Tracks[c].Add(trs);
        }
        keyed.store(k, std::memory_order_relaxed);
        TPoseParams at = params;
        at.ActAnimStep = int32_t(k);
        at.PlayFraction = 0;
        const TVec3 s = at.TotalMoveShare();
        keys.Moving = keys.Moving || s.x != 0 || s.y != 0 || s.z != 0;
        keys.Moves.insert(keys.Moves.end(), {float(s.x), float(s.y), float(s.z)});
    }
    return keys;
}

void TGltfWriter::Animation(TKeys keys)
{
    // The groups' keys, from the joints' transforms frame by frame.
    const size_t frames = doc->AnimFrames.size();
    std::vector<TTrack> outer(sharedGroups.size()), inner(sharedGroups.size());
    if (!sharedGroups.empty()) {
        for (auto* v : {&outer, &inner})
            for (TTrack& track : *v)
                track.Reserve(frames);
        TFrameWalk walk(*doc, treeOrder, pose);
        for (size_t k = 0; k < frames; ++k) {
            if (!Advance(options.Progress, qint64(k), qint64(frames)))
                return;  // cancelled: the file is dropped
            walk.Step(k);
            for (size_t g = 0; g < sharedGroups.size(); ++g) {
                const TTrsPair pair = DecomposeAffine(AverageTransform(walk.Cur, sharedGroups[g]));
                outer[g].Add(pair.Outer);
                inner[g].AddRotation(pair.Inner);
            }
        }
    }
    report.Warnings << keys.Warnings;

    tg::Animation anim;
    anim.name = Utf8(options.AnimationName);
    const int input = b.Accessor(keys.Times, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 1, kNoTarget, true);
    const auto channel = [&](int node, const char* path, const std::vector<float>& values, int type, size_t comps) {
        tg::AnimationSampler s;
        s.input = input;
        s.output = b.Accessor(values, TINYGLTF_COMPONENT_TYPE_FLOAT, type, comps, kNoTarget);
        s.interpolation = "LINEAR";
        anim.samplers.push_back(std::move(s));
        tg::AnimationChannel ch;
        ch.sampler = int(anim.samplers.size() - 1);
        ch.target_node = node;
        ch.target_path = path;
        anim.channels.push_back(std::move(ch));
    };
    const auto trs = [&](int node, const TTrack& track) {
        channel(node, "translation", track.T, TINYGLTF_TYPE_VEC3, 3);
        channel(node, "rotation", track.R, TINYGLTF_TYPE_VEC4, 4);
        channel(node, "scale", track.S, TINYGLTF_TYPE_VEC3, 3);
    };
    for (size_t c = 0; c < keys.Channels.size(); ++c)
        trs(jointNode[keys.Channels[c]], keys.Tracks[c]);
    for (size_t g = 0; g < sharedGroups.size(); ++g) {
        trs(sharedNode[2 * g], outer[g]);
        channel(sharedNode[2 * g + 1], "rotation", inner[g].R, TINYGLTF_TYPE_VEC4, 4);
    }
    if (moveCollapsed)
        channel(move, "scale", std::vector<float>(frames * 3, 0.0f), TINYGLTF_TYPE_VEC3, 3);
    else if (keys.Moving)
        channel(move, "translation", keys.Moves, TINYGLTF_TYPE_VEC3, 3);
    if (!anim.channels.empty())
        b.M.animations.push_back(std::move(anim));
}
}  // namespace GltfWrite
