#include "pose/GltfImport.h"
#include "platform/FileUtil.h"
#include "platform/Progress.h"

#include <tiny_gltf.h>

#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
namespace tg = tinygltf;

constexpr qint64 kMaxFile = 256LL << 20;  // a .glb, or the buffers a .gltf names, all told
constexpr qint64 kMaxJson = MaxTextFileSize;
// The JSON reader keeps every value as a tree node of about 200 bytes, twice over (its own
// and the glTF library's copy of extras): a megabyte of "0," would take 200 MB. Real files
// hold their numbers in buffers; their JSON has far fewer values than this.
constexpr size_t kMaxJsonValues = 2000000;

// Whether the JSON text holds more values than limit: the commas and openings outside
// strings, counted without reading it.
bool TooManyValues(const char* p, size_t n, size_t limit)
{
    size_t values = 1;
    bool inString = false;
    for (size_t i = 0; i < n; ++i) {
        const char c = p[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if ((c == ',' || c == '[' || c == '{') && ++values > limit) {
            return true;
        }
    }
    return false;
}

using TMat4 = std::array<double, 16>;  // column-major, column vectors

TMat4 Identity4() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

TMat4 Times(const TMat4& a, const TMat4& b)
{
    TMat4 c{};
    for (size_t col = 0; col < 4; ++col)
        for (size_t row = 0; row < 4; ++row) {
            double v = 0;
            for (size_t k = 0; k < 4; ++k)
                v += a[k * 4 + row] * b[col * 4 + k];
            c[col * 4 + row] = v;
        }
    return c;
}

// Translation, then rotation (unit quaternion x, y, z, w), then scale, as glTF composes them.
TMat4 FromTrs(const double* t, const double* q, const double* s)
{
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    TMat4 m{};
    for (size_t col = 0; col < 3; ++col)
        for (size_t row = 0; row < 3; ++row)
            m[col * 4 + row] = r[row][col] * s[col];
    m[12] = t[0], m[13] = t[1], m[14] = t[2], m[15] = 1;
    return m;
}

void Normalize(double* q)
{
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (n > 0)
        for (int i = 0; i < 4; ++i)
            q[i] /= n;
    else
        q[0] = q[1] = q[2] = 0, q[3] = 1;
}

// Files a .gltf names, read from its folder within one budget; the first one that could
// not be read is kept for the message.
struct TFiles {
    QString BaseDir;
    qint64 Budget = kMaxFile;
    QString Failure;
};

bool FileExists(const std::string& path, void* user)
{
    TFiles& files = *static_cast<TFiles*>(user);
    const QString p = QString::fromStdString(path);
    if (!files.BaseDir.isEmpty() && QFileInfo(p).isFile())
        return true;
    if (files.Failure.isEmpty())
        files.Failure = QStringLiteral("%1 is missing").arg(FileNamePart(p));
    return false;
}

std::string ExpandFilePath(const std::string& path, void*) { return path; }

bool ReadFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user)
{
    TFiles& files = *static_cast<TFiles*>(user);
    const QString p = QString::fromStdString(path);
    QString error;
    QByteArray bytes;
    if (files.BaseDir.isEmpty() || !ReadWholeFile(p, bytes, &error, files.Budget)) {
        if (files.Failure.isEmpty())
            files.Failure = QStringLiteral("%1 cannot be read: %2")
                                .arg(FileNamePart(p), error.isEmpty() ? QStringLiteral("no folder") : error);
        if (err)
            *err += "cannot read " + path;
        return false;
    }
    files.Budget -= bytes.size();
    out->assign(bytes.begin(), bytes.end());
    return true;
}

bool WriteFile(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }

// Images are never decoded: an animation needs none.
bool SkipImage(tg::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) { return true; }

uint32_t U32(const QByteArray& b, qsizetype at)
{
    uint32_t v;
    std::memcpy(&v, b.constData() + at, 4);
    return v;  // little-endian machines only, as the rest of the editor
}

