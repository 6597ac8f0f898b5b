// A stable text form of a whole SwiftUI view model tree, every field included.
#pragma once

#include <string>

#include "SVGConverter/SwiftUIModel/SwiftUIModel.h"

namespace GoldenDump {

/// One line per value, indented by nesting; numbers rounded to nine decimals.
std::string dump(const SwiftUIModel::ContainerViewType& root);

}  // namespace GoldenDump
