#pragma once
// What "Export glTF..." and "Export OBJ..." propose and report.
#include <QString>
#include <QtGlobal>

// The file name the save dialog proposes, with its extension ("glb"): an animation (a glTF
// file with frames) is named after its animation file, anything else, and an animation
// never saved, after the model.
QString ExportFileName(const QString& modelFile, const QString& animFile, bool animation, const QString& extension);

// What was written, for the status bar: the file, its size and the frames it holds (all
// of them for an animation, else the frame shown, or the rest pose without frames).
QString ExportSummary(const QString& path, qint64 bytes, bool animation, int frameCount, int frame);
