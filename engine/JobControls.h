// The controls of the main window that the job and the command line read or
// set, and nothing else of it. The shell hands its window in; any window with
// controls of these names will do, so tests can use their own.
#pragma once

#include <type_traits>

#include "media/SourceFileGrid.h"
#include "support/Controls.h"

struct TJobControls {
    template <class Window>
    requires(!std::is_same_v<std::remove_cvref_t<Window>, TJobControls>)
        TJobControls(Window& window) // NOLINT: a window converts to its job controls
        : form(window), btnOptions(window.btnOptions), cbbOutputFiletype(window.cbbOutputFiletype),
          cbbProfile(window.cbbProfile), chkShowOutputDirectory(window.chkShowOutputDirectory),
          chkShutdown(window.chkShutdown), dxTreeSourceFileInfo(window.dxTreeSourceFileInfo),
          edtOutputFolder(window.edtOutputFolder) {}

    // The whole window is disabled while a job runs.
    void SetEnabled(bool enabled) { form.SetEnabled(enabled); }

    TFormModel& form;
    TButton& btnOptions;
    SelectionList& cbbOutputFiletype;
    SelectionList& cbbProfile;
    TCheckBox& chkShowOutputDirectory;
    TCheckBox& chkShutdown;
    TSourceFileGrid& dxTreeSourceFileInfo;
    TEdit& edtOutputFolder;
};
