// SVG path data as SwiftUI path commands.
#pragma once

#include <vector>

#include "SVGConverter/SwiftUIModel/PathCommand.h"
#include "SVGParser/SVG/Command.h"

namespace SVGConverter {

/// One path command per SVG command, relative and shorthand commands resolved
/// to absolute points; arcs become unit-circle arcs with their own transform.
std::vector<SwiftUIModel::PathCommand> mapPath(const std::vector<SVG::Command>& commands);

/// The commands with runs of straight lines folded into `addLines`.
std::vector<SwiftUIModel::PathCommand> compactPathCommands(std::vector<SwiftUIModel::PathCommand> commands);

}  // namespace SVGConverter
