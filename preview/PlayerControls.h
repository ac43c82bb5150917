// The controls of the main window that the player and the trim bar use: the
// three player buttons, the clock and the list whose rows hold the trim times.
#pragma once

#include <type_traits>

#include "media/SourceFileGrid.h"
#include "support/Controls.h"

struct TPlayerControls {
    template <class Window>
    requires(!std::is_same_v<std::remove_cvref_t<Window>, TPlayerControls>)
        TPlayerControls(Window& window) // NOLINT: a window converts to its player controls
        : btnPlay(window.btnPlay), btnPause(window.btnPause), btnStop(window.btnStop),
          pnlCurTime(window.pnlCurTime), dxTreeSourceFileInfo(window.dxTreeSourceFileInfo) {}

    TButton& btnPlay;
    TButton& btnPause;
    TButton& btnStop;
    TLabel& pnlCurTime;
    TSourceFileGrid& dxTreeSourceFileInfo;
};
