#pragma once
#include <optional>
#include <string>

namespace tandrel {

// The seam between the subsystems and the person using the program. Subsystems call the
// free functions below; the Qt program, the command-line tool and the tests each install
// their own sink, so every flow runs the same code with or without a display.

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

/** Whoever shows messages and asks questions. Implementations must be callable from any
    thread: worker threads report through the same functions. */
class InteractionSink
{
public:
    virtual ~InteractionSink() = default;
    /** Shows a modal box and returns the button pressed. */
    virtual MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                                      MessageButtons buttons) = 0;
    /** Asks for one line of text; nullopt when the person cancels. */
    virtual std::optional<std::string> PromptText(const std::string& title,
                                                  const std::string& label,
                                                  const std::string& initial) = 0;
};

/** Installs `sink` for the whole process and returns the one it replaces (never null: a
    terminal sink is installed from the start). Passing null restores that terminal sink. */
InteractionSink* InstallInteractionSink(InteractionSink* sink);

/** Title of every internal failure box. */
inline constexpr const char* kErrorTitle = "Tandrel Error";

/** Formats printf-style into 1024 bytes (longer texts are cut) and shows the text in a box
    titled "Tandrel Error". Returns when the box is closed. Any thread. */
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

/** Shows `text` in a modal box titled `title` and returns the answer. Any thread. */
MessageAnswer MessageDialog(const std::string& title, const std::string& text,
                            MessageButtons buttons = MessageButtons::Ok);

/** Asks for a line of text (a new name, a marker name); nullopt when cancelled. */
std::optional<std::string> PromptText(const std::string& title, const std::string& label,
                                      const std::string& initial = {});

} // namespace tandrel
