#pragma once
// Display names (translation files, section "Translation") and colours (colour files,
// section "ColorDef"), keyed by the components' selection names. Keys match without
// regard to letter case, so two components whose names differ only in case share a key.
#include "model/P3dModel.h"
#include "platform/Ini.h"

#include <QString>
#include <cstdint>
#include <vector>

// A colour value: decimal with an optional sign, or hexadecimal after "0x", "0X" or "$".
// Anything else (empty, letters only, trailing junk, out of 32-bit range) is invalid.
bool ParseColorValue(const QString& text, uint32_t& color);

// Sets each component's DisplayName to its translation, or back to its Name when the file
// has none. Returns the components whose DisplayName changed, in the order given.
std::vector<TSelection*> ApplyTranslation(const std::vector<TSelection*>& treeOrder, const TIniFile& file);

// Sets each component's Color from the file; a missing key or an invalid value keeps the
// colour. Returns the components whose Color changed.
std::vector<TSelection*> ApplyColors(const std::vector<TSelection*>& treeOrder, const TIniFile& file);

// For each component in turn: an existing key whose component shows its own Name is
// deleted; a DisplayName other than Name is written; otherwise the file is left alone.
// Name and DisplayName are compared with letter case. Returns whether the file changed.
bool SaveNames(const std::vector<const TSelection*>& treeOrder, TIniFile& file);

// Writes every component's colour as a decimal integer.
void SaveColors(const std::vector<const TSelection*>& treeOrder, TIniFile& file);

// The same on a file path; a missing file reads as empty. One that exists but cannot be
// read changes nothing and sets error to a message naming it ("t.tsl: Permission denied").
// The save variants write the file (other sections and keys kept) and return false with
// error set when that fails.
std::vector<TSelection*> LoadTranslationFile(const std::vector<TSelection*>& treeOrder, const QString& path,
                                             QString* error = nullptr);
std::vector<TSelection*> LoadColorFile(const std::vector<TSelection*>& treeOrder, const QString& path, QString* error = nullptr);
bool SaveNamesFile(const std::vector<const TSelection*>& treeOrder, const QString& path, QString* error = nullptr);
bool SaveColorsFile(const std::vector<const TSelection*>& treeOrder, const QString& path, QString* error = nullptr);
