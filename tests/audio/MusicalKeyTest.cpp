#include "audio/MusicalKey.h"
#include "framework/StringException.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const names[] = {
    "C Maj", "C# Maj", "D Maj", "D# Maj", "E Maj", "F Maj", "F# Maj", "G Maj", "G# Maj", "A Maj", "A# Maj", "B Maj",
    "C Min", "C# Min", "D Min", "D# Min", "E Min", "F Min", "F# Min", "G Min", "G# Min", "A Min", "A# Min", "B Min",
};

void expectRefused(const std::string& what, void (*attempt)()) {
    try {
        attempt();
        ADD_FAILURE() << what << " was accepted";
    } catch (const StringException& error) {
        EXPECT_EQ(std::string(error.what()), "Do not recognize key.") << what;
    }
}

}  // namespace

TEST(MusicalKey, AllTwentyFourKeysBothWays) {
    for (int index = 0; index < 24; ++index) {
        SCOPED_TRACE(names[index]);
        const MusicalKey byName(names[index]);
        EXPECT_TRUE(byName.isDefined());
        EXPECT_EQ(byName.index(), index);
        EXPECT_EQ(byName.tonic(), index % 12);
        EXPECT_EQ(byName.mode(), index / 12);
        const MusicalKey byIndex = MusicalKey::fromIndex(index);
        EXPECT_STREQ(byIndex.name(), names[index]);
        EXPECT_EQ(byIndex.index(), index);
    }
}

TEST(MusicalKey, EmptyNameAndMinusOneAreUndefined) {
    for (const MusicalKey& key : {MusicalKey(""), MusicalKey::fromIndex(-1), undefinedKey(), MusicalKey()}) {
        EXPECT_FALSE(key.isDefined());
        EXPECT_STREQ(key.name(), "");
        EXPECT_EQ(key.index(), -1);
    }
}

TEST(MusicalKey, NamesAreComparedExactlyAndIndicesChecked) {
    expectRefused("c Maj", [] { MusicalKey key("c Maj"); });
    expectRefused("\" C Maj\"", [] { MusicalKey key(" C Maj"); });
    expectRefused("\"C Maj \"", [] { MusicalKey key("C Maj "); });
    expectRefused("C MAJ", [] { MusicalKey key("C MAJ"); });
    expectRefused("H Min", [] { MusicalKey key("H Min"); });
    expectRefused("Db Maj", [] { MusicalKey key("Db Maj"); });
    expectRefused("index 24", [] { MusicalKey::fromIndex(24); });
    expectRefused("index -2", [] { MusicalKey::fromIndex(-2); });
}
