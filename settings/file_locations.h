#pragma once
#include <string>

namespace tandrel {

/** The logic of the File Locations dialog, where the user moves the storage folder. The
    window itself belongs to the program's user interface: it calls Open when it appears,
    and Ok or Cancel, closing only when they return true. So the dialog never closes
    without a usable storage folder. Messages go through MessageDialog. UI thread. */
class FileLocationsDialog
{
  public:
    /** Keeps the current FilesLocation for Cancel and returns the folder to show. */
    std::string Open();
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

} // namespace tandrel
