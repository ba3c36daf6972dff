#pragma once
#include <optional>
#include <string>

namespace tandrel {

/** The logic of the File Locations dialog, where the user moves the storage folder. The
    window itself belongs to the program's user interface: it calls Open when it appears,
    Browse for its browse button, and Ok or Cancel, closing only when they return true. So
    the dialog never closes without a usable storage folder. Messages go through
    MessageDialog and the folder chooser through PromptText. UI thread. */
class FileLocationsDialog
{
  public:
    /** Keeps the current FilesLocation for Cancel and returns the folder to show. */
    std::string Open();
    /** The folder chooser titled "Tandrel File Storage", starting at `current`; the folder
        chosen, or nullopt when cancelled. */
    std::optional<std::string> Browse(const std::string& current);
    /** Moves the storage to `pathField`: stores it and sets the folders up. True when the
        dialog may close; otherwise a message was shown and the old location is back. */
    bool Ok(const std::string& pathField);
    /** Puts the kept FilesLocation back and sets it up. True when the dialog may close;
        otherwise an "Access Error" box was shown. */
    bool Cancel();

  private:
    bool hadLocation_ = false;
    std::string keptLocation_;

    void RestoreKeptLocation();
};

/** Runs the dialog through the prompt seam: asks for the folder (the current one offered)
    until OK succeeds, or a cancel finds the old folder usable. Returns true then. When the
    prompt is cancelled twice in a row and the old folder still cannot be used, nobody is
    there to choose one: returns false, and start-up cannot go on. UI thread. */
bool ShowFileLocationsDialog();

} // namespace tandrel
