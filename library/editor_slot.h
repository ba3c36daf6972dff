#pragma once
#include <string>

namespace tandrel {

/** The editor as the Library operations see it: which Edit it holds, opening one into it and
    letting go of it, and which player (cart or deck) holds a file. The program's main stream
    implements it; the command-line tool and the tests hold a plain view. UI thread. */
class EditorSlot
{
public:
    virtual ~EditorSlot() = default;
    /** Opens the Edit at `path` in the editor (after letting go of the one it holds). False
        with the system's error code in `error` when it cannot be opened. */
    virtual bool OpenInEditor(const std::string& path, int& error) = 0;
    /** Saves and closes the active Edit, keeping its cue line and marks in it. */
    virtual void CloseEditor() = 0;
    /** Path of the active Edit; empty when none. */
    virtual std::string ActivePath() const = 0;
    /** "cart" or "deck" when a player holds `path`, else empty. */
    virtual std::string PlayerHolding(const std::string&) const { return {}; }
    /** The main window shows the editor afresh. */
    virtual void Refresh() {}
};

} // namespace tandrel
