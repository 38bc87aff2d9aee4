// The glTF writer's skinned mesh: the main model's points bound to the joints of the
// components that hold them, a primitive per component.
#include "pose/GltfWriter.h"
#include "pose/View3dGeometry.h"

#include <algorithm>
#include <cmath>

namespace GltfWrite {
namespace {
struct TSkinData {
    const TP3dModell* Model = nullptr;
    std::vector<TVec3f> Bind;                // per point
    std::vector<uint32_t> First, Joints;     // the joints of point i: Joints[First[i] .. First[i + 1])
    std::vector<TVec3f> Unit;                // the file's normals, unit length
    std::vector<char> Usable;                // whether each of them is
    std::vector<std::pair<size_t, std::vector<uint32_t>>> Drawn;  // tree index, polygons
    size_t Sets = 1;
    bool Wide = false;

    void Emit(TByteSink& sink, size_t stride) const
    {
        TStaging out(sink);
        const size_t jointBytes = Wide ? 8 : 4;
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
                    const uint32_t p = corner.PointIndex;
                    std::memcpy(r, &Bind[p], 12);
                    const TVec3f& nv = corner.NormalIndex < Unit.size() && Usable[corner.NormalIndex] ? Unit[corner.NormalIndex] : face;
                    std::memcpy(r + 12, &nv, 12);
                    const uint32_t count = First[p + 1] - First[p];
                    if (count == 1 && Sets == 1 && !Wide) {  // the common case: one joint
                        const unsigned char js[4] = {uint8_t(Joints[First[p]]), 0, 0, 0};
                        const float ws[4] = {1, 0, 0, 0};
                        std::memcpy(r + 24, js, 4);
                        std::memcpy(r + 28, ws, 16);
                        return;
                    }
                    const float w = 1.0f / float(count);
                    for (size_t s = 0; s < Sets; ++s) {
                        unsigned char* js = r + 24 + s * (jointBytes + 16);
                        float ws[4];
                        for (size_t k = 0; k < 4; ++k) {
                            const size_t at = s * 4 + k;
                            const uint32_t j = at < count ? Joints[First[p] + at] : 0;
                            if (Wide) {
                                const uint16_t j16 = uint16_t(j);
                                std::memcpy(js + k * 2, &j16, 2);
                            } else {
                                js[k] = uint8_t(j);
                            }
                            ws[k] = at < count ? w : 0.0f;
                        }
                        std::memcpy(js + jointBytes, ws, 16);
                    }
                });
            }
    }
};
}  // namespace