// A glb's header and chunks where its lengths say, checked before the library reads it.
QString CheckGlb(const QByteArray& b)
{
    if (b.size() < 20 || U32(b, 4) != 2)
        return QStringLiteral("not a glTF 2.0 binary file");
    const quint64 length = U32(b, 8), json = U32(b, 12);
    if (length > quint64(b.size()) || length < 20 || U32(b, 16) != 0x4E4F534A || json > length - 20)
        return QStringLiteral("the binary file's chunks do not fit it");
    if (qint64(json) > kMaxJson)
        return QStringLiteral("its JSON is larger than 64 MiB");
    const quint64 rest = length - 20 - json;
    if (rest != 0 && (rest < 8 || quint64(U32(b, qsizetype(20 + json))) > rest - 8))
        return QStringLiteral("the binary file's chunks do not fit it");
    return {};
}

// One animated property of a node: its key times and values.
struct TChannel {
    int Node = -1;
    int Path = 0;  // 0 translation, 1 rotation, 2 scale
    int Interp = 0;  // 0 LINEAR, 1 STEP, 2 CUBICSPLINE
    std::vector<double> In, Out;

    size_t Width() const { return Path == 1 ? 4 : 3; }
    // The value at time t, as glTF defines the interpolation.
    void Sample(double t, double* v) const
    {
        const size_t n = In.size(), w = Width();
        const auto value = [&](size_t k) { return &Out[(Interp == 2 ? 3 * k + 1 : k) * w]; };
        if (t <= In[0] || n == 1) {
            std::copy_n(value(0), w, v);
        } else if (t >= In[n - 1]) {
            std::copy_n(value(n - 1), w, v);
        } else {
            const size_t k = size_t(std::upper_bound(In.begin(), In.end(), t) - In.begin()) - 1;
            const double span = In[k + 1] - In[k], u = (t - In[k]) / span;
            const double *a = value(k), *b = value(k + 1);
            if (Interp == 1) {
                std::copy_n(a, w, v);
            } else if (Interp == 2) {
                const double *out = &Out[(3 * k + 2) * w], *in = &Out[(3 * (k + 1)) * w];
                const double u2 = u * u, u3 = u2 * u;
                for (size_t i = 0; i < w; ++i)
                    v[i] = (2 * u3 - 3 * u2 + 1) * a[i] + span * (u3 - 2 * u2 + u) * out[i] + (-2 * u3 + 3 * u2) * b[i] +
                           span * (u3 - u2) * in[i];
            } else if (Path != 1) {
                for (size_t i = 0; i < w; ++i)
                    v[i] = a[i] + u * (b[i] - a[i]);
            } else {
                // Spherical, the shorter way round.
                double qa[4], qb[4];
                std::copy_n(a, 4, qa);
                std::copy_n(b, 4, qb);
                Normalize(qa);
                Normalize(qb);
                double d = qa[0] * qb[0] + qa[1] * qb[1] + qa[2] * qb[2] + qa[3] * qb[3];
                const double sign = d < 0 ? -1 : 1;
                d = std::fabs(d);
                double ra = 1 - u, rb = u;
                if (d < 1 - 1e-12) {
                    const double angle = std::acos(d), s = std::sin(angle);
                    ra = std::sin((1 - u) * angle) / s;
                    rb = std::sin(u * angle) / s;
                }
                for (size_t i = 0; i < 4; ++i)
                    v[i] = ra * qa[i] + sign * rb * qb[i];
            }
        }
        if (Path == 1)
            Normalize(v);
    }
};

class TReader {
public:
    TReader(const tg::Model& m, const QString& name, const QStringList& components, const TGltfImportOptions& options,
            TGltfImport& result)
        : M(m), Name(name), Components(components), Options(options), R(result), ValuesLeft(options.MaxValues)
    {}

    bool Run();

private:
    bool Fail(const QString& text)
    {
        R.Error = Name + QStringLiteral(": ") + text;
        return false;
    }
    bool Read(int index, size_t width, std::vector<double>& out);
    bool ChooseAnimation(int& chosen);
    bool Hierarchy();
    bool Channels(const tg::Animation& anim);
    bool NodeTransforms();
    bool Match();
    bool Frames(std::vector<double>& times);
    bool Evaluate(const std::vector<double>& times);
    // The global transforms of the needed nodes at time t.
    void Globals(double t, std::vector<TMat4>& global) const;

