// The glTF writer's nodes, proxies and environment: the model's root, the total move and
// a joint per posed component; a mesh per proxy file placed under its component's joint;
// the environment as a static mesh.
#include "pose/GltfWriter.h"
#include "model/Environment.h"
#include "platform/FileUtil.h"

#include <cmath>
#include <unordered_map>

namespace GltfWrite {

void TGltfWriter::Nodes()
{
    // Nodes: root (the skin's last joint, for points at the origin), total move, a joint
    // per posed component. Every one of them rests at the identity, so that the skin's
    // bind pose (identity inverse bind matrices) is the nodes' rest pose, as importers
    // that rebuild the skeleton from the rest pose expect: the animation carries the
    // poses, and a single pose is in the points themselves.
    tg::Node rootNode;
    rootNode.name = rootName = Utf8(options.ModelName.isEmpty() ? QStringLiteral("model") : options.ModelName);
    tg::Value::Object rootExtras;
    rootExtras["role"] = tg::Value(std::string("points the editor leaves at the origin"));
    rootNode.extras = tg::Value(std::move(rootExtras));
    root = b.Node(rootNode);
    tg::Node moveNode;
    moveNode.name = "total move";
    move = b.Node(moveNode);
    b.M.nodes[size_t(root)].children.push_back(move);
    // Every point the editor shows is then not finite; the model collapses onto the origin,
    // as a component whose transform is not finite does.
    if (moveCollapsed)
        report.Warnings << QStringLiteral("total move: it is not finite; it is written collapsed to the origin");
    jointNode.assign(treeCount, -1);
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        if (!posed[t])
            continue;
        tg::Node n;
        n.name = Utf8(c->Name);
        tg::Value::Object extras;
        extras["displayName"] = tg::Value(Utf8(c->DisplayName));
        n.extras = tg::Value(std::move(extras));
        jointNode[t] = b.Node(std::move(n));
        b.M.nodes[size_t(move)].children.push_back(jointNode[t]);
    }

    scene.nodes.push_back(root);
}

