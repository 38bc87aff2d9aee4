#pragma once
// The parts of the glTF writer, shared by its files (GltfExport, GltfScene, GltfSkin,
// GltfAnimation): the document under construction with its one buffer, the vertex
// helpers, and the writer's state. Only those files include it: it brings in the glTF
// library's large header.
#include "platform/Progress.h"
#include "pose/GltfExport.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <unordered_set>

class TAtomicFileWriter;

namespace GltfWrite {
namespace tg = tinygltf;
constexpr int kNoTarget = 0;  // a buffer view that is neither vertices nor indices

float SrgbToLinear(float c);

struct TVec3f {
    float x = 0, y = 0, z = 0;
};

TVec3f FaceNormal(const TVec3f& a, const TVec3f& b, const TVec3f& c);
// The file's normal, made unit length; false when it is missing or unusable.
bool FileNormal(const std::vector<TP3dNormal>& normals, uint32_t index, TVec3f& out);

// Where the buffer's bytes go: straight into the file, or into memory. Bytes made piece
// by piece are composed in the sink's own room where it has some (the file writer's
// buffer), so they are written once; else in a buffer of this sink's, handed on by Put.
class TByteSink {
public:
    static constexpr size_t PieceSize = 4096;  // the most that is composed at once

    virtual ~TByteSink() = default;
    virtual void Put(const void* data, size_t size) = 0;
    // Room to compose at least min (<= PieceSize) bytes in; free says how many there are.
    virtual unsigned char* Room(size_t min, size_t& free)
    {
        (void)min;
        if (!Own_)
            Own_ = std::make_unique<unsigned char[]>(OwnSize);
        free = OwnSize;
        return Own_.get();
    }
    // The first used bytes of the room Room gave are composed.
    virtual void Commit(const unsigned char* room, size_t used) { Put(room, used); }

private:
    static constexpr size_t OwnSize = 1 << 16;
    std::unique_ptr<unsigned char[]> Own_;
};

// Composes bytes piece by piece in the sink's room.
class TStaging {
public:
    explicit TStaging(TByteSink& sink) : Sink_(sink) {}
    ~TStaging() { Flush(); }
    TStaging(const TStaging&) = delete;
    TStaging& operator=(const TStaging&) = delete;
    // Room for size bytes (at most TByteSink::PieceSize), to be filled at once.
    unsigned char* Take(size_t size)
    {
        if (Used_ + size > Free_) {
            Flush();
            Room_ = Sink_.Room(size, Free_);
        }
        unsigned char* at = Room_ + Used_;
        Used_ += size;
        return at;
    }
    void Flush()
    {
        if (Used_ > 0)
            Sink_.Commit(Room_, Used_);
        Room_ = nullptr;
        Used_ = Free_ = 0;
    }

private:
    TByteSink& Sink_;
    unsigned char* Room_ = nullptr;
    size_t Used_ = 0, Free_ = 0;
};

// One glTF document under construction. Its single buffer is laid out first and produced
// when the file is written: small blocks are held as bytes, the large vertex block is
// generated then, so the file never exists twice in memory.
class TBuilder {
public:
    tg::Model M;

    struct TBlock {
        size_t Offset = 0, Size = 0;
        std::vector<unsigned char> Bytes;  // held
        std::function<void(TByteSink&)> Make;  // or generated
    };
    std::vector<TBlock> Blocks;  // in offset order
    size_t Length = 0;  // of the buffer

    TBuilder()
    {
        M.asset.version = "2.0";
        M.asset.generator = "torvane-anim";
    }

