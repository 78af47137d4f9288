// The skin's one palette: dark neutral chrome, light labels, one accent for
// what is pressed or active, and the two deck colours of the strips.
#ifndef VELKARN_APP_SKIN_SKINPALETTE_H
#define VELKARN_APP_SKIN_SKINPALETTE_H

#include "framework/Color.h"

namespace skin_palette {

inline constexpr Color chromeTop{36, 38, 43, 255};
inline constexpr Color chromeBottom{25, 26, 30, 255};
inline constexpr Color well{13, 14, 16, 255};
inline constexpr Color wellEdge{50, 53, 59, 255};
inline constexpr Color panelTop{43, 45, 51, 255};
inline constexpr Color panelBottom{34, 36, 41, 255};
inline constexpr Color panelEdge{62, 65, 73, 255};
inline constexpr Color band{22, 23, 27, 255};
inline constexpr Color tab{48, 51, 58, 255};
inline constexpr Color tabEdge{70, 74, 83, 255};
inline constexpr Color raisedTop{76, 80, 89, 255};
inline constexpr Color raisedBottom{52, 55, 62, 255};
inline constexpr Color raisedEdge{18, 19, 22, 255};
inline constexpr Color highlight{255, 255, 255, 40};
inline constexpr Color label{226, 228, 232, 255};
inline constexpr Color labelDim{160, 165, 174, 255};
inline constexpr Color labelOff{96, 100, 108, 255};
inline constexpr Color accent{56, 182, 236, 255};
inline constexpr Color accentDark{24, 104, 144, 255};
inline constexpr Color accentText{8, 24, 34, 255};
inline constexpr Color deck0{220, 0, 0, 255};
inline constexpr Color deck1{220, 100, 0, 255};
inline constexpr Color meterLow{52, 196, 92, 255};
inline constexpr Color meterMid{232, 204, 48, 255};
inline constexpr Color meterHigh{236, 52, 40, 255};

}  // namespace skin_palette

#endif