void TGltfWriter::Proxies()
{
    // Proxies: a mesh per sub-model file (and colour), a node per placement.
    struct TProxyData {
        int Position = -1, Normal = -1, Indices = -1;
    };
    std::unordered_map<const void*, TProxyData> proxyData;
    std::map<std::pair<const void*, int>, int> proxyMesh;
    for (const auto& m : models) {
        if (!m || m.get() == main || !m->IsProxy || m->IsEnvironment)
            continue;
        const TTransform placed = ProxyTransform(*m, pose);
        for (const TP3dVertex& v : m->DrawnVertices()) {
            ++report.Points;
            report.NonFinitePoints += !Finite(PosePoint(v, placed, params));
        }
        const TSelection* owner = m->ProxySelection;
        if (!owner || owner->Hidden)
            continue;
        const void* key = m->SharedGeometry ? static_cast<const void*>(m->SharedGeometry.get()) : m.get();
        auto data = proxyData.find(key);
        if (data == proxyData.end()) {
            const std::vector<TP3dVertex>& vs = m->DrawnVertices();
            std::vector<TVec3f> points(vs.size());
            for (size_t i = 0; i < vs.size(); ++i) {
                const TVec3 p{RoundToFloat(vs[i].X + params.ModelOffset[0]), RoundToFloat(vs[i].Y + params.ModelOffset[1]),
                              RoundToFloat(vs[i].Z + params.ModelOffset[2])};
                if (Finite(p))
                    points[i] = {float(p.x), float(p.y), float(p.z)};
            }
            TPlainMesh pm;
            const std::vector<TP3dNormal>& normals = m->SharedGeometry ? m->SharedGeometry->Normals : m->Normals;
            for (const TP3dPolygon& poly : m->DrawnPolygons())
                if (IsDrawable(poly, vs.size()))
                    pm.AddPolygon(poly, points, normals);
            TProxyData d;
            if (!pm.Indices.empty()) {
                d.Position = b.Accessor(pm.Positions, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                                        TINYGLTF_TARGET_ARRAY_BUFFER, true);
                d.Normal = b.Accessor(pm.Normals, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                                      TINYGLTF_TARGET_ARRAY_BUFFER);
                d.Indices = b.Accessor(pm.Indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1,
                                       TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            }
            data = proxyData.emplace(key, d).first;
        }
        if (data->second.Indices < 0)
            continue;
        const int material = b.Material(owner->Color, 0.2f, options.Transparent,
                                        QStringLiteral("colour %1").arg(owner->Color, 6, 16, QLatin1Char('0')).toStdString());
        auto mesh = proxyMesh.find({key, material});
        if (mesh == proxyMesh.end()) {
            tg::Mesh pm;
            pm.name = Utf8(FileNamePart(m->FileName));
            tg::Primitive p;
            p.mode = TINYGLTF_MODE_TRIANGLES;
            p.attributes["POSITION"] = data->second.Position;
            p.attributes["NORMAL"] = data->second.Normal;
            p.indices = data->second.Indices;
            p.material = material;
            pm.primitives.push_back(std::move(p));
            b.M.meshes.push_back(std::move(pm));
            mesh = proxyMesh.emplace(std::make_pair(key, material), int(b.M.meshes.size() - 1)).first;
        }
        tg::Node n;
        n.name = Utf8(owner->Name + QLatin1Char(' ') + FileNamePart(m->FileName));
        n.mesh = mesh->second;
        tg::Value::Object extras;
        extras["component"] = tg::Value(Utf8(owner->Name));
        n.extras = tg::Value(std::move(extras));
        int parent = move;
        for (size_t t = 0; t < treeCount; ++t)
            if (treeOrder[t] == m->ProxyParent && jointNode[t] >= 0)
                parent = jointNode[t];
        // Animated, the joint above carries the pose; otherwise the placement the view
        // shows, total move included, is the node's own.
        TTransform at = m->ProxyMatrix;
        if (!animating) {
            at = placed;
            const TVec3 share = params.TotalMoveShare();
            at[9] += share.x, at[10] += share.y, at[11] += share.z;
        }
        const TTrs trs = DecomposeTransform(at);
        if (!trs.Exact)
            report.Warnings << TrsWarning(trs, QStringLiteral("proxy %1").arg(owner->Name));
        SetTrs(n, trs);
        const int node = b.Node(std::move(n));
        b.M.nodes[size_t(parent)].children.push_back(node);
    }
}

void TGltfWriter::Environment()
{
    // The environment, where the view shows it.
    const TP3dModell* env = options.Environment ? FindEnvironment(models) : nullptr;
    if (env) {
        std::vector<TVec3f> points(env->Vertices.size());
        for (size_t i = 0; i < points.size(); ++i) {
            const TDisplayPoint d = i < env->DisplayPoints.size() ? env->DisplayPoints[i] : TDisplayPoint{};
            ++report.Points;
            if (std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Z))
                points[i] = {d.X, d.Y, d.Z};
            else
                ++report.NonFinitePoints;
        }
        TPlainMesh pm;
        for (const TP3dPolygon& poly : env->Polygons)
            if (IsDrawable(poly, points.size()))
                pm.AddPolygon(poly, points, env->Normals);
        // The sub-models of its other proxies stand still with it, in its mesh.
        for (const auto& m : models) {
            if (!m || !m->IsEnvironment || !m->IsProxy)
                continue;
            const TTransform placed = ProxyTransform(*m, pose);
            const std::vector<TP3dVertex>& vs = m->DrawnVertices();
            std::vector<TVec3f> sub(vs.size());
            for (size_t i = 0; i < vs.size(); ++i) {
                const TVec3 q = PosePoint(vs[i], placed, TPoseParams{});
                ++report.Points;
                if (Finite(q))
                    sub[i] = {float(q.x), float(q.y), float(q.z)};
                else
                    ++report.NonFinitePoints;
            }
            const std::vector<TP3dNormal>& normals = m->SharedGeometry ? m->SharedGeometry->Normals : m->Normals;
            for (const TP3dPolygon& poly : m->DrawnPolygons())
                if (IsDrawable(poly, sub.size()))
                    pm.AddPolygon(poly, sub, normals);
        }
        if (!pm.Indices.empty()) {
            tg::Primitive p;
            p.mode = TINYGLTF_MODE_TRIANGLES;
            p.attributes["POSITION"] = b.Accessor(pm.Positions, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                                                  TINYGLTF_TARGET_ARRAY_BUFFER, true);
            p.attributes["NORMAL"] = b.Accessor(pm.Normals, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                                                TINYGLTF_TARGET_ARRAY_BUFFER);
            p.indices = b.Accessor(pm.Indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1,
                                   TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            // The view's grey shell: 0.8 grey.
            p.material = b.Material(0xCCCCCC, options.EnvironmentAlpha, options.Transparent, "environment");
            tg::Mesh mesh;
            mesh.name = "environment";
            mesh.primitives.push_back(std::move(p));
            b.M.meshes.push_back(std::move(mesh));
            tg::Node n;
            n.name = "environment";
            n.mesh = int(b.M.meshes.size() - 1);
            scene.nodes.push_back(b.Node(std::move(n)));
        }
    }
}
}  // namespace GltfWrite
