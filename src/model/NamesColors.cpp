#include "model/NamesColors.h"

#include "platform/FileUtil.h"

#include <cstdint>
#include <memory>

namespace {
const QString TranslationSection = QStringLiteral("Translation");
const QString ColorSection = QStringLiteral("ColorDef");
}  // namespace

bool ParseColorValue(const QString& text, uint32_t& color)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || t.startsWith(QLatin1Char('$'))) {
        const QString digits = t.mid(t.startsWith(QLatin1Char('$')) ? 1 : 2);
        // toUInt would also take a sign or a second prefix; only plain hex digits count.
        for (QChar c : digits) {
            const char16_t u = c.unicode();
            if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
                return false;
        }
        const uint v = digits.toUInt(&ok, 16);
        if (ok)
            color = v;
        return ok && !digits.isEmpty();
    }
    const qlonglong v = t.toLongLong(&ok, 10);
    if (!ok || v < qlonglong(INT32_MIN) || v > qlonglong(UINT32_MAX))
        return false;
    color = uint32_t(v);
    return true;
}

std::vector<TSelection*> ApplyTranslation(const std::vector<TSelection*>& treeOrder, const TIniFile& file)
{
    std::vector<TSelection*> changed;
    for (TSelection* sel : treeOrder) {
        const QString name = file.ReadString(TranslationSection, sel->Name, sel->Name);
        if (name != sel->DisplayName) {
            sel->DisplayName = name;
            changed.push_back(sel);
        }
    }
    return changed;
}

std::vector<TSelection*> ApplyColors(const std::vector<TSelection*>& treeOrder, const TIniFile& file)
{
    std::vector<TSelection*> changed;
    for (TSelection* sel : treeOrder) {
        if (!file.ValueExists(ColorSection, sel->Name))
            continue;
        uint32_t color = 0;
        if (!ParseColorValue(file.ReadString(ColorSection, sel->Name, QString()), color) || color == sel->Color)
            continue;
        sel->Color = color;
        changed.push_back(sel);
    }
    return changed;
}

bool SaveNames(const std::vector<const TSelection*>& treeOrder, TIniFile& file)
{
    const QString before = file.Text();
    for (const TSelection* sel : treeOrder) {
        const bool same = sel->DisplayName == sel->Name;
        if (same && file.ValueExists(TranslationSection, sel->Name))
            file.DeleteKey(TranslationSection, sel->Name);
        else if (!same)
            file.WriteString(TranslationSection, sel->Name, sel->DisplayName);
    }
    return file.Text() != before;
}

void SaveColors(const std::vector<const TSelection*>& treeOrder, TIniFile& file)
{
    // Signed decimal, as colour files have always held them; 0x00BBGGRR values are positive.
    for (const TSelection* sel : treeOrder)
        file.WriteInteger(ColorSection, sel->Name, int32_t(sel->Color));
}

namespace {
// The file at path, or null with error set when it exists but cannot be read.
std::unique_ptr<TIniFile> ReadableFile(const QString& path, QString* error)
{
    auto file = std::make_unique<TIniFile>(path);
    if (file->ReadError().isEmpty())
        return file;
    if (error)
        *error = AboutFile(path, file->ReadError());
    return nullptr;
}
}  // namespace

std::vector<TSelection*> LoadTranslationFile(const std::vector<TSelection*>& treeOrder, const QString& path, QString* error)
{
    const std::unique_ptr<TIniFile> file = ReadableFile(path, error);
    return file ? ApplyTranslation(treeOrder, *file) : std::vector<TSelection*>();
}

std::vector<TSelection*> LoadColorFile(const std::vector<TSelection*>& treeOrder, const QString& path, QString* error)
{
    const std::unique_ptr<TIniFile> file = ReadableFile(path, error);
    return file ? ApplyColors(treeOrder, *file) : std::vector<TSelection*>();
}

bool SaveNamesFile(const std::vector<const TSelection*>& treeOrder, const QString& path, QString* error)
{
    TIniFile file(path);
    SaveNames(treeOrder, file);
    return file.UpdateFile(error);
}

bool SaveColorsFile(const std::vector<const TSelection*>& treeOrder, const QString& path, QString* error)
{
    TIniFile file(path);
    SaveColors(treeOrder, file);
    return file.UpdateFile(error);
}
