// The axis and distribution of stack views, shared by the controllers' view kit and the toolkit's
// view factory.
#pragma once

enum class NSUserInterfaceLayoutOrientation { horizontal = 0, vertical = 1 };
enum class NSStackViewDistribution : int {
  gravityAreas = -1,
  fill = 0,
  fillEqually = 1,
  fillProportionally = 2,
  equalSpacing = 3,
  equalCentering = 4,
};
