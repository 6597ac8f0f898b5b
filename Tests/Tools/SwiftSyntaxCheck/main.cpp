// swift-syntax-check FILE...: checks each file with the Swift grammar; prints
// "FILE:LINE:COLUMN: ..." and the offending line for the first problem of each
// broken file. Exit status 0 when every file parses, 1 otherwise, 2 on usage
// or read errors.

#include "SwiftSyntaxCheck/SwiftSyntaxCheck.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: swift-syntax-check FILE...\n";
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      std::cerr << argv[i] << ": cannot read\n";
      return 2;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string source = text.str();
    if (auto problem = SwiftSyntaxCheck::firstSyntaxProblem(source)) {
      std::cout << argv[i] << ":" << problem->description() << "\n"
                << "  " << SwiftSyntaxCheck::sourceLine(source, problem->line) << "\n";
      status = 1;
    } else {
      std::cout << argv[i] << ": ok\n";
    }
  }
  return status;
}
