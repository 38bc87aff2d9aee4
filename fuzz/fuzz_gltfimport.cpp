// The glTF animation import on any bytes, as JSON or binary glTF (no files beside it, so a
// buffer that names one is missing). It either refuses with one message naming the file
// and an empty document, or gives a document the editor can take: names of the model's
// components, frames from time 0 to 1 with an entry per name, finite matrices.
#include "FuzzSupport.h"
#include "pose/GltfImport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstring>

namespace {
const QStringList Components{"arm", "hand", "leg", "body", "Arm"};

QByteArray Floats(std::initializer_list<float> v)
{
    return QByteArray(reinterpret_cast<const char*>(std::data(v)), qsizetype(v.size() * 4));
}

// A rig of two joints under a turned root, two channels with different key times.
QJsonObject Rig(const QByteArray& bin, const QString& uri)
{
    const auto view = [](int at, int length) { return QJsonObject{{"buffer", 0}, {"byteOffset", at}, {"byteLength", length}}; };
    const auto accessor = [](int view, int count, const char* type) {
        return QJsonObject{{"bufferView", view}, {"componentType", 5126}, {"count", count}, {"type", type}};
    };
    QJsonObject buffer{{"byteLength", bin.size()}};
    if (!uri.isEmpty())
        buffer["uri"] = uri;
    return QJsonObject{
        {"asset", QJsonObject{{"version", "2.0"}}},
        {"nodes",
         QJsonArray{
             QJsonObject{{"name", "root"}, {"rotation", QJsonArray{0, 0.7071068, 0, 0.7071068}}, {"children", QJsonArray{1}}},
             QJsonObject{{"name", "ARM"}, {"translation", QJsonArray{0, 1, 0}}, {"children", QJsonArray{2}}},
             QJsonObject{{"name", "hand"}, {"matrix", QJsonArray{2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 0, 0, 1}}}}},
        {"skins", QJsonArray{QJsonObject{{"joints", QJsonArray{1, 2}}, {"inverseBindMatrices", 0}}}},
        {"animations",
         QJsonArray{QJsonObject{
             {"name", "wave"},
             {"samplers", QJsonArray{QJsonObject{{"input", 1}, {"output", 2}},
                                     QJsonObject{{"input", 3}, {"output", 4}, {"interpolation", "CUBICSPLINE"}}}},
             {"channels",
              QJsonArray{QJsonObject{{"sampler", 0}, {"target", QJsonObject{{"node", 1}, {"path", "rotation"}}}},
                         QJsonObject{{"sampler", 1}, {"target", QJsonObject{{"node", 0}, {"path", "translation"}}}}}}}}},
        {"accessors", QJsonArray{accessor(0, 2, "MAT4"), accessor(1, 3, "SCALAR"), accessor(2, 3, "VEC4"),
                                 accessor(3, 2, "SCALAR"), accessor(4, 6, "VEC3")}},
        {"bufferViews", QJsonArray{view(0, 128), view(128, 12), view(140, 48), view(188, 8), view(196, 72)}},
        {"buffers", QJsonArray{buffer}}};
}

QByteArray RigBin()
{
    QByteArray b;
    for (int j = 0; j < 2; ++j)
        b += Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, float(-j), 0, 1});
    b += Floats({0, 0.5f, 1}) + Floats({0, 0, 0, 1, 0, 0, 0.7071068f, 0.7071068f, 0, 0, 1, 0});
    b += Floats({0, 2}) + Floats({0, 0, 0, 1, 2, 3, 1, 0, 0, 1, 1, 1, 4, 5, 6, 0, 0, 0});
    return b;
}

FuzzSeeds MakeSeeds()
{
    FuzzSeeds seeds;
    const QByteArray bin = RigBin();
    seeds.emplace_back("rig_gltf",
                       QJsonDocument(Rig(bin, "data:application/octet-stream;base64," + QString::fromLatin1(bin.toBase64())))
                           .toJson(QJsonDocument::Compact));
    QByteArray json = QJsonDocument(Rig(bin, {})).toJson(QJsonDocument::Compact);
    while (json.size() % 4)
        json += ' ';
    const auto u32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    seeds.emplace_back("rig_glb", "glTF" + u32(2) + u32(uint32_t(12 + 8 + json.size() + 8 + bin.size())) +
                                      u32(uint32_t(json.size())) + "JSON" + json + u32(uint32_t(bin.size())) +
                                      QByteArray("BIN\0", 4) + bin);
    seeds.emplace_back("external", QJsonDocument(Rig(bin, "rig.bin")).toJson(QJsonDocument::Compact));
    return seeds;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TGltfImportOptions options;
    options.MaxEntries = 1 << 16;
    options.MaxValues = 1 << 20;
    options.Fps = size % 7 == 0 ? 30 : 0;
    const TGltfImport r = ImportGltfAnimation(bytes, QStringLiteral("fuzz.gltf"), QString(), Components, options);
    const TAnimDocument& doc = r.Document;
    if (!r.Ok()) {
        FUZZ_CHECK(r.Error.startsWith(QLatin1String("fuzz.gltf: ")) && doc.FrameCount() == 0 && doc.AnimSelections.IsEmpty() &&
                   r.Warnings.isEmpty());
        return 0;
    }
    const int names = doc.AnimSelections.Count();
    FUZZ_CHECK(names > 0 && doc.FrameCount() > 0 && doc.AnimStepCount == doc.FrameCount() && doc.AnimFrames.Stride() == names);
    FUZZ_CHECK(qint64(doc.FrameCount()) * names <= options.MaxEntries);
    FUZZ_CHECK(std::isfinite(r.PlayTime) && r.PlayTime >= 0);
    for (int i = 0; i < names; ++i)
        FUZZ_CHECK(Components.contains(doc.AnimSelections[i]) && doc.AnimSelections.IndexOf(doc.AnimSelections[i]) == i);
    for (float v : doc.TotalMove)
        FUZZ_CHECK(std::isfinite(v));
    for (size_t k = 0; k < doc.AnimFrames.size(); ++k) {
        const float t = doc.AnimFrames.Time(k);
        FUZZ_CHECK(t >= 0 && t <= 1 && (k > 0 || t == 0) && (k == 0 || k + 1 < doc.AnimFrames.size() || t == 1));
        FUZZ_CHECK(k == 0 || t >= doc.AnimFrames.Time(k - 1));
        const auto entries = doc.AnimFrames.Entries(k);
        for (size_t j = 0; j < entries.size(); ++j) {
            FUZZ_CHECK(entries[j].NameIndex == int32_t(j));
            for (float v : entries[j].Matrix)
                FUZZ_CHECK(std::isfinite(v));
        }
    }
    return 0;
}
