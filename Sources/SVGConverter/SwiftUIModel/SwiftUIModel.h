// The SwiftUI view model: the tree of plain values that the converter builds
// from a parsed drawing and the source emitter writes out.
#pragma once

#include "SVGConverter/SwiftUIModel/ContainerViewType.h"
#include "SVGConverter/SwiftUIModel/FilterModifierType.h"
#include "SVGConverter/SwiftUIModel/Gradients.h"
#include "SVGConverter/SwiftUIModel/Paint.h"
#include "SVGConverter/SwiftUIModel/PathCommand.h"
#include "SVGConverter/SwiftUIModel/ShapeViews.h"
#include "SVGConverter/SwiftUIModel/ViewInterfaces.h"
