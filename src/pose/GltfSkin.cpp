// The glTF writer's skinned mesh: the main model's points bound to the joints of the
// components that hold them, a primitive per component.
#include "pose/GltfWriter.h"
#include "pose/View3dGeometry.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace GltfWrite {
namespace {
// JOINTS_0 numbers a skin's joints with 16 bits at most.
constexpr size_t kMaxSkinJoints = 65536;

// The joints a point follows, each with weight 1 / Count.
struct TPointJoints {
    uint32_t J[4] = {0, 0, 0, 0};
    uint32_t Count = 1;
};

struct TGroupHash {
    size_t operator()(const std::vector<uint32_t>& g) const
    {
        size_t h = g.size();
        for (uint32_t j : g)
            h = h * 1000003u ^ j;
        return h;
    }
};

// What the vertex blocks are generated from, when the file is written.
struct TSkinData {
    const TP3dModell* Model = nullptr;
    std::vector<TVec3f> Bind;  // per point
    std::vector<TPointJoints> Joints;  // per point, numbered as the writer numbers joints
    std::vector<TVec3f> Unit;  // the file's normals, unit length
    std::vector<char> Usable;  // whether each of them is
    std::vector<std::pair<size_t, std::vector<uint32_t>>> Drawn;  // tree index, polygons

    // One interleaved record per corner: position, normal, joints (8 or 16 bits, through
    // local when it is not empty) and weights. All but the normal belong to the point, so
    // each point's record is composed once and copied to its corners, its normal filled in
    // where the record is written.
    void Emit(TByteSink& sink, const std::vector<uint32_t>& local, bool wide) const
    {
        if (wide)
            EmitAs<48>(sink, local);
        else
            EmitAs<44>(sink, local);
    }

private:
    template <size_t stride>
    void EmitAs(TByteSink& sink, const std::vector<uint32_t>& local) const
    {
        constexpr bool wide = stride == 48;
        const std::unique_ptr<unsigned char[]> records(new unsigned char[Joints.size() * stride]);
        for (size_t p = 0; p < Joints.size(); ++p)
            PointRecord(records.get() + p * stride, p, local, wide);
        TStaging out(sink);
        for (const auto& d : Drawn)
            for (uint32_t pi : d.second) {
                const TP3dPolygon& poly = Model->Polygons[pi];
                const auto stored = [this](uint32_t p) {
                    const TP3dVertex& v = Model->Vertices[p];
                    return TVec3f{v.X, v.Y, v.Z};
                };
                // Only where a corner lacks the file's normal; from the points as stored, so
                // that a polygon the editor collapses still has a direction.
                bool allUsable = true;
                for (uint32_t k = 0; k < poly.VertexCount; ++k) {
                    const uint32_t ni = poly.Corners[k].NormalIndex;
                    allUsable = allUsable && ni < Unit.size() && Usable[ni];
                }
                const TVec3f face = allUsable ? TVec3f{}
                                              : FaceNormal(stored(poly.Corners[0].PointIndex), stored(poly.Corners[1].PointIndex),
                                                           stored(poly.Corners[2].PointIndex));
                ForEachTriangleCorner(poly, [&](const TP3dCorner& corner) {
                    unsigned char* r = out.Take(stride);
                    std::memcpy(r, records.get() + size_t(corner.PointIndex) * stride, stride);
                    const TVec3f& nv = corner.NormalIndex < Unit.size() && Usable[corner.NormalIndex] ? Unit[corner.NormalIndex]
                                                                                                      : face;
                    std::memcpy(r + 12, &nv, 12);
                });
            }
    }

    // Point p's record without its normal: position, joints and weights.
    void PointRecord(unsigned char* r, size_t p, const std::vector<uint32_t>& local, bool wide) const
    {
        std::memcpy(r, &Bind[p], 12);
        std::memset(r + 12, 0, 12);
        const TPointJoints& pj = Joints[p];
        const float w = 1.0f / float(pj.Count);
        float ws[4];
        for (uint32_t k = 0; k < 4; ++k) {
            const uint32_t j = k < pj.Count ? (local.empty() ? pj.J[k] : local[pj.J[k]]) : 0;
            if (wide) {
                const uint16_t j16 = uint16_t(j);
                std::memcpy(r + 24 + k * 2, &j16, 2);
            } else {
                r[24 + k] = uint8_t(j);
            }
            ws[k] = k < pj.Count ? w : 0.0f;
        }
        std::memcpy(r + (wide ? 32 : 28), ws, 16);
    }
};

size_t CornerCount(const TP3dPolygon& poly) { return poly.VertexCount == 4 ? 6 : 3; }
}  // namespace

