#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/WindowMove.h"

namespace {

using State = TWindowMove::TState;

// One mouse event: P press, T/t title motion with/without the left button,
// M/m motion elsewhere with/without it, R release; at screen x, y.
struct Ev {
    char kind;
    int x = 0;
    int y = 0;
};

struct MoveCase {
    const char* name;
    bool windowManager;
    std::vector<Ev> events;
    int systemMoves;  // times the window manager was asked
    int lastX, lastY; // last place we moved the window to (-1: never moved)
    State end;
};

TEST(WindowMove, OneDragPerPress) {
    // The window's corner stays at 100, 100 unless we move it.
    const std::vector<MoveCase> cases{
        // The fault: a title motion after the window manager took the drag
        // started a second, manual drag that outlived the release.
        {"wm title drag then click elsewhere",
         true,
         {{'P', 150, 110}, {'T', 160, 115}, {'T', 270, 170}, {'M', 400, 300}},
         1,
         -1,
         -1,
         State::SystemMove},
        {"wm drag ends at the next press",
         true,
         {{'P', 150, 110}, {'T', 151, 111}, {'P', 400, 300}, {'M', 420, 310}},
         2,
         -1,
         -1,
         State::SystemMove},
        {"wm drag ends when the mouse moves free",
         true,
         {{'P', 150, 110}, {'m', 300, 200}, {'T', 310, 210}},
         2,
         -1,
         -1,
         State::SystemMove},
        {"wm release ends the drag",
         true,
         {{'P', 150, 110}, {'R'}, {'M', 300, 300}},
         1,
         -1,
         -1,
         State::Idle},
        {"no wm: follow the mouse by the press offset",
         false,
         {{'P', 150, 110}, {'M', 160, 130}, {'T', 270, 170}, {'R'}, {'M', 500, 500}},
         1,
         220,
         160,
         State::Idle},
        {"no wm: title motion with the button starts once",
         false,
         {{'T', 150, 110}, {'T', 155, 112}, {'T', 160, 114}},
         1,
         110,
         104,
         State::ManualMove},
        {"no wm: motion without a press moves nothing",
         false,
         {{'M', 150, 110}, {'m', 160, 120}, {'t', 170, 130}},
         0,
         -1,
         -1,
         State::Idle},
        {"no wm: a new press takes a new offset",
         false,
         {{'P', 150, 110}, {'R'}, {'P', 110, 105}, {'M', 210, 205}},
         2,
         200,
         200,
         State::ManualMove},
    };
    for (const auto& c : cases) {
        TWindowMove move;
        int asked = 0;
        int lastX = -1, lastY = -1;
        move.StartSystemMove = [&] {
            ++asked;
            return c.windowManager;
        };
        move.MoveTo = [&](int x, int y) {
            lastX = x;
            lastY = y;
        };
        for (const Ev& e : c.events) {
            switch (e.kind) {
            case 'P':
                move.Press(e.x, e.y, 100, 100);
                break;
            case 'T':
                move.TitleMotion(e.x, e.y, 100, 100, true);
                break;
            case 't':
                move.TitleMotion(e.x, e.y, 100, 100, false);
                break;
            case 'M':
                move.Motion(e.x, e.y, true);
                break;
            case 'm':
                move.Motion(e.x, e.y, false);
                break;
            case 'R':
                move.Release();
                break;
            }
        }
        EXPECT_EQ(asked, c.systemMoves) << c.name;
        EXPECT_EQ(lastX, c.lastX) << c.name;
        EXPECT_EQ(lastY, c.lastY) << c.name;
        EXPECT_EQ(move.State(), c.end) << c.name;
    }
}

} // namespace
