// The files the process may open: its limit of open files, raised at start where the system lets
// it, and whether enough of them are free for what a window takes.
#pragma once

#include <cstddef>
#include <string>

namespace SVGQuarvel::FileDescriptors {

/// Raises the soft limit of open files to the hard one where it is lower (the only raise a process
/// may make of itself); the soft limit in force afterwards.
std::size_t raiseLimit();

/// The soft limit of open files in force; the largest size where there is none.
std::size_t limit();

/// Whether at least `count` more files may be opened now: below the soft limit, that many numbers
/// are not taken by a file the process has open.
bool available(std::size_t count);

/// Free files every launch needs to reach the running application and hand its files over (its
/// bus, its main loop, the services' queue, the libraries' threads and files): measured at 8, with
/// a margin; the first launch then has a few left to find out whether it may start.
inline constexpr std::size_t toLaunch = 10;
/// Free files the first launch needs, once it has its display, for the highlighter, the web engine
/// and a message: 6 stay open and about 8 while they start; with a margin.
inline constexpr std::size_t toStart = 16;
/// Free files a document window needs as it is built: the web view of the first window, and of
/// each one that starts a web process of its own, takes 21 to 23 while the engine's processes
/// start (7 or so stay open), the others about 8; with a margin.
inline constexpr std::size_t perWindow = 32;

/// Why no window opens for want of files, as a sentence of a message.
inline constexpr const char* tooManyFilesOpen =
    "This application has too many files open. Close some of its windows and try again.";

/// Why no window opens for want of files where no window of the application's is open to close:
/// the process may open too few files at all.
std::string tooFewFilesForAWindow();

}  // namespace SVGQuarvel::FileDescriptors
