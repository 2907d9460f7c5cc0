#include "app/form1layout.h"

#include <algorithm>
#include <array>

namespace Form1Layout {

namespace {

using enum Kind;

// Tab order (last column) starts at the 1 key, so the window opens with the focus there.
constexpr std::array kControls{
    Control{"pnow", -1, TextBox, "00.0", nullptr, 8040, 600, 615, 315, 14},
    Control{"prset", -1, TextBox, "02.0", nullptr, 8040, 960, 615, 315, 15},
    Control{"lqset", -1, TextBox, "0000", nullptr, 8040, 1320, 615, 315, 16},
    Control{"Cmd0", 13, KeyButton, "0", ":/artwork/key_0.jpg", 6720, 2160, 615, 375, 12},
    Control{"Cmd1", -1, KeyButton, "1", ":/artwork/key_1.jpg", 7360, 2160, 615, 375, 0},
    Control{"Cmd2", -1, KeyButton, "2", ":/artwork/key_2.jpg", 8020, 2160, 615, 375, 1},
    Control{"Cmd3", -1, KeyButton, "3", ":/artwork/key_3.jpg", 8680, 2160, 615, 375, 2},
    Control{"Cmd4", -1, KeyButton, "4", ":/artwork/key_4.jpg", 6720, 2640, 615, 375, 4},
    Control{"Cmd5", -1, KeyButton, "5", ":/artwork/key_5.jpg", 7360, 2640, 615, 375, 5},
    Control{"Cmd6", -1, KeyButton, "6", ":/artwork/key_6.jpg", 8020, 2640, 615, 375, 6},
    Control{"Cmd7", -1, KeyButton, "7", ":/artwork/key_7.jpg", 8680, 2640, 615, 375, 8},
    Control{"Cmd8", -1, KeyButton, "8", ":/artwork/key_8.jpg", 6720, 3120, 615, 375, 9},
    Control{"Cmd9", -1, KeyButton, "9", ":/artwork/key_9.jpg", 7360, 3120, 615, 375, 10},
    Control{"Cmd0", 0, KeyButton, "▲", ":/artwork/key_up.jpg", 8020, 3120, 615, 375, 20},
    Control{"Cmd0", 1, KeyButton, "▼", ":/artwork/key_down.jpg", 8680, 3120, 615, 375, 21},
    Control{"Cmdl", -1, KeyButton, "L", ":/artwork/key_l.jpg", 6720, 3600, 615, 375, 3},
    Control{"Cmdp", -1, KeyButton, "P", ":/artwork/key_p.jpg", 7360, 3600, 615, 375, 7},
    Control{"Cmdr", -1, KeyButton, "RUN", ":/artwork/key_run.jpg", 8020, 3600, 615, 375, 11},
    Control{"Cmds", -1, KeyButton, "STOP", ":/artwork/key_stop.jpg", 8680, 3600, 615, 375, 13},
    Control{"lhour", -1, ClockLabel, "00", nullptr, 0, 0, 615, 375, 17},
    Control{"Label1", -1, ClockLabel, "时", nullptr, 600, 0, 495, 375, 22},
    Control{"lmin", -1, ClockLabel, "00", nullptr, 1080, 0, 495, 375, 18},
    Control{"Label2", -1, ClockLabel, "分", nullptr, 1560, 0, 495, 375, 23},
    Control{"lsed", -1, ClockLabel, "00", nullptr, 2040, 0, 615, 375, 19},
    Control{"Label3", -1, ClockLabel, "秒", nullptr, 2640, 0, 495, 375, 24},
    Control{"Picture1", -1, PlotArea, "", nullptr, 600, 4680, 9975, 2175, 25},
};

} // namespace

std::span<const Control> controls()
{
    return kControls;
}

QSize clientSize()
{
    return QSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
}

QPoint clientTopLeft()
{
    return QPoint(twipsToPixels(kClientLeftTwips), twipsToPixels(kClientTopTwips));
}

QRect designedWindow(int menuHeight)
{
    const QSize client = clientSize();
    const QPoint topLeft = clientTopLeft();
    return QRect(topLeft.x(), topLeft.y() - menuHeight, client.width(),
                 client.height() + menuHeight);
}

QRect placeOnScreen(const QRect &designed, const QRect &available)
{
    const auto along = [](int start, int size, int areaStart, int areaSize) {
        if (size > areaSize)
            return areaStart;
        return std::clamp(start, areaStart, areaStart + areaSize - size);
    };
    return QRect(QPoint(along(designed.x(), designed.width(), available.x(), available.width()),
                        along(designed.y(), designed.height(), available.y(), available.height())),
                 designed.size());
}

} // namespace Form1Layout