    const tg::Model& M;
    const QString Name;
    const QStringList& Components;
    const TGltfImportOptions& Options;
    TGltfImport& R;
    qint64 ValuesLeft;

    std::vector<int> Parent;
    std::vector<TChannel> Channels_;
    std::vector<std::array<int, 3>> ChannelOf;  // per node and path, or -1
    struct TJoint {
        int Node = -1;
        TMat4 InverseBind = Identity4();
        int Component = -1;
    };
    std::vector<TJoint> Joints;  // matched, in the components' tree order
    std::vector<int> Needed;  // the matched joints and their ancestors, parents first
    std::vector<TMat4> Static;  // per node: its default transform
    int TotalMove = -1;
};

bool TReader::Read(int index, size_t width, std::vector<double>& out)
{
    if (index < 0 || size_t(index) >= M.accessors.size())
        return Fail(QStringLiteral("accessor %1 does not exist").arg(index));
    const tg::Accessor& a = M.accessors[size_t(index)];
    const QString which = QStringLiteral("accessor %1").arg(index);
    if (tg::GetNumComponentsInType(uint32_t(a.type)) != int(width))
        return Fail(which + QStringLiteral(" does not hold %1 numbers per element").arg(width));
    const int size = tg::GetComponentSizeInBytes(uint32_t(a.componentType));
    if (size <= 0 || a.componentType == TINYGLTF_COMPONENT_TYPE_DOUBLE)
        return Fail(which + QStringLiteral(" has a number type glTF does not know"));
    if (a.count > quint64(std::max<qint64>(ValuesLeft, 0)) / width)
        return Fail(which + QStringLiteral(" holds more numbers than are read at most"));
    ValuesLeft -= qint64(a.count * width);
    const size_t element = width * size_t(size);
    const auto decode = [&](const unsigned char* p, double* to) {
        for (size_t c = 0; c < width; ++c, p += size) {
            double v;
            switch (a.componentType) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                float f;
                std::memcpy(&f, p, 4);
                v = f;
                break;
            }
            case TINYGLTF_COMPONENT_TYPE_BYTE: {
                int8_t i;
                std::memcpy(&i, p, 1);
                v = a.normalized ? std::max(i / 127.0, -1.0) : i;
                break;
            }
            case TINYGLTF_COMPONENT_TYPE_SHORT: {
                int16_t i;
                std::memcpy(&i, p, 2);
                v = a.normalized ? std::max(i / 32767.0, -1.0) : i;
                break;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                v = a.normalized ? p[0] / 255.0 : p[0];
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
                uint16_t i;
                std::memcpy(&i, p, 2);
                v = a.normalized ? i / 65535.0 : i;
                break;
            }
            default: {
                uint32_t i;
                std::memcpy(&i, p, 4);
                v = a.normalized ? i / 4294967295.0 : i;
                break;
            }
            }
            to[c] = v;
        }
    };
    // The bytes of a view from an offset: false unless count elements stride apart fit.
    const auto span = [&](int view, size_t offset, size_t count, size_t stride, size_t elementSize, const unsigned char*& at) {
        if (view < 0 || size_t(view) >= M.bufferViews.size())
            return false;
        const tg::BufferView& v = M.bufferViews[size_t(view)];
        if (v.buffer < 0 || size_t(v.buffer) >= M.buffers.size())
            return false;
        const std::vector<unsigned char>& data = M.buffers[size_t(v.buffer)].data;
        if (v.byteOffset > data.size() || v.byteLength > data.size() - v.byteOffset || offset > v.byteLength)
            return false;
        const size_t room = v.byteLength - offset;
        if (count > 0 && (elementSize > room || (count - 1) > (room - elementSize) / std::max<size_t>(stride, 1)))
            return false;
        at = data.data() + v.byteOffset + offset;
        return true;
    };
    out.assign(a.count * width, 0.0);
    if (a.bufferView >= 0) {
        const size_t viewStride = size_t(a.bufferView) < M.bufferViews.size() ? M.bufferViews[size_t(a.bufferView)].byteStride
                                                                              : 0;
        const size_t stride = viewStride ? viewStride : element;
        const unsigned char* at = nullptr;
        if (stride < element || !span(a.bufferView, a.byteOffset, a.count, stride, element, at))
            return Fail(which + QStringLiteral(" lies outside its buffer"));
        for (size_t e = 0; e < a.count; ++e)
            decode(at + e * stride, &out[e * width]);
    }
    if (a.sparse.isSparse) {
        const auto& sp = a.sparse;
        const int indexSize = tg::GetComponentSizeInBytes(uint32_t(sp.indices.componentType));
        const unsigned char *indices = nullptr, *values = nullptr;
        if (sp.count < 0 || size_t(sp.count) > a.count || (indexSize != 1 && indexSize != 2 && indexSize != 4) ||
            !span(sp.indices.bufferView, size_t(sp.indices.byteOffset), size_t(sp.count), size_t(indexSize), size_t(indexSize),
                  indices) ||
            !span(sp.values.bufferView, size_t(sp.values.byteOffset), size_t(sp.count), element, element, values))
            return Fail(which + QStringLiteral(" lies outside its buffer"));
        for (size_t k = 0; k < size_t(sp.count); ++k) {
            uint32_t i = 0;
            std::memcpy(&i, indices + k * size_t(indexSize), size_t(indexSize));
            if (i >= a.count)
                return Fail(which + QStringLiteral(" lies outside its buffer"));
            decode(values + k * element, &out[i * width]);
        }
    }
    for (double v : out)
        if (!std::isfinite(v))
            return Fail(which + QStringLiteral(" holds a value that is not a finite number"));
    return true;
}

