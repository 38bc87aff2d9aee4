#pragma once
// Number and string text for the dumps of the command line: floats in their shortest form
// that reads back to the same value, and JSON string literals.
#include <QString>

// Shortest text that reads back to the same float (double); "nan"/"inf"/"-inf" for the
// non-finite ones.
QString ShortestText(float v);
QString ShortestText(double v);

// A JSON number: the shortest text, "-0.0" for negative zero (JSON readers take "-0" for
// the integer 0), null for NaN and infinities, which JSON cannot hold.
void AppendJsonNumber(QString& out, float v);
void AppendJsonNumber(QString& out, double v);

// A name for a line of readable text: control characters (and the backslash that
// introduces them) shown as \xNN, so that every name stays on its line.
QString ReadableText(const QString& name);

// A JSON string literal with quotes, backslashes and control characters escaped.
void AppendJsonString(QString& out, const QString& s);
