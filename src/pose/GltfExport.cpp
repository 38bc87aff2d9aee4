// The glTF file: the document the writer built, as JSON with the buffer embedded or as
// binary glTF with the buffer streamed in behind the document.
#include "pose/GltfExport.h"
#include "platform/FileUtil.h"
#include "pose/GltfWriter.h"

#include <QFileInfo>
#include <ostream>
#include <sstream>
#include <streambuf>

TExportFormat ExportFormatForFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("gltf"), Qt::CaseInsensitive) == 0)
        return TExportFormat::Gltf;
    if (suffix.compare(QLatin1String("glb"), Qt::CaseInsensitive) == 0)
        return TExportFormat::Glb;
    return TExportFormat::Obj;
}

namespace GltfWrite {
namespace {
// The bytes of the file go straight into the atomic writer.
class TWriterBuf final : public std::streambuf {
public:
    explicit TWriterBuf(TAtomicFileWriter& out) : Out_(out) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override { return Out_.Write(s, qsizetype(n)) ? n : 0; }
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return Out_.Write(&ch, 1) ? c : traits_type::eof();
    }

private:
    TAtomicFileWriter& Out_;
};
}  // namespace

void TGltfWriter::Write(TAtomicFileWriter& out)
{
    if (!options.Comment.isEmpty()) {
        tg::Value::Object extras;
        extras["comment"] = tg::Value(Utf8(options.Comment));
        b.M.asset.extras = tg::Value(std::move(extras));
    }
    b.M.scenes.push_back(std::move(scene));
    b.M.defaultScene = 0;
    tg::TinyGLTF writer;
    if (!options.Binary) {
        // JSON: the buffer goes into the file as a data URI, which the library writes.
        class TMemory final : public TByteSink {
        public:
            std::vector<unsigned char> Bytes;
            void Put(const void* data, size_t size) override
            {
                Bytes.insert(Bytes.end(), static_cast<const unsigned char*>(data),
                             static_cast<const unsigned char*>(data) + size);
            }
        } memory;
        memory.Bytes.reserve(b.Length + 4);
        b.Emit(memory);
        if (!memory.Bytes.empty()) {
            b.M.buffers.emplace_back();
            b.M.buffers[0].data = std::move(memory.Bytes);
        }
        out.SetProgress(options.Progress, qint64(b.Length) / 3 * 4 + 4096);  // base64, and the JSON about it
        TWriterBuf buf(out);
        std::ostream stream(&buf);
        writer.WriteGltfSceneToStream(&b.M, stream, false, false);
        return;
    }
    // Binary: the library writes the document; the buffer, which it would copy whole
    // first, is streamed into the file behind it. The document names the buffer by its
    // length alone, as a binary file's buffer is named.
    std::ostringstream json;
    writer.WriteGltfSceneToStream(&b.M, json, false, false);
    std::string text = json.str();
    const size_t binLength = (b.Length + 3) & ~size_t(3);
    if (binLength > 0) {
        const size_t close = text.rfind('}');
        text.insert(close, ",\"buffers\":[{\"byteLength\":" + std::to_string(b.Length) + "}]");
    }
    while (text.size() % 4 != 0)
        text += ' ';
    const auto u32 = [&out](uint32_t v) { out.Write(&v, 4); };
    const size_t fileLength = 12 + 8 + text.size() + (binLength ? 8 + binLength : 0);
    out.SetProgress(options.Progress, qint64(fileLength));
    out.Write("glTF", 4);
    u32(2);
    u32(uint32_t(fileLength));
    u32(uint32_t(text.size()));
    u32(0x4E4F534A);  // "JSON"
    out.Write(text.data(), qsizetype(text.size()));
    if (binLength > 0) {
        u32(uint32_t(binLength));
        u32(0x004E4942);  // "BIN"
        class TFile final : public TByteSink {
        public:
            explicit TFile(TAtomicFileWriter& w) : W(w) {}
            TAtomicFileWriter& W;
            void Put(const void* data, size_t size) override { W.Write(data, qsizetype(size)); }
            // Composed in the writer's buffer; after a failure, which the writer keeps, in
            // a buffer of the sink's own that goes nowhere.
            unsigned char* Room(size_t min, size_t& free) override
            {
                qsizetype room = 0;
                if (char* at = W.Room(qsizetype(min), room)) {
                    free = size_t(room);
                    return reinterpret_cast<unsigned char*>(at);
                }
                return TByteSink::Room(min, free);
            }
            void Commit(const unsigned char*, size_t used) override
            {
                if (W.Ok())
                    W.Advance(qsizetype(used));
            }
        } file(out);
        b.Emit(file);
    }
}
}  // namespace GltfWrite

TGltfReport WritePosedGltf(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPose& pose,
                           const TPoseParams& params, const TGltfOptions& options, TAtomicFileWriter& out)
{
    return GltfWrite::TGltfWriter(models, treeOrder, pose, params, options).Run(out);
}