bool TReader::ChooseAnimation(int& chosen)
{
    if (M.animations.empty())
        return Fail(QStringLiteral("it holds no animation"));
    chosen = 0;
    if (Options.Animation.isEmpty())
        return true;
    for (size_t i = 0; i < M.animations.size(); ++i)
        if (QString::fromStdString(M.animations[i].name) == Options.Animation) {
            chosen = int(i);
            return true;
        }
    bool number = false;
    const int n = Options.Animation.toInt(&number);
    if (number && n >= 0 && size_t(n) < M.animations.size()) {
        chosen = n;
        return true;
    }
    QStringList names;
    for (size_t i = 0; i < M.animations.size(); ++i)
        names << QStringLiteral("%1 \"%2\"").arg(i).arg(QString::fromStdString(M.animations[i].name));
    return Fail(QStringLiteral("it has no animation \"%1\"; it has %2").arg(Options.Animation, names.join(QStringLiteral(", "))));
}

bool TReader::Hierarchy()
{
    const size_t n = M.nodes.size();
    Parent.assign(n, -1);
    for (size_t i = 0; i < n; ++i)
        for (int c : M.nodes[i].children) {
            if (c < 0 || size_t(c) >= n || Parent[size_t(c)] >= 0 || size_t(c) == i)
                return Fail(QStringLiteral("its nodes do not form a tree (node %1)").arg(c));
            Parent[size_t(c)] = int(i);
        }
    // A loop has every node of it with a parent: walking up from one of them comes back.
    std::vector<char> state(n, 0);  // 0 unseen, 1 on this walk, 2 done
    std::vector<size_t> walk;
    for (size_t i = 0; i < n; ++i) {
        walk.clear();
        for (size_t at = i; state[at] != 2;) {
            if (state[at] == 1)
                return Fail(QStringLiteral("its nodes do not form a tree (node %1)").arg(at));
            state[at] = 1;
            walk.push_back(at);
            if (Parent[at] < 0)
                break;
            at = size_t(Parent[at]);
        }
        for (size_t w : walk)
            state[w] = 2;
    }
    return true;
}

