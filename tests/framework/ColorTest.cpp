#include "framework/Color.h"
#include "framework/GUIMarkerMapClient.h"
#include "framework/WindowClient.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Color, BytesAreRedGreenBlueAlphaWithRedLowestInAWord) {
    const Color colour(0x11, 0x22, 0x33, 0x44);
    std::uint32_t inMemory;
    std::memcpy(&inMemory, &colour, 4);
    EXPECT_EQ(inMemory, 0x44332211u);
    EXPECT_EQ(colour.packed(), 0x44332211u);
    EXPECT_FALSE(Color::fromPacked(0x44332211u).differs(colour));
    const Color none;
    EXPECT_EQ(none.packed(), 0u);
}

TEST(Color, DiffersWhenAnyByteDiffers) {
    EXPECT_TRUE(Color(1, 2, 3, 4).differs(Color(1, 2, 3, 5)));
    EXPECT_TRUE(Color(1, 2, 3, 4).differs(Color(0, 2, 3, 4)));
    EXPECT_FALSE(Color().differs(Color()));
}

TEST(Color, DeckCursorColours) {
    EXPECT_FALSE(deckCursorAheadColor.differs(Color(100, 100, 255, 255)));
    EXPECT_FALSE(deckCursorReachedColor.differs(Color(255, 255, 255, 255)));
}

TEST(ClientInterfaces, AnOwnerThatOverridesNothingAllowsClosingAndOnlyHearsClicks) {
    struct Owner : WindowClient, GUIMarkerMapClient {};
    Owner owner;
    WindowClient& asWindowClient = owner;
    GUIMarkerMapClient& asMarkerClient = owner;
    EXPECT_TRUE(asWindowClient.canClose(nullptr));
    EXPECT_FALSE(asMarkerClient.isEditable(nullptr));
}

}  // namespace
