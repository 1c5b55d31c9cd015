// The library's order and the plain locale-aware comparison, independent of the machine's
// locale (the test binary runs in the C locale).

#include "platform/media/MediaCollation.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QStringList sortedByLibrary(QStringList names)
{
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return mediaLibraryCompare(a, b) < 0; });
    return names;
}

TEST(MediaCollation, SortsLikeAPersonNotByCodePoint)
{
    EXPECT_EQ(sortedByLibrary({"Zoo", "Track 10", "banana", "Äther", "Apple", "Track 9", "10cc", "9 Lives", "éclair"}),
              (QStringList{"9 Lives", "10cc", "Apple", "Äther", "banana", "éclair", "Track 9", "Track 10", "Zoo"}));
    EXPECT_EQ(mediaLibraryCompare("ABBA", "abba"), 0);
    EXPECT_LT(mediaLibraryCompare("Disc 2 Track 2", "disc 2 track 11"), 0);
}

TEST(MediaCollation, LocalizedCompareKeepsCaseOnlyAsATieBreak)
{
    EXPECT_LT(localizedCompare("apple", "Banana"), 0);
    EXPECT_LT(localizedCompare("Äther", "Zoo"), 0);
    EXPECT_NE(localizedCompare("abba", "ABBA"), 0);
}

} // namespace