bool TReader::Channels(const tg::Animation& anim)
{
    ChannelOf.assign(M.nodes.size(), {-1, -1, -1});
    for (const tg::AnimationChannel& ch : anim.channels) {
        const int path = ch.target_path == "translation" ? 0
                         : ch.target_path == "rotation"  ? 1
                         : ch.target_path == "scale"     ? 2
                                                         : -1;
        if (path < 0 || ch.target_node < 0)
            continue;  // morph weights and the like move no joint
        if (size_t(ch.target_node) >= M.nodes.size() || ch.sampler < 0 || size_t(ch.sampler) >= anim.samplers.size())
            return Fail(QStringLiteral("animation \"%1\" names a node or sampler that does not exist").arg(anim.name.c_str()));
        if (ChannelOf[size_t(ch.target_node)][size_t(path)] >= 0)
            continue;  // the first channel of a node's property counts
        const tg::AnimationSampler& s = anim.samplers[size_t(ch.sampler)];
        TChannel c;
        c.Node = ch.target_node;
        c.Path = path;
        if (s.interpolation == "STEP")
            c.Interp = 1;
        else if (s.interpolation == "CUBICSPLINE")
            c.Interp = 2;
        else if (!s.interpolation.empty() && s.interpolation != "LINEAR")
            return Fail(QStringLiteral("sampler %1 has the interpolation \"%2\"").arg(ch.sampler).arg(s.interpolation.c_str()));
        if (!Read(s.input, 1, c.In) || !Read(s.output, c.Width(), c.Out))
            return false;
        if (c.In.empty())
            return Fail(QStringLiteral("sampler %1 has no keys").arg(ch.sampler));
        for (size_t k = 1; k < c.In.size(); ++k)
            if (!(c.In[k] > c.In[k - 1]))
                return Fail(QStringLiteral("the key times of sampler %1 do not rise").arg(ch.sampler));
        if (c.Out.size() != c.In.size() * c.Width() * (c.Interp == 2 ? 3 : 1))
            return Fail(QStringLiteral("sampler %1 has not a value for every key").arg(ch.sampler));
        ChannelOf[size_t(c.Node)][size_t(path)] = int(Channels_.size());
        Channels_.push_back(std::move(c));
    }
    if (Channels_.empty())
        return Fail(QStringLiteral("animation \"%1\" moves no node").arg(anim.name.c_str()));
    return true;
}

bool TReader::Match()
{
    // The joints of every skin, each once, with the inverse bind matrix of the first skin
    // that lists it; without a skin, every node.
    std::vector<TJoint> candidates;
    std::vector<char> listed(M.nodes.size(), 0);
    for (size_t s = 0; s < M.skins.size(); ++s) {
        const tg::Skin& skin = M.skins[s];
        std::vector<double> inverse;
        if (skin.inverseBindMatrices >= 0) {
            if (!Read(skin.inverseBindMatrices, 16, inverse))
                return false;
            if (inverse.size() < skin.joints.size() * 16)
                return Fail(QStringLiteral("skin %1 has fewer inverse bind matrices than joints").arg(s));
        }
        for (size_t j = 0; j < skin.joints.size(); ++j) {
            const int node = skin.joints[j];
            if (node < 0 || size_t(node) >= M.nodes.size())
                return Fail(QStringLiteral("skin %1 names a node that does not exist").arg(s));
            if (listed[size_t(node)])
                continue;
            listed[size_t(node)] = 1;
            TJoint joint;
            joint.Node = node;
            if (!inverse.empty())
                std::copy_n(inverse.begin() + qsizetype(j * 16), 16, joint.InverseBind.begin());
            candidates.push_back(joint);
        }
    }
    const bool skinned = !M.skins.empty();
    if (!skinned)
        for (size_t i = 0; i < M.nodes.size(); ++i)
            candidates.push_back(TJoint{int(i), Identity4(), -1});

    QHash<QString, int> component;  // case-folded name -> the first such component in tree order
    for (qsizetype i = 0; i < Components.size(); ++i)
        component.insert(Components[i].toCaseFolded(), component.value(Components[i].toCaseFolded(), int(i)));
    std::vector<int> jointOf(size_t(Components.size()), -1);
    for (size_t k = 0; k < candidates.size(); ++k) {
        const tg::Node& node = M.nodes[size_t(candidates[k].Node)];
        // The editor's own export marks the joints that are no component.
        if (node.extras.IsObject() && node.extras.Has("role"))
            continue;
        const QString name = QString::fromStdString(node.name);
        const auto found = component.constFind(name.toCaseFolded());
        const bool animated = ChannelOf[size_t(candidates[k].Node)] != std::array<int, 3>{-1, -1, -1};
        if (found == component.constEnd()) {
            if ((skinned || animated) && !name.isEmpty() && name != QLatin1String("total move"))
                R.Warnings << QStringLiteral("%1: %2 \"%3\" names no component of the model; it is left out")
                                  .arg(Name, skinned ? QStringLiteral("joint") : QStringLiteral("node"), name);
            continue;
        }
        if (jointOf[size_t(*found)] >= 0) {
            R.Warnings << QStringLiteral("%1: %2 \"%3\" names component %4 as an earlier one does; it is left out")
                              .arg(Name, skinned ? QStringLiteral("joint") : QStringLiteral("node"), name, Components[*found]);
            continue;
        }
        jointOf[size_t(*found)] = int(k);
        candidates[k].Component = *found;
    }
    for (size_t c = 0; c < jointOf.size(); ++c)
        if (jointOf[c] >= 0)
            Joints.push_back(candidates[size_t(jointOf[c])]);
    if (Joints.empty())
        return Fail(QStringLiteral("none of its %1 names a component of the model")
                        .arg(skinned ? QStringLiteral("joints") : QStringLiteral("nodes")));

    // The joints and their ancestors, parents first; the total move among them.
    std::vector<char> needed(M.nodes.size(), 0);
    std::vector<int> depth(M.nodes.size(), 0);
    for (const TJoint& j : Joints)
        for (int at = j.Node; at >= 0 && !needed[size_t(at)]; at = Parent[size_t(at)])
            needed[size_t(at)] = 1;
    for (size_t i = 0; i < needed.size(); ++i)
        if (needed[i]) {
            Needed.push_back(int(i));
            for (int at = Parent[i]; at >= 0; at = Parent[size_t(at)])
                ++depth[i];
            if (M.nodes[i].name == "total move" && TotalMove < 0)
                TotalMove = int(i);
        }
    std::stable_sort(Needed.begin(), Needed.end(), [&depth](int a, int b) { return depth[size_t(a)] < depth[size_t(b)]; });
    return true;
}

