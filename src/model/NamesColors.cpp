#include "model/NamesColors.h"

#include <cstdint>

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
    // Indexed once: a look-up per component in the file's lines would be quadratic.
    const QHash<TIniKey, QString> names = file.SectionValues(TranslationSection);
    for (TSelection* sel : treeOrder) {
        const auto found = names.constFind(TIniKey{sel->Name});
        const QString name = found == names.cend() ? sel->Name : *found;
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
    const QHash<TIniKey, QString> colors = file.SectionValues(ColorSection);
    for (TSelection* sel : treeOrder) {
        const auto found = colors.constFind(TIniKey{sel->Name});
        if (found == colors.cend())
            continue;
        uint32_t color = 0;
        if (!ParseColorValue(*found, color) || color == sel->Color)
            continue;
        sel->Color = color;
        changed.push_back(sel);
    }
    return changed;
}

bool SaveNames(const std::vector<TSelection*>& treeOrder, TIniFile& file)
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

void SaveColors(const std::vector<TSelection*>& treeOrder, TIniFile& file)
{
    // Signed decimal, as colour files have always held them; 0x00BBGGRR values are positive.
    for (const TSelection* sel : treeOrder)
        file.WriteInteger(ColorSection, sel->Name, int32_t(sel->Color));
}

std::vector<TSelection*> LoadTranslationFile(const std::vector<TSelection*>& treeOrder, const QString& path)
{
    return ApplyTranslation(treeOrder, TIniFile(path));
}

std::vector<TSelection*> LoadColorFile(const std::vector<TSelection*>& treeOrder, const QString& path)
{
    return ApplyColors(treeOrder, TIniFile(path));
}

bool SaveNamesFile(const std::vector<TSelection*>& treeOrder, const QString& path, QString* error)
{
    TIniFile file(path);
    SaveNames(treeOrder, file);
    return file.UpdateFile(error);
}

bool SaveColorsFile(const std::vector<TSelection*>& treeOrder, const QString& path, QString* error)
{
    TIniFile file(path);
    SaveColors(treeOrder, file);
    return file.UpdateFile(error);
}
