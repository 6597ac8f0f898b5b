// Conversion of drawings to the SwiftUI view model, by drawing size.
#include <benchmark/benchmark.h>

#include <string>

#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "Platform/Print.h"

namespace {

CSS::UnitLength n(double v) { return CSS::UnitLength::number(v); }

// Many named shapes with gradient fills, and as many nested drawings that
// all see the root's definitions.
SVG::SVG wideDrawing(int count) {
  SVG::SVG root;
  for (int i = 0; i < count; ++i) {
    const std::string id = "g" + std::to_string(i);
    root.definitions.push_back(
        {id, SVG::LinearGradient{.core = {id}, .stops = {SVG::GradientStop{.color = CSS::Color::named("red")}}}});
    SVG::PresentationAttributes fill = SVG::PresentationAttributes::fromFill(SVG::Paint::definition(id));
    root.children.push_back(
        SVG::Circle{.cx = n(i), .cy = n(i), .r = n(1), .core = {"shape-" + std::to_string(i % 50)}, .presentation = fill});
    SVG::SVG nested;
    nested.width = n(10);
    root.children.push_back(nested);
  }
  return root;
}

// One path with many commands, arcs among them.
SVG::SVG longPath(int count) {
  SVG::Path path;
  path.commands.push_back(SVG::Command::M{0, 0});
  for (int i = 0; i < count; ++i) {
    path.commands.push_back(SVG::Command::l{1, 2});
    path.commands.push_back(SVG::Command::a{5, 3, 30, i % 2 == 0, true, 4, 1});
    path.commands.push_back(SVG::Command::s{1, 1, 2, 0});
  }
  SVG::SVG root;
  root.children.push_back(path);
  return root;
}

// A filter of many primitives that keep reading earlier results.
SVG::SVG busyFilter(int count) {
  using Input = SVG::Filter::Input;
  SVG::Filter filter{.core = {"f"}};
  for (int i = 0; i < count; ++i) {
    const std::string name = "r" + std::to_string(i);
    const Input input = i == 0 ? Input::sourceAlpha() : Input::result("r" + std::to_string(i - 1));
    filter.primitives.push_back(SVG::Filter::Primitive::Blur{{.result = name}, input, 1});
    filter.primitives.push_back(SVG::Filter::Primitive::Merge{{}, {input, Input::sourceGraphic()}});
  }
  SVG::SVG root;
  root.definitions.push_back({"f", filter});
  return root;
}

// A chain of gradients each naming the next as its template; only the last has stops and units,
// so the first one converted walks the whole chain and the others find what it found.
SVG::SVG templateChain(int count) {
  SVG::SVG root;
  for (int i = 0; i < count; ++i) {
    const std::string id = "g" + std::to_string(i);
    SVG::RadialGradient gradient{.core = {id}};
    if (i + 1 < count) {
      gradient.templateGradientID = "#g" + std::to_string(i + 1);
    } else {
      gradient.stops = {SVG::GradientStop{.color = CSS::Color::named("red")}};
      gradient.gradientUnits = SVG::GradientUnits::userSpaceOnUse;
    }
    root.definitions.push_back({id, gradient});
  }
  return root;
}

// A chain of linear gradients each naming the one before as its template, then as many nested
// drawings each declaring a gradient that names the end of the chain: each chain is walked once,
// however many drawings see it.
SVG::SVG templateChainAcrossDrawings(int count) {
  SVG::SVG root;
  for (int i = 0; i < count; ++i) {
    const std::string id = "c" + std::to_string(i);
    SVG::LinearGradient gradient{.core = {id}};
    if (i == 0) {
      gradient.stops = {SVG::GradientStop{.color = CSS::Color::named("red")},
                        SVG::GradientStop{.color = CSS::Color::named("blue")}};
    } else {
      gradient.templateGradientID = "#c" + std::to_string(i - 1);
    }
    root.definitions.push_back({id, gradient});
  }
  for (int i = 0; i < count; ++i) {
    const std::string id = "n" + std::to_string(i);
    SVG::SVG nested;
    nested.definitions.push_back(
        {id, SVG::LinearGradient{.core = {id}, .templateGradientID = "#c" + std::to_string(count - 1)}});
    root.children.push_back(std::move(nested));
  }
  return root;
}

// Many small elements side by side and nested, each counted against the output limit at the
// least code it leads to.
SVG::SVG manySmallElements(int count) {
  SVG::SVG root;
  for (int i = 0; i < count; ++i) {
    SVG::Group group;
    group.children.push_back(SVG::Rect{.width = n(1), .height = n(1)});
    group.children.push_back(SVG::Text{.x = n(0), .y = n(0), .text = "t"});
    group.children.push_back(SVG::Group{});
    root.children.push_back(std::move(group));
    root.children.push_back(SVG::Path{.commands = {SVG::Command::M{0, 0}, SVG::Command::l{1, 2}, SVG::Command::Z{}}});
  }
  return root;
}

// The same with every element named, as drawing programs write them.
SVG::SVG manyNamedElements(int count) {
  SVG::SVG root;
  for (int i = 0; i < count; ++i) {
    const std::string number = std::to_string(i);
    SVG::Group group;
    group.core.id = "layer" + number;
    group.children.push_back(SVG::Rect{.width = n(1), .height = n(1), .core = {"rect" + number}});
    group.children.push_back(SVG::Text{.core = {"text" + number}, .x = n(0), .y = n(0), .text = "t"});
    root.children.push_back(std::move(group));
    root.children.push_back(SVG::Path{.commands = {SVG::Command::M{0, 0}, SVG::Command::l{1, 2}, SVG::Command::Z{}},
                                      .core = {"path" + number}});
  }
  return root;
}

template <SVG::SVG (*Make)(int)>
void convert(benchmark::State& state) {
  const SVG::SVG svg = Make(static_cast<int>(state.range(0)));
  const SVGParser::PrintSink previous = SVGParser::setPrintSink([](std::string_view) {});
  for (auto _ : state) benchmark::DoNotOptimize(SVGSwiftUIQuarvel::shape(svg, "Drawing"));
  state.SetComplexityN(state.range(0));
  SVGParser::setPrintSink(previous);
}

// Reading a drawing of many small elements for generation: each element counted at the least
// code it leads to as it joins the drawing.
void readCountingLeastCode(benchmark::State& state) {
  std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int i = 0; i < state.range(0); ++i) text += "<g><rect width=\"1\" height=\"1\"/><text>t</text><g/></g><path d=\"M0 0l1 2z\"/>";
  text += "</svg>";
  for (auto _ : state) {
    SVGConverter::OutputBudget budget(std::size_t{64} << 20);
    benchmark::DoNotOptimize(SVG::SVG::fromSVGString(text, [&](const SVG::GroupItem& element, std::size_t depth) {
      budget.charge(SVGSwiftUIQuarvel::leastCode(element, depth, {2, true}));
    }));
  }
  state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(readCountingLeastCode)->Name("ReadCountingLeastCode")->RangeMultiplier(4)->Range(64, 16384)->Complexity();
BENCHMARK(convert<wideDrawing>)->Name("ConvertWideDrawing")->RangeMultiplier(4)->Range(64, 4096)->Complexity();
BENCHMARK(convert<longPath>)->Name("ConvertLongPath")->RangeMultiplier(4)->Range(64, 16384)->Complexity();
BENCHMARK(convert<manySmallElements>)->Name("ConvertManySmallElements")->RangeMultiplier(4)->Range(64, 16384)->Complexity();
// N, 2N, 4N and 8N elements, past the size of the caches: the time per element stays the same.
BENCHMARK(convert<manySmallElements>)
    ->Name("ConvertManySmallElementsDoubling")
    ->RangeMultiplier(2)
    ->Range(8192, 65536)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(convert<manyNamedElements>)
    ->Name("ConvertManyNamedElementsDoubling")
    ->RangeMultiplier(2)
    ->Range(8192, 65536)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(convert<busyFilter>)->Name("ConvertBusyFilter")->RangeMultiplier(4)->Range(16, 4096)->Complexity();
BENCHMARK(convert<templateChain>)->Name("ConvertTemplateChain")->RangeMultiplier(4)->Range(64, 16384)->Complexity();
// N, 2N, 4N and 8N gradients in the chain and nested drawings naming its end.
BENCHMARK(convert<templateChainAcrossDrawings>)
    ->Name("ConvertTemplateChainAcrossDrawingsDoubling")
    ->RangeMultiplier(2)
    ->Range(2048, 16384)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