bool TReader::NodeTransforms()
{
    Static.assign(M.nodes.size(), Identity4());
    for (int i : Needed) {
        const tg::Node& n = M.nodes[size_t(i)];
        const QString which = QStringLiteral("node %1").arg(i);
        std::vector<double> all = n.matrix;
        all.insert(all.end(), n.translation.begin(), n.translation.end());
        all.insert(all.end(), n.rotation.begin(), n.rotation.end());
        all.insert(all.end(), n.scale.begin(), n.scale.end());
        for (double v : all)
            if (!std::isfinite(v))
                return Fail(which + QStringLiteral(" has a transform that is not a finite number"));
        if (!n.matrix.empty()) {
            if (n.matrix.size() != 16)
                return Fail(which + QStringLiteral(" has a matrix that is not 4x4"));
            if (ChannelOf[size_t(i)] != std::array<int, 3>{-1, -1, -1})
                return Fail(which + QStringLiteral(" has a matrix and is animated"));
            std::copy_n(n.matrix.begin(), 16, Static[size_t(i)].begin());
            continue;
        }
        if ((!n.translation.empty() && n.translation.size() != 3) || (!n.rotation.empty() && n.rotation.size() != 4) ||
            (!n.scale.empty() && n.scale.size() != 3))
            return Fail(which + QStringLiteral(" has a translation, rotation or scale of the wrong size"));
    }
    return true;
}

bool TReader::Frames(std::vector<double>& times)
{
    for (const TChannel& c : Channels_)
        times.insert(times.end(), c.In.begin(), c.In.end());
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    const double first = times.front(), last = times.back();
    if (Options.Fps > 0) {
        const double count = std::floor((last - first) * Options.Fps) + 2;
        if (!(count * double(Joints.size()) <= double(Options.MaxEntries)))
            return Fail(QStringLiteral("%1 frames a second make more frames than are taken at most").arg(Options.Fps));
        times.clear();
        for (qint64 k = 0;; ++k) {
            const double t = first + double(k) / Options.Fps;
            // A sample closer to the last key than a thousandth of a frame is that key.
            if (t >= last - 1e-3 / Options.Fps)
                break;
            times.push_back(t);
        }
        times.push_back(last);
    }
    const double work = double(times.size()) * double(std::max(Joints.size(), Needed.size()));
    if (!(work <= double(Options.MaxEntries)))
        return Fail(
            QStringLiteral("%1 frames of %2 components are more than are taken at most").arg(times.size()).arg(Joints.size()));
    return true;
}

