// Attributed text in a toolkit text buffer: fonts become Pango font descriptions, colours RGBA
// values, runs named text tags; UTF-16 positions become character offsets.
#pragma once

#include <gtkmm/textbuffer.h>
#include <pangomm/fontdescription.h>

#include "Fennix/Foundation/Text/AttributedString.h"

namespace GTKText {

Pango::FontDescription fontDescription(const NSFont& font);
Gdk::RGBA rgba(const NSColor& color);

/// Replaces the buffer's text with the attributed string and styles it.
void setAttributedText(Gtk::TextBuffer& buffer, const AttributedString& text);

/// Styles the buffer's text from `startCharacterOffset` on with the runs of `text`, whose
/// characters are already there; styles made earlier by this adapter in that stretch are removed.
void applyAttributes(Gtk::TextBuffer& buffer, const AttributedString& text, int startCharacterOffset);

/// Makes the toolkit's interface font setting the system font of NSFont (read when asked, once
/// the toolkit is initialised).
void useToolkitInterfaceFont();

}  // namespace GTKText
