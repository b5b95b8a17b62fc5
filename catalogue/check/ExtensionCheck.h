#pragma once
// Checking the lines after the counted records of a series file that
// declare reciprocal units ("#逆数"), further names ("#別名") and values in
// several units ("#併記"): what the reader passes over without a word.

#include "catalogue/UnitFile.h"
#include "catalogue/check/CheckFinding.h"

#include <functional>
#include <vector>

// Receives one finding: its kind, line, unit (-1 for none) and message.
using ExtensionFindingSink = std::function<void(FindingKind, int line, int unit, const QString &message)>;

// The extension lines of contents, as ParseSeriesText read them (with
// SeriesExtension::Read unless numberBase): lines in the number-base
// series, keywords not known, lines that name no unit, reciprocal units
// without a constant, flags other than 0 or 1, names shared by two units,
// compound lines that do not read.
void CheckExtensionLines(const UnitFileContents &contents, bool numberBase, const ExtensionFindingSink &add);