void TReader::Globals(double t, std::vector<TMat4>& global) const
{
    for (int i : Needed) {
        const tg::Node& n = M.nodes[size_t(i)];
        TMat4 local = Static[size_t(i)];
        if (n.matrix.empty()) {
            double tr[3] = {0, 0, 0}, q[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
            if (!n.translation.empty())
                std::copy_n(n.translation.begin(), 3, tr);
            if (!n.rotation.empty())
                std::copy_n(n.rotation.begin(), 4, q);
            if (!n.scale.empty())
                std::copy_n(n.scale.begin(), 3, s);
            for (size_t p = 0; p < 3; ++p)
                if (const int c = ChannelOf[size_t(i)][p]; c >= 0)
                    Channels_[size_t(c)].Sample(t, p == 0 ? tr : p == 1 ? q : s);
            Normalize(q);
            local = FromTrs(tr, q, s);
        }
        global[size_t(i)] = Parent[size_t(i)] >= 0 ? Times(global[size_t(Parent[size_t(i)])], local) : local;
    }
}

bool TReader::Evaluate(const std::vector<double>& times)
{
    const size_t frames = times.size();
    const double first = times.front(), span = times.back() - first;
    TAnimDocument& doc = R.Document;
    std::vector<TMat4> global(M.nodes.size());
    for (const TJoint& j : Joints)
        doc.AnimSelections.Add(Components[j.Component]);
    // The total move the editor spreads over the frames: how far the node's origin moves
    // from the first frame to the last, in the file's space (the export's node moves by
    // its translation alone; another tool's may sit under a turned parent).
    std::array<float, 3> move{0, 0, 0};
    if (TotalMove >= 0 && frames > 1) {
        double ends[2][3];
        for (int e = 0; e < 2; ++e) {
            Globals(e == 0 ? times.front() : times.back(), global);
            std::copy_n(&global[size_t(TotalMove)][12], 3, ends[e]);
        }
        for (size_t i = 0; i < 3; ++i) {
            const double v = (ends[1][i] - ends[0][i]) * double(frames) / double(frames - 1);
            if (!(std::fabs(v) <= std::numeric_limits<float>::max()))
                return Fail(QStringLiteral("its total move is not a finite number"));
            move[i] = float(v);
        }
    }
    doc.TotalMove = move;
    doc.AnimFrames = TAnimFrames(int(Joints.size()));
    doc.AnimFrames.Reserve(frames);
    for (size_t k = 0; k < frames; ++k) {
        if (!Advance(Options.Progress, qint64(k), qint64(frames)))
            return Fail(QStringLiteral("cancelled"));
        const double t = times[k];
        Globals(t, global);
        // The editor adds this frame's share of the total move to every point.
        const double share[3] = {double(k) * move[0] / double(frames), double(k) * move[1] / double(frames),
                                 double(k) * move[2] / double(frames)};
        const float time = k + 1 == frames && k > 0 ? 1.0f : k == 0 ? 0.0f : float((t - first) / span);
        std::span<TAnimEntry> entries = doc.AnimFrames.AppendFrame(time);
        for (size_t j = 0; j < Joints.size(); ++j) {
            const TMat4 s = Times(global[size_t(Joints[j].Node)], Joints[j].InverseBind);
            // Column vectors to the editor's rows: row r is the image of axis r.
            TTransform m;
            for (size_t r = 0; r < 3; ++r)
                for (size_t c = 0; c < 3; ++c)
                    m.m[r * 3 + c] = s[r * 4 + c];
            for (size_t c = 0; c < 3; ++c)
                m.m[9 + c] = s[12 + c] - share[c];
            for (double v : m.m)
                if (!(std::fabs(v) <= std::numeric_limits<float>::max()))
                    return Fail(QStringLiteral("joint \"%1\" has a transform that is not a finite number at %2 s")
                                    .arg(QString::fromStdString(M.nodes[size_t(Joints[j].Node)].name))
                                    .arg(t));
            entries[j].NameIndex = int32_t(j);
            entries[j].Matrix = Narrow(m);
        }
    }
    doc.AnimStepCount = int32_t(frames);
    R.PlayTime = span;
    return true;
}

bool TReader::Run()
{
    int chosen = 0;
    if (!ChooseAnimation(chosen) || !Hierarchy() || !Channels(M.animations[size_t(chosen)]) || !Match() || !NodeTransforms())
        return false;
    std::vector<double> times;
    return Frames(times) && Evaluate(times);
}
}  // namespace

