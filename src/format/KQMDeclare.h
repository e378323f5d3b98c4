#pragma once
// Record declarations for the block layouts: one block object of each main
// kind, and a source text that declares one packed record per block, the
// records whose layout TField::WriteRecord fills.

#include <memory>
#include <string>
#include <vector>

#include "KQMTypes.h"

using TBlockList = std::vector<std::unique_ptr<TBlock>>;

// New, empty blocks: the preamble, the subheader, parameter fields 2.x and
// 3.x, measurement blocks 1.x and 2.x, the sample block and housekeeping 1.0.
TBlockList CreateBlockList();

// The declaration text for Blocks as a unit named UnitName; lines end with LineEnd.
std::string BlockDeclaration(const TBlockList& Blocks, const std::string& UnitName, const std::string& LineEnd);

// Writes the declaration of CreateBlockList to FilePas (created or
// overwritten); the unit is named after the file, less directory and a
// four-character extension.
void BlockExportPas(const std::string& FilePas);