    // Room for a block at a four-byte boundary; returns its offset.
    size_t Reserve(size_t size)
    {
        const size_t at = (Length + 3) & ~size_t(3);
        Length = at + size;
        return at;
    }
    // A buffer view over a copy of the bytes.
    int View(const void* bytes, size_t size, int target)
    {
        TBlock block;
        block.Offset = Reserve(size);
        block.Size = size;
        block.Bytes.assign(static_cast<const unsigned char*>(bytes), static_cast<const unsigned char*>(bytes) + size);
        Blocks.push_back(std::move(block));
        return ViewAt(Blocks.back().Offset, size, target);
    }
    // A block whose bytes make writes when the file is written (exactly size of them).
    size_t Generated(size_t size, std::function<void(TByteSink&)> make)
    {
        TBlock block;
        block.Offset = Reserve(size);
        block.Size = size;
        block.Make = std::move(make);
        Blocks.push_back(std::move(block));
        return Blocks.back().Offset;
    }
    // Every block in order, with the zeros between them and up to a four-byte end.
    void Emit(TByteSink& sink) const
    {
        static const unsigned char zeros[4] = {};
        size_t at = 0;
        for (const TBlock& b : Blocks) {
            if (b.Offset > at)
                sink.Put(zeros, b.Offset - at);
            if (b.Make)
                b.Make(sink);
            else if (!b.Bytes.empty())
                sink.Put(b.Bytes.data(), b.Bytes.size());
            at = b.Offset + b.Size;
        }
        if (const size_t end = (Length + 3) & ~size_t(3); end > at)
            sink.Put(zeros, end - at);
    }
    int ViewAt(size_t offset, size_t size, int target, size_t stride = 0)
    {
        tg::BufferView v;
        v.buffer = 0;
        v.byteOffset = offset;
        v.byteLength = size;
        v.byteStride = stride;
        v.target = target;
        M.bufferViews.push_back(std::move(v));
        return int(M.bufferViews.size() - 1);
    }
    int AccessorAt(int view, size_t offset, int componentType, int type, size_t count)
    {
        tg::Accessor a;
        a.bufferView = view;
        a.byteOffset = offset;
        a.componentType = componentType;
        a.type = type;
        a.count = count;
        M.accessors.push_back(std::move(a));
        return int(M.accessors.size() - 1);
    }
    template <class T>
    int Accessor(const std::vector<T>& values, int componentType, int type, size_t components, int target,
                 bool withBounds = false, bool normalized = false)
    {
        tg::Accessor a;
        a.bufferView = View(values.data(), values.size() * sizeof(T), target);
        a.componentType = componentType;
        a.type = type;
        a.normalized = normalized;
        a.count = values.size() / components;
        if (withBounds && a.count > 0) {
            a.minValues.assign(components, std::numeric_limits<double>::infinity());
            a.maxValues.assign(components, -std::numeric_limits<double>::infinity());
            for (size_t i = 0; i < values.size(); ++i) {
                double& lo = a.minValues[i % components];
                double& hi = a.maxValues[i % components];
                lo = std::min(lo, double(values[i]));
                hi = std::max(hi, double(values[i]));
            }
        }
        M.accessors.push_back(std::move(a));
        return int(M.accessors.size() - 1);
    }

    // A material per colour and transparency.
    int Material(uint32_t bgr, float alpha, bool transparent, const std::string& name);

    // A node; a name another node has already gets " 2", " 3", ... so that tools that
    // bind animation by name find the node meant. Nodes made first keep their names.
    int Node(tg::Node n)
    {
        if (!n.name.empty() && !NodeNames_.insert(n.name).second) {
            const std::string base = n.name;
            for (int k = 2; !NodeNames_.insert(n.name = base + " " + std::to_string(k)).second; ++k) {
            }
        }
        M.nodes.push_back(std::move(n));
        return int(M.nodes.size() - 1);
    }

private:
    std::map<std::pair<uint64_t, float>, int> Materials_;
    std::unordered_set<std::string> NodeNames_;
};

// The corners of one polygon as triangles: 3 corners as they are, a quad as (1,2,4), (2,3,4).
// The 3D view sends a quad's corners as 4, 3, 2, 1 and GL splits it along the first and
// third corner sent: the diagonal from corner 2 to corner 4.
template <class F>
void ForEachTriangleCorner(const TP3dPolygon& poly, F&& f)
{
    static constexpr int quad[6] = {0, 1, 3, 1, 2, 3};
    if (poly.VertexCount == 4)
        for (int k : quad)
            f(poly.Corners[k]);
    else
        for (int k = 0; k < 3; ++k)
            f(poly.Corners[k]);
}

// Vertex data of a plain (unskinned) mesh: a vertex per corner.
struct TPlainMesh {
    std::vector<float> Positions, Normals;
    std::vector<uint32_t> Indices;