TGltfImport ImportGltfAnimation(const QByteArray& bytes, const QString& shownName, const QString& baseDir,
                                const QStringList& components, const TGltfImportOptions& options)
{
    TGltfImport result;
    const bool binary = bytes.startsWith("glTF");
    const auto fail = [&](const QString& why) {
        result.Error = QStringLiteral("%1: %2").arg(shownName, why);
        return result;
    };
    if (binary) {
        if (const QString problem = CheckGlb(bytes); !problem.isEmpty())
            return fail(QStringLiteral("not a glTF file: ") + problem);
    } else if (bytes.size() > kMaxJson) {
        return fail(QStringLiteral("not a glTF file: larger than 64 MiB of JSON"));
    }
    if (binary ? TooManyValues(bytes.constData() + 20, U32(bytes, 12), kMaxJsonValues)
               : TooManyValues(bytes.constData(), size_t(bytes.size()), kMaxJsonValues))
        return fail(QStringLiteral("its JSON holds more than 2000000 values"));
    TFiles files;
    files.BaseDir = baseDir;
    files.Budget = kMaxFile - (binary ? 0 : bytes.size());
    tg::TinyGLTF loader;
    loader.SetImageLoader(SkipImage, nullptr);
    loader.SetFsCallbacks({FileExists, ExpandFilePath, ReadFile, WriteFile, &files});
    tg::Model model;
    std::string err, warn;
    const std::string dir = baseDir.toStdString();
    const bool ok = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn,
                                                         reinterpret_cast<const unsigned char*>(bytes.constData()),
                                                         unsigned(bytes.size()), dir)
                           : loader.LoadASCIIFromString(&model, &err, &warn, bytes.constData(), unsigned(bytes.size()), dir);
    if (!files.Failure.isEmpty() && (!ok || !err.empty()))
        return fail(QStringLiteral("its buffer ") + files.Failure);
    if (!ok || !err.empty()) {
        QString why = QString::fromStdString(err).trimmed();
        why = why.left(why.indexOf(QLatin1Char('\n')));
        // The JSON reader's own tag says nothing to a user.
        if (why.startsWith(QLatin1String("[json.exception.")))
            why = why.mid(why.indexOf(QLatin1Char(']')) + 1).trimmed();
        return fail(QStringLiteral("not a glTF file: ") + (why.isEmpty() ? QStringLiteral("it cannot be read") : why));
    }
    // Parsing is the first half of the work, the frames the second.
    SetPart(options.Progress, 0, 0.5);
    Advance(options.Progress, 1, 1);
    SetPart(options.Progress, 0.5, 1);
    TReader reader(model, shownName, components, options, result);
    if (!reader.Run()) {
        const QString error = result.Error;
        result = TGltfImport{};
        result.Error = error;
        return result;
    }
    Advance(options.Progress, 1, 1);
    return result;
}

TGltfImport ImportGltfAnimation(const QString& path, const QStringList& components, const TGltfImportOptions& options)
{
    const QString name = FileNamePart(path);
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(path, bytes, &error, kMaxFile)) {
        TGltfImport result;
        result.Error = QStringLiteral("Cannot read file %1: %2").arg(name, error);
        return result;
    }
    return ImportGltfAnimation(bytes, name, QFileInfo(path).absolutePath(), components, options);
}
