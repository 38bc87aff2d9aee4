// The glTF writer's animation: every frame a keyframe of every animated component's joint,
// and the total move.
#include "pose/GltfWriter.h"

#include <cmath>
#include <limits>

namespace GltfWrite {
namespace {
// One node's keys: translation, rotation and scale per frame.
struct TTrack {
    std::vector<float> T, R, S;

    void Reserve(size_t frames)
    {
        T.reserve(frames * 3);
        R.reserve(frames * 4);
        S.reserve(frames * 3);
    }
    void Add(const TTrs& trs)
    {
        T.insert(T.end(), {float(trs.T[0]), float(trs.T[1]), float(trs.T[2])});
        AddRotation(trs.R);
        S.insert(S.end(), {float(trs.S[0]), float(trs.S[1]), float(trs.S[2])});
    }
    void AddRotation(const double r[4])
    {
        float q[4] = {float(r[0]), float(r[1]), float(r[2]), float(r[3])};
        // The shorter way round from the previous key.
        if (!R.empty()) {
            const float* prev = &R[R.size() - 4];
            if (prev[0] * q[0] + prev[1] * q[1] + prev[2] * q[2] + prev[3] * q[3] < 0)
                for (float& v : q)
                    v = -v;
        }
        R.insert(R.end(), q, q + 4);
    }
};
}  // namespace

void TGltfWriter::Animation()
{
    // The animation: every frame a keyframe.
    const size_t frames = doc->AnimFrames.size();
    // Keyframe times must rise, and far enough apart for a viewer that keys by frames of
    // its own (Blender at 24 or 60 per second merges keys closer than a hundredth of one):
    // a frame that is not later than the one before it is keyed 1 ms after that one.
    std::vector<float> times(frames);
    int nudged = 0;
    for (size_t k = 0; k < frames; ++k) {
        float t = float(double(doc->AnimFrames[k].Time) * options.PlayTime);
        if (k > 0 && !(t > times[k - 1])) {
            t = times[k - 1] + 0.001f;
            if (!(t > times[k - 1]))
                t = std::nextafter(times[k - 1], std::numeric_limits<float>::infinity());
            ++nudged;
        } else if (!std::isfinite(t)) {
            t = 0;
        }
        times[k] = t;
    }
    if (nudged > 0)
        report.Warnings << QStringLiteral("%1 of %2 frames are not later than the frame before them; each is keyed 1 ms "
                                          "after that one")
                               .arg(nudged)
                               .arg(frames);
    std::vector<size_t> channels;
    for (size_t t = 0; t < treeCount; ++t)
        if (animated[t])
            channels.push_back(t);
    std::vector<TTrack> tracks(channels.size()), outer(sharedGroups.size()), inner(sharedGroups.size());
    std::vector<float> moves;
    bool moving = false;
    // The frames as the editor shows them one after the other (ApplyFrameTransforms):
    // each slot moves the first tree node of exactly its name, the last entry of a slot
    // counts, and a slot without an entry leaves it and the slotCount after it as they were.
    const int slotCount = doc->AnimSelections.Count();
    std::vector<int> slotNode(size_t(std::max(slotCount, 0)), -1);
    for (int i = 0; i < slotCount; ++i) {
        const QString& name = doc->AnimSelections[i];
        for (size_t t = 0; t < treeCount && !name.isEmpty(); ++t)
            if (treeOrder[t] && treeOrder[t]->Name == name) {
                slotNode[size_t(i)] = int(t);
                break;
            }
    }
    std::vector<TTransform> cur(treeCount);
    for (size_t t = 0; t < treeCount; ++t)
        cur[t] = pose.Act(treeOrder[t]);
    std::vector<const TAnimEntry*> last(slotNode.size());
    for (auto* v : {&tracks, &outer, &inner})
        for (TTrack& track : *v)
            track.Reserve(frames);
    moves.reserve(frames * 3);
    for (size_t k = 0; k < frames; ++k) {
        if (!Advance(options.Progress, qint64(k), qint64(frames)))
            return;  // cancelled: the file is dropped
        std::fill(last.begin(), last.end(), nullptr);
        for (const TAnimEntry& e : doc->AnimFrames[k].Entries)
            if (e.NameIndex >= 0 && e.NameIndex < slotCount)
                last[size_t(e.NameIndex)] = &e;
        for (size_t i = 0; i < last.size(); ++i) {
            if (slotNode[i] < 0)
                continue;
            if (!last[i])
                break;
            cur[size_t(slotNode[i])] = Widen(last[i]->Matrix);
        }
        for (size_t c = 0; c < channels.size(); ++c) {
            const TSelection* comp = treeOrder[channels[c]];
            const TTrs trs = DecomposeTransform(cur[channels[c]]);
            if (!trs.Exact)
                report.Warnings << TrsWarning(trs, QStringLiteral("frame %1, component %2").arg(k).arg(comp->Name));
            tracks[c].Add(trs);
        }
        for (size_t g = 0; g < sharedGroups.size(); ++g) {
            const TTrsPair pair = DecomposeAffine(AverageTransform(cur, sharedGroups[g]));
            outer[g].Add(pair.Outer);
            inner[g].AddRotation(pair.Inner);
        }
        TPoseParams at = params;
        at.ActAnimStep = int32_t(k);
        at.PlayFraction = 0;
        const TVec3 s = at.TotalMoveShare();
        moving = moving || s.x != 0 || s.y != 0 || s.z != 0;
        moves.insert(moves.end(), {float(s.x), float(s.y), float(s.z)});
    }

    tg::Animation anim;
    anim.name = Utf8(options.AnimationName);
    const int input = b.Accessor(times, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 1, kNoTarget, true);
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
    for (size_t c = 0; c < channels.size(); ++c)
        trs(jointNode[channels[c]], tracks[c]);
    for (size_t g = 0; g < sharedGroups.size(); ++g) {
        trs(sharedNode[2 * g], outer[g]);
        channel(sharedNode[2 * g + 1], "rotation", inner[g].R, TINYGLTF_TYPE_VEC4, 4);
    }
    if (moveCollapsed)
        channel(move, "scale", std::vector<float>(frames * 3, 0.0f), TINYGLTF_TYPE_VEC3, 3);
    else if (moving)
        channel(move, "translation", moves, TINYGLTF_TYPE_VEC3, 3);
    if (!anim.channels.empty())
        b.M.animations.push_back(std::move(anim));
}
}  // namespace GltfWrite