    void AddPolygon(const TP3dPolygon& poly, const std::vector<TVec3f>& points, const std::vector<TP3dNormal>& normals);
};

void SetTrs(tg::Node& n, const TTrs& t);
QString TrsWarning(const TTrs& t, const QString& where);
std::string Utf8(const QString& s);
// The positions of the non-zero bytes among the first n, ascending.
std::vector<uint32_t> Members(const TMembership& bytes, size_t n);
bool Finite(const TVec3& p);
// The average of the transforms of the tree positions in group, element by element: how
// the editor poses a point those components share.
TTransform AverageTransform(const std::vector<TTransform>& byTree, const std::vector<uint32_t>& group);

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

// The animation's keys of the components' joints, worked out before the document needs them.
struct TKeys {
    std::vector<float> Times;
    std::vector<size_t> Channels;  // tree positions, in tree order
    std::vector<TTrack> Tracks;  // per channel
    std::vector<float> Moves;  // the total move's share per frame
    bool Moving = false;  // any of them is not zero
    QStringList Warnings;
};

// Every tree node's transform, frame after frame, as the editor shows the frames.
class TFrameWalk {
public:
    TFrameWalk(const TAnimDocument& doc, const std::vector<const TSelection*>& treeOrder, const TPose& pose);
    void Step(size_t frame);  // frames in order, from 0

private:
    const TAnimDocument& Doc_;
    const int Slots_;
    std::vector<int> SlotNode_;  // per slot: its tree node, or -1
    std::vector<const TAnimEntry*> Last_;

public:
    std::vector<TTransform> Cur;  // per tree position
};

// The writer's state while one document is built.
class TGltfWriter {
public:
    TGltfWriter(const TModelList& models_, const std::vector<const TSelection*>& treeOrder_, const TPose& pose_,
                const TPoseParams& params_, const TGltfOptions& options_)
        : models(models_), treeOrder(treeOrder_), pose(pose_), params(params_), options(options_), doc(options_.Document),
          main(models_.empty() ? nullptr : models_.front().get()), treeCount(treeOrder_.size())
    {
        // Which tree nodes count for the pose: the animated ones, or every one without animation.
        posed.assign(treeCount, 0);
        for (size_t t = 0; t < treeCount; ++t)
            posed[t] = treeOrder[t] && (!params.AnimationLoaded || (doc && doc->AnimSelections.IndexOf(treeOrder[t]->Name) >= 0));
        animated = params.AnimationLoaded ? posed : std::vector<char>(treeCount, 0);
        animating = options.Animate && doc && !doc->AnimFrames.empty();
        // A total move that is not finite makes every share of it not finite (0 x inf too).
        moveCollapsed = params.TotalMoveOn && params.AnimStepCount != 0 &&
                        !(std::isfinite(params.TotalMove[0]) && std::isfinite(params.TotalMove[1]) &&
                          std::isfinite(params.TotalMove[2]));
    }

    TGltfReport Run(TAtomicFileWriter& out)
    {
        // The counts the OBJ export reports: what the scene shows right now.
        if (main)
            for (size_t i = 0; i < main->Vertices.size(); ++i) {
                const TDisplayPoint d = i < main->DisplayPoints.size() ? main->DisplayPoints[i] : TDisplayPoint{};
                ++report.Points;
                report.NonFinitePoints += !(std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Z));
            }
        // Building takes the first half of the progress, writing the second.
        TProgress* const progress = options.Progress;
        // The joints' keys need nothing of the scene: they are worked out meanwhile, on a
        // thread of their own. A return before they are used stops it.
        std::atomic<bool> stop{false};
        std::atomic<size_t> keyed{0};  // frames done
        std::future<TKeys> keys;
        if (animating)
            keys = std::async(std::launch::async, [this, &stop, &keyed] { return ChannelKeys(stop, keyed); });
        const auto stopped = [&] {
            stop = true;
            return report;
        };
        SetPart(progress, 0, 0.5);
        Nodes();
        if (main)
            SkinnedMesh();
        if (!report.Error.isEmpty() || !Advance(progress, 1, 3))
            return stopped();
        Proxies();
        Environment();
        if (!Advance(progress, 2, 3))
            return stopped();
        SetPart(progress, 1.0 / 3, 0.5);
        if (animating) {
            // Waiting for the keys shows how far they are.
            const qint64 frames = qint64(doc->AnimFrames.size());
            while (keys.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
                if (!Advance(progress, qint64(keyed.load()), frames))
                    return stopped();
            Advance(progress, frames, frames);
            Animation(keys.get());
        }
        if (Cancelled(progress))
            return report;
        SetPart(progress, 0.5, 1);
        Write(out);
        return report;
    }

private:
    void Nodes();
    void SkinnedMesh();
    void Proxies();
    void Environment();
    TKeys ChannelKeys(const std::atomic<bool>& stop, std::atomic<size_t>& keyed) const;
    void Animation(TKeys keys);
    void Write(TAtomicFileWriter& out);

    const TModelList& models;
    const std::vector<const TSelection*>& treeOrder;
    const TPose& pose;
    const TPoseParams& params;
    const TGltfOptions& options;
    const TAnimDocument* doc;
    const TP3dModell* main;
    const size_t treeCount;
    std::vector<char> posed, animated;
    bool animating = false;  // every frame written as a keyframe
    bool moveCollapsed = false;  // the total move is not finite

    TBuilder b;
    TGltfReport report;
    tg::Scene scene;
    std::string rootName;
    int root = -1, move = -1;  // the model's root node, the total move's node
    std::vector<int> jointNode;  // per tree position; -1 for a component the pose leaves alone
    // Groups of more than four components that share points (tree positions), and two
    // nodes for each: the outer one, then the inner one the points follow.
    std::vector<std::vector<uint32_t>> sharedGroups;
    std::vector<int> sharedNode;
};
}  // namespace GltfWrite
