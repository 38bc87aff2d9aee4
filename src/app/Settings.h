#pragma once
// Every key of the settings file with its default, read from and written to a TIniFile in
// a fixed order. The view switches among them are the editor's options; the window's
// layout and folders are the window's.
#include <QString>

class TIniFile;
struct TEditorOptions;

struct TLayoutSettings {
    bool Maximized = false;
    int MainLeft = 0, MainTop = 0, MainWidth = 0, MainHeight = 0;
    int HSplitter = 395, VSplitter1 = 433, VSplitter2 = 429;
};

struct TSettings {
    TLayoutSettings Layout;
    QString DirP3d, DirRTM;
    QString TranslationFile, ColorFile;
    bool ShowAxes = true, ShowGrid = true, AutoScale = true;
    bool Light3D = true, Transparent3D = true, Grid3D = true;
    bool AutoSaveSettings = true;
    int UndoSteps = 100;  // the most steps Undo keeps
    // The most memory Undo keeps, in MiB; 0 (the key missing) leaves the history's default,
    // a share of the machine's memory.
    int UndoMegabytes = 0;
    size_t UndoBytes() const;
    int AutosaveSeconds = 60;  // between recovery copies of unsaved work; 0: none
    int OnionFrames = 1;  // frames the onion skin shows on each side, 0 (off) .. 5
    QString LastP3d, LastRTM;

    // The view switches put on the editor's options, and taken from them.
    void ToOptions(TEditorOptions& options) const;
    void FromOptions(const TEditorOptions& options);

    // Layout keys default to the values already in s.Layout (the window's current ones);
    // the two folders default to exeDir. Paths are stored relative to the folder that
    // holds the data folders (dataDir) when they lie inside it, so that a copy of that
    // folder with its settings file (the demo) works wherever it is; a relative path read
    // is taken from there. Without a dataDir paths are kept as they are.
    static void ReadLayout(const TIniFile& ini, TLayoutSettings& layout);
    static void WriteLayout(TIniFile& ini, const TLayoutSettings& layout);
    void Read(const TIniFile& ini, const QString& exeDir, const QString& dataDir = {});
    // Layout first, then folders, last files, translation/colour files, options. With a
    // base (the settings as this program read or last wrote them), only the keys whose
    // values differ from it are written, and those the file lacks: whatever another
    // program wrote to the file meanwhile stays, unless this one changed the same key.
    void Write(TIniFile& ini, const QString& dataDir = {}, const TSettings* base = nullptr) const;
};

// A path as the settings file holds it: relative to dataDir when it lies inside that
// folder, "." for the folder itself, otherwise as it is. StoredPath and ResolvedPath undo
// each other.
QString StoredPath(const QString& path, const QString& dataDir);
QString ResolvedPath(const QString& stored, const QString& dataDir);