void TGltfWriter::SkinnedMesh()
{
    // The main model's skinned mesh.
    const size_t n = main->Vertices.size();
    // Each posed component's points: the editor's list, or one worked out here.
    std::vector<const std::vector<uint32_t>*> members(treeCount, nullptr);
    std::vector<std::vector<uint32_t>> worked(treeCount);
    std::vector<uint32_t> shareCount(n, 0);
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        if (!posed[t] || c->Model != main)
            continue;
        const TPoseCache::TEntry* kept = options.Members ? options.Members->Find(t, c) : nullptr;
        members[t] = kept ? &kept->Points : &(worked[t] = Members(c->VertexMembership, n));
        for (uint32_t i : *members[t])
            ++shareCount[i];
    }
    // Points the editor does not pose go to the root joint at what it shows. Animated, the
    // others bind where they are stored (with the offset) and the joints move them; a
    // single pose is written as the editor shows it, the joints at rest.
    std::vector<TVec3f> bind(n);
    std::vector<char> onRoot(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const TP3dVertex& v = main->Vertices[i];
        const bool storedFinite = std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
        onRoot[i] = shareCount[i] == 0 || v.IsProxyCorner || !storedFinite;
        if (animating && !onRoot[i]) {
            bind[i] = {float(RoundToFloat(v.X + params.ModelOffset[0])), float(RoundToFloat(v.Y + params.ModelOffset[1])),
                       float(RoundToFloat(v.Z + params.ModelOffset[2]))};
        } else if (storedFinite) {
            const TDisplayPoint d = i < main->DisplayPoints.size() ? main->DisplayPoints[i] : TDisplayPoint{};
            if (std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Z))
                bind[i] = {d.X, d.Y, d.Z};
        }
    }
    // The components that hold each point, in tree order, as offsets into one list.
    std::vector<uint32_t> first(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        first[i + 1] = first[i] + (onRoot[i] ? 0 : shareCount[i]);
    std::vector<uint32_t> holders(first[n]);
    {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (size_t t = 0; t < treeCount; ++t)
            if (members[t])
                for (uint32_t i : *members[t])
                    if (!onRoot[i])
                        holders[fill[i]++] = uint32_t(t);
    }
    worked = {};
    // Up to four holders weigh a point directly. A point held by more follows a joint of
    // its own for that group of components, whose transform is their average: one joint
    // per group keeps every vertex at one set of four, so a point shared by hundreds costs
    // no more than one shared by two. The average needs two nodes (a scale between two
    // turns); the inner one holds the points.
    std::unordered_map<std::vector<uint32_t>, uint32_t, TGroupHash> groupOf;
    std::vector<uint32_t> groupOfPoint(n, UINT32_MAX);
    size_t manyShared = 0;
    for (size_t i = 0; i < n; ++i) {
        if (first[i + 1] - first[i] <= 4)
            continue;
        ++manyShared;
        std::vector<uint32_t> g(holders.begin() + first[i], holders.begin() + first[i + 1]);
        const auto [it, fresh] = groupOf.try_emplace(std::move(g), uint32_t(sharedGroups.size()));
        if (fresh)
            sharedGroups.push_back(it->first);
        groupOfPoint[i] = it->second;
    }
    groupOf = {};
    // Joints: the posed components in tree order, two per group, the root last.
    std::vector<uint32_t> jointOf(treeCount, 0);
    std::vector<int> allJoints;
    for (size_t t = 0; t < treeCount; ++t)
        if (jointNode[t] >= 0) {
            jointOf[t] = uint32_t(allJoints.size());
            allJoints.push_back(jointNode[t]);
        }
    const uint32_t firstShared = uint32_t(allJoints.size());
    const uint32_t rootJoint = uint32_t(firstShared + 2 * sharedGroups.size());
    for (size_t g = 0; g < sharedGroups.size(); ++g) {
        tg::Node outer, inner;
        outer.name = "shared " + std::to_string(g + 1);
        inner.name = outer.name + " turn";
        tg::Value::Array by;
        for (uint32_t t : sharedGroups[g])
            by.push_back(tg::Value(Utf8(treeOrder[t]->Name)));
        tg::Value::Object extras;
        extras["role"] = tg::Value(std::string("points shared by more than four components"));
        outer.extras = tg::Value(extras);
        extras["sharedBy"] = tg::Value(std::move(by));
        inner.extras = tg::Value(std::move(extras));
        const int o = b.Node(std::move(outer));
        const int in = b.Node(std::move(inner));
        b.M.nodes[size_t(o)].children.push_back(in);
        b.M.nodes[size_t(move)].children.push_back(o);
        sharedNode.insert(sharedNode.end(), {o, in});
    }
    allJoints.insert(allJoints.end(), sharedNode.begin(), sharedNode.end());
    allJoints.push_back(root);
    // Viewers that read one set of four joints per point pose these right too; the note
    // says which joints they follow.
    if (manyShared > 0)
        report.Warnings << QStringLiteral("%1: points shared by more than four components: %2; they follow joints of "
                                          "their own (%3) keyed with the average of each group's transforms")
                               .arg(options.ModelName)
                               .arg(manyShared)
                               .arg(sharedGroups.size() == 1
                                        ? QStringLiteral("\"shared 1\"")
                                        : QStringLiteral("\"shared 1\" to \"shared %1\"").arg(sharedGroups.size()));
    auto skinData = std::make_shared<TSkinData>();
    skinData->Joints.resize(n);
    for (size_t i = 0; i < n; ++i) {
        TPointJoints& pj = skinData->Joints[i];
        const uint32_t count = first[i + 1] - first[i];
        if (onRoot[i]) {
            pj.J[0] = rootJoint;
        } else if (groupOfPoint[i] != UINT32_MAX) {
            pj.J[0] = firstShared + 2 * groupOfPoint[i] + 1;
        } else {
            for (uint32_t k = 0; k < count; ++k)
                pj.J[k] = jointOf[holders[first[i] + k]];
            pj.Count = count;
        }
    }
    holders = {};
    first = {};

    // The polygons each component draws; a hidden one (an animation hides those it lacks)
    // draws none.
    std::vector<std::pair<size_t, std::vector<uint32_t>>> drawn;  // tree index, polygons
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        if (!c || c->ProxyModel || c->Model != main || c->Hidden)
            continue;
        const TPoseCache::TEntry* kept = options.Members ? options.Members->Find(t, c) : nullptr;
        const std::vector<uint32_t> all = kept ? std::vector<uint32_t>{} : Members(c->PolygonMembership, main->Polygons.size());
        std::vector<uint32_t> polys;
        for (uint32_t i : kept ? kept->Polygons : all) {
            const TP3dPolygon& poly = main->Polygons[i];
            if (IsDrawable(poly, n) && !main->Vertices[poly.Corners[0].PointIndex].IsProxyCorner)
                polys.push_back(i);
        }
        if (!polys.empty())
            drawn.emplace_back(t, std::move(polys));
    }
    if (drawn.empty())
        return;
    skinData->Model = main;
    skinData->Bind = std::move(bind);
    skinData->Unit.resize(main->Normals.size());
    skinData->Usable.resize(main->Normals.size());
    for (size_t i = 0; i < skinData->Unit.size(); ++i)
        skinData->Usable[i] = FileNormal(main->Normals, uint32_t(i), skinData->Unit[i]);
    skinData->Drawn = std::move(drawn);
    const std::vector<std::pair<size_t, std::vector<uint32_t>>>& parts = skinData->Drawn;

    // JOINTS_0 numbers the skin's joints with 16 bits at most. A model with more joints
    // than that lists the joints its points follow first (fewer, unless the model's
    // membership alone takes gigabytes); one that needs more of them is refused.
    std::vector<uint32_t> local;  // writer's joint -> the skin's; empty: the same
    std::vector<int> skinJoints = allJoints;
    if (allJoints.size() > kMaxSkinJoints) {
        local.assign(allJoints.size(), UINT32_MAX);
        skinJoints.clear();
        for (const auto& part : parts)
            for (uint32_t pi : part.second) {
                const TP3dPolygon& poly = main->Polygons[pi];
                for (uint32_t k = 0; k < poly.VertexCount; ++k) {
                    const TPointJoints& pj = skinData->Joints[poly.Corners[k].PointIndex];
                    for (uint32_t q = 0; q < pj.Count; ++q)
                        if (local[pj.J[q]] == UINT32_MAX) {
                            local[pj.J[q]] = uint32_t(skinJoints.size());
                            skinJoints.push_back(allJoints[pj.J[q]]);
                        }
                }
            }
        if (skinJoints.size() > kMaxSkinJoints) {
            report.Error = QStringLiteral("%1: the model's points follow %2 joints; a glTF skin can number at most 65536")
                               .arg(options.ModelName)
                               .arg(skinJoints.size());
            return;
        }
        for (size_t j = 0; j < allJoints.size(); ++j)
            if (local[j] == UINT32_MAX)
                skinJoints.push_back(allJoints[j]);
    }
    std::vector<float> inverse;
    inverse.reserve(allJoints.size() * 16);
    for (size_t j = 0; j < allJoints.size(); ++j)
        inverse.insert(inverse.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    const int inverseBind = b.Accessor(inverse, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, 16, kNoTarget);
    const bool wide = (local.empty() ? allJoints.size() : skinJoints.size()) > 256;
    const size_t stride = wide ? 48 : 44;
    // The bounds of the positions written: of every point a drawn corner names.
    float lo[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                   std::numeric_limits<float>::infinity()};
    float hi[3] = {-lo[0], -lo[1], -lo[2]};
    std::vector<uint32_t> primitiveStart;
    size_t corners = 0;
    for (size_t d = 0; d < parts.size(); ++d) {
        primitiveStart.push_back(uint32_t(corners));
        for (uint32_t pi : parts[d].second) {
            const TP3dPolygon& poly = main->Polygons[pi];
            corners += CornerCount(poly);
            for (uint32_t c = 0; c < poly.VertexCount; ++c) {
                const TVec3f& q = skinData->Bind[poly.Corners[c].PointIndex];
                lo[0] = std::min(lo[0], q.x), lo[1] = std::min(lo[1], q.y), lo[2] = std::min(lo[2], q.z);
                hi[0] = std::max(hi[0], q.x), hi[1] = std::max(hi[1], q.y), hi[2] = std::max(hi[2], q.z);
            }
        }
    }
    // The vertex and index blocks are generated as the file is written: the buffer is
    // laid out once, so nothing large is copied or grown on the way.
    const size_t vertexAt = b.Generated(
        corners * stride, [skinData, local = std::move(local), wide](TByteSink& sink) { skinData->Emit(sink, local, wide); });
    const size_t indexAt = b.Generated(corners * 4, [corners](TByteSink& sink) {
        TStaging out(sink);
        for (size_t i = 0; i < corners;) {
            const size_t count = std::min(corners - i, TByteSink::PieceSize / 4);
            uint32_t* idx = reinterpret_cast<uint32_t*>(out.Take(count * 4));
            for (size_t q = 0; q < count; ++q)
                idx[q] = uint32_t(i + q);
            i += count;
        }
    });

    tg::Mesh mesh;
    mesh.name = rootName;
    tg::Primitive base;
    base.mode = TINYGLTF_MODE_TRIANGLES;
    const int vertexView = b.ViewAt(vertexAt, corners * stride, TINYGLTF_TARGET_ARRAY_BUFFER, stride);
    base.attributes["POSITION"] = b.AccessorAt(vertexView, 0, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, corners);
    b.M.accessors.back().minValues = {lo[0], lo[1], lo[2]};
    b.M.accessors.back().maxValues = {hi[0], hi[1], hi[2]};
    base.attributes["NORMAL"] = b.AccessorAt(vertexView, 12, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, corners);
    base.attributes["JOINTS_0"] = b.AccessorAt(
        vertexView, 24, wide ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_TYPE_VEC4,
        corners);
    base.attributes["WEIGHTS_0"] = b.AccessorAt(vertexView, wide ? 32 : 28, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4,
                                                corners);
    const int indexView = b.ViewAt(indexAt, corners * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    for (size_t d = 0; d < parts.size(); ++d) {
        const uint32_t from = primitiveStart[d], to = d + 1 < parts.size() ? primitiveStart[d + 1] : uint32_t(corners);
        tg::Primitive p = base;
        p.indices = b.AccessorAt(indexView, size_t(from) * 4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR,
                                 to - from);
        const TSelection* c = treeOrder[parts[d].first];
        tg::Value::Object extras;
        extras["component"] = tg::Value(Utf8(c->Name));
        p.extras = tg::Value(std::move(extras));
        p.material = b.Material(c->Color, 0.2f, options.Transparent,
                                QStringLiteral("colour %1").arg(c->Color, 6, 16, QLatin1Char('0')).toStdString());
        mesh.primitives.push_back(std::move(p));
    }
    b.M.meshes.push_back(std::move(mesh));

    tg::Skin skin;
    skin.name = rootName;
    skin.skeleton = root;
    skin.joints = skinJoints;
    skin.inverseBindMatrices = inverseBind;
    b.M.skins.push_back(std::move(skin));

    // Skinned meshes sit at the root of the scene, without a transform of their own.
    tg::Node meshNode;
    meshNode.name = rootName + " mesh";
    meshNode.mesh = int(b.M.meshes.size() - 1);
    meshNode.skin = int(b.M.skins.size() - 1);
    scene.nodes.push_back(b.Node(std::move(meshNode)));
}
}  // namespace GltfWrite
