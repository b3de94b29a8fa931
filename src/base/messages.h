#pragma once

// User-facing message texts from the string table, system error texts and the
// error box. The resource loader picks the language block; the launcher makes no
// choice of its own.

#include <map>

#include "base/message_ids.h"
#include "base/wstring.h"

namespace qel {

class MessageTable {
public:
    static MessageTable& instance();

    // The text of a message id, loaded once and cached for the rest of the process.
    // Throws StringTableException "invalid key" when the id has no text.
    WString text(int id);

private:
    MessageTable() = default;
    std::map<int, WString> texts_;
};

// LoadStringW keeps at most 255 units of a text.
inline constexpr int kMessageBufferUnits = 256;
// FormatMessageW gets a fixed buffer; a longer system text reads as no text.
inline constexpr unsigned kSystemTextUnits = 128;

// The system's text for a Windows error code, with its trailing CR LF; empty when
// the system has none that fits.
WString systemErrorText(unsigned long code);

// systemErrorText of the calling thread's last error, read on entry.
WString lastErrorText();

// Error box with no owner, the caption (message 110, or the branded program's
// form of it), OK button and error icon.
void showErrorBox(const WString& text, const WString& caption);

// The same box with the buttons Yes and No; true when the user chose Yes.
bool askInErrorBox(const WString& text, const WString& caption);

// Writes the text as it is to the process's standard error handle: to a console
// as UTF-16 text, to a file or pipe as UTF-8 bytes. Nothing happens without a
// standard error handle.
void writeErrorText(const WString& text);

enum class StandardStream { Output, Error };

// The same for either standard handle: the text whole, whatever characters it
// holds (the C runtime's wide output stops at the first one outside the code
// page), after what the C runtime's stream holds.
void writeStandardText(StandardStream stream, const WString& text);

}  // namespace qel
