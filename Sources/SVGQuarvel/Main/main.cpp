// The process entry: runs the application with the arguments it was given (files to open).
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

int main(int argc, char* argv[]) { return SVGQuarvelApp::main(argc, argv); }
