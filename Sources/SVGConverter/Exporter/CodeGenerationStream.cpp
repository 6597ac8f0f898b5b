#include "SVGConverter/Exporter/CodeGenerationStream.h"

#include "SVGConverter/Exporter/DecimalNumberFormatter.h"

std::string CodeGenerationStream::initCGSize(CGSize size, bool init) {
  return (init ? ".init" : "CGSize") + std::string("(width: ") + string(size.width) +
         ", height: " + string(size.height) + ")";
}

std::string CodeGenerationStream::initCGPoint(CGPoint point, bool init) {
  return (init ? ".init" : "CGPoint") + std::string("(x: ") + string(point.x) + ", y: " + string(point.y) + ")";
}

std::string CodeGenerationStream::initUnitPoint(CGPoint point, bool init) {
  return (init ? ".init" : "UnitPoint") + std::string("(x: ") + string(point.x) + ", y: " + string(point.y) + ")";
}

std::string CodeGenerationStream::initCGRect(CGRect rect, bool init) {
  return (init ? ".init" : "CGRect") + std::string("(x: ") + SVGConverter::shortestNumberLiteral(rect.origin.x) +
         ", y: " + SVGConverter::shortestNumberLiteral(rect.origin.y) + ", width: " + string(rect.size.width) +
         ", height: " + string(rect.size.height) + ")";
}

std::string CodeGenerationStream::rectInfo(CGRect rect) {
  return "[" + string(rect.origin.x) + "," + string(rect.origin.y) + " " + string(rect.size.width) + "x" +
         string(rect.size.height) + "]";
}
