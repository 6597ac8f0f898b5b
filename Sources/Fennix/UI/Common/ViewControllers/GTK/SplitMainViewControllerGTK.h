// The three panes of a split main controller on the toolkit: two nested paned widgets, the left
// and the middle pane in the inner one, the right pane at the end of the outer one. The outer
// panes keep their minimum widths and never shrink below them nor grow with the window; only the
// middle pane takes width changes.
#pragma once

#include <gtkmm/paned.h>

#include "Fennix/UI/Common/ViewControllers/SplitMainViewController.h"

namespace Fennix {

/// The panes of `controller`'s child classes (made and added as children), in paned widgets; with
/// fewer than three panes, one paned widget or the single pane. Null without panes.
Gtk::Widget* makeSplitMainPanes(QvSplitMainVC& controller);

}  // namespace Fennix