void TGltfWriter::SkinnedMesh()
{
    // The main model's skinned mesh.
    const size_t n = main->Vertices.size();
    const uint32_t rootJoint = uint32_t(treeCount);
    std::vector<std::vector<uint32_t>> members(treeCount);
    std::vector<uint32_t> shareCount(n, 0);
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        if (!posed[t] || c->Model != main)
            continue;
        members[t] = Members(c->VertexMembership, n);
        for (uint32_t i : members[t])
            ++shareCount[i];
    }
    // Points the editor does not pose go to the root joint at what it shows.
    std::vector<TVec3f> bind(n);
    std::vector<char> onRoot(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const TP3dVertex& v = main->Vertices[i];
        const bool storedFinite = std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
        if (shareCount[i] == 0 || v.IsProxyCorner || !storedFinite) {
            onRoot[i] = 1;
            const TDisplayPoint d = i < main->DisplayPoints.size() ? main->DisplayPoints[i] : TDisplayPoint{};
            if (storedFinite && std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Z))
                bind[i] = {d.X, d.Y, d.Z};
        } else if (params.AnimationLoaded) {
            bind[i] = {float(RoundToFloat(v.X + params.ModelOffset[0])), float(RoundToFloat(v.Y + params.ModelOffset[1])),
                       float(RoundToFloat(v.Z + params.ModelOffset[2]))};
        } else {
            bind[i] = {v.X, v.Y, v.Z};
        }
    }
    // The joints of each point, as offsets into one list.
    std::vector<uint32_t> first(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        first[i + 1] = first[i] + (onRoot[i] ? 1 : shareCount[i]);
    std::vector<uint32_t> joints(first[n]);
    {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (size_t i = 0; i < n; ++i)
            if (onRoot[i])
                joints[fill[i]++] = rootJoint;
        for (size_t t = 0; t < treeCount; ++t) {
            const TSelection* c = treeOrder[t];
            if (!posed[t] || c->Model != main)
                continue;
            for (uint32_t i : members[t])
                if (!onRoot[i])
                    joints[fill[i]++] = uint32_t(t);
        }
    }
    uint32_t most = 1;
    for (size_t i = 0; i < n; ++i)
        most = std::max(most, first[i + 1] - first[i]);
    const size_t sets = (most + 3) / 4;
    const bool wide = treeCount + 1 > 255;

    // The polygons each component draws, then one block per attribute, written in place:
    // the buffer is laid out once, so nothing large is copied or grown on the way.
    std::vector<std::pair<size_t, std::vector<uint32_t>>> drawn;  // tree index, polygons
    size_t corners = 0;
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        if (!c || c->ProxyModel || c->Model != main)
            continue;
        std::vector<uint32_t> polys = Members(c->PolygonMembership, main->Polygons.size());
        polys.erase(std::remove_if(polys.begin(), polys.end(),
                                   [&](uint32_t i) {
                                       const TP3dPolygon& poly = main->Polygons[i];
                                       return !IsDrawable(poly, n) || main->Vertices[poly.Corners[0].PointIndex].IsProxyCorner;
                                   }),
                    polys.end());
        for (uint32_t i : polys)
            corners += main->Polygons[i].VertexCount == 4 ? 6 : 3;
        if (!polys.empty())
            drawn.emplace_back(t, std::move(polys));
    }
    if (!drawn.empty()) {
        // One interleaved vertex record per corner: position, normal, then each set of
        // joints and weights. It is generated as the file is written.
        const size_t jointBytes = wide ? 8 : 4;
        const size_t stride = 24 + sets * (jointBytes + 16);
        auto skinData = std::make_shared<TSkinData>();
        skinData->Model = main;
        skinData->Bind = std::move(bind);
        skinData->First = std::move(first);
        skinData->Joints = std::move(joints);
        skinData->Sets = sets;
        skinData->Wide = wide;
        skinData->Unit.resize(main->Normals.size());
        skinData->Usable.resize(main->Normals.size());
        for (size_t i = 0; i < skinData->Unit.size(); ++i)
            skinData->Usable[i] = FileNormal(main->Normals, uint32_t(i), skinData->Unit[i]);
        // The bounds of the positions written: of every point a drawn corner names.
        float lo[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::infinity()};
        float hi[3] = {-lo[0], -lo[1], -lo[2]};
        {
            std::vector<char> used(n, 0);
            for (const auto& d : drawn)
                for (uint32_t pi : d.second) {
                    const TP3dPolygon& poly = main->Polygons[pi];
                    for (uint32_t k = 0; k < poly.VertexCount; ++k)
                        used[poly.Corners[k].PointIndex] = 1;
                }
            for (size_t i = 0; i < n; ++i)
                if (used[i]) {
                    const TVec3f& q = skinData->Bind[i];
                    lo[0] = std::min(lo[0], q.x), lo[1] = std::min(lo[1], q.y), lo[2] = std::min(lo[2], q.z);
                    hi[0] = std::max(hi[0], q.x), hi[1] = std::max(hi[1], q.y), hi[2] = std::max(hi[2], q.z);
                }
        }
        std::vector<uint32_t> primitiveStart;
        uint32_t v = 0;
        for (const auto& d : drawn) {
            primitiveStart.push_back(v);
            for (uint32_t pi : d.second)
                v += main->Polygons[pi].VertexCount == 4 ? 6 : 3;
        }
        skinData->Drawn = std::move(drawn);
        const size_t vertexAt = b.Generated(corners * stride, [skinData, stride](TByteSink& sink) { skinData->Emit(sink, stride); });
        const size_t indexAt = b.Generated(corners * 4, [corners](TByteSink& sink) {
            TStaging out(sink);
            for (size_t i = 0; i < corners;) {
                const size_t count = std::min(corners - i, TStaging::Capacity / 4);
                uint32_t* idx = reinterpret_cast<uint32_t*>(out.Take(count * 4));
                for (size_t k = 0; k < count; ++k)
                    idx[k] = uint32_t(i + k);
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
        for (size_t s = 0; s < sets; ++s) {
            const std::string set = std::to_string(s);
            const size_t at = 24 + s * (jointBytes + 16);
            base.attributes["JOINTS_" + set] =
                b.AccessorAt(vertexView, at, wide ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                             TINYGLTF_TYPE_VEC4, corners);
            base.attributes["WEIGHTS_" + set] =
                b.AccessorAt(vertexView, at + jointBytes, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, corners);
        }
        const int indexView = b.ViewAt(indexAt, corners * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        for (size_t d = 0; d < skinData->Drawn.size(); ++d) {
            const uint32_t from = primitiveStart[d], to = d + 1 < skinData->Drawn.size() ? primitiveStart[d + 1] : v;
            tg::Primitive p = base;
            p.indices = b.AccessorAt(indexView, size_t(from) * 4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR,
                                     to - from);
            const TSelection* c = treeOrder[skinData->Drawn[d].first];
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
        skin.joints = jointNode;
        skin.joints.push_back(root);
        std::vector<float> inverse;
        inverse.reserve(skin.joints.size() * 16);
        for (size_t j = 0; j < skin.joints.size(); ++j)
            inverse.insert(inverse.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
        skin.inverseBindMatrices =
            b.Accessor(inverse, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, 16, kNoTarget);
        b.M.skins.push_back(std::move(skin));

        // Skinned meshes sit at the root of the scene, without a transform of their own.
        tg::Node meshNode;
        meshNode.name = rootName + " mesh";
        meshNode.mesh = int(b.M.meshes.size() - 1);
        meshNode.skin = int(b.M.skins.size() - 1);
        scene.nodes.push_back(b.Node(std::move(meshNode)));
    }
}
}  // namespace GltfWrite
