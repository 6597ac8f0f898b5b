// Stopping the process on a programming error of the editor: the message goes to standard error.
#pragma once

#include <string>

[[noreturn]] void syntaxEditorFatal(const std::string& message);
