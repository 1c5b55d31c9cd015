// The end of a track at a playback rate away from 1.0, where the mixer pulls its input
// several times for one output block: the end is reported once, and once the callback has
// stopped the output the rest of that block pulls nothing more from the track.

#include "EngineTestSupport.h"

#include <QVariantMap>

namespace {

using EngineEnd = EngineTest;

TEST_F(EngineEnd, AnAcceleratedTrackEndsOnceWithOneReport)
{
    Stdout([&] { engine->setSpeedNormal(200); });
    for (int length : {13000, 13700, 14300, 15000}) {
        SCOPED_TRACE(length);
        reports.clear();
        ASSERT_TRUE(load(MakeTrack("fast" + std::to_string(length) + ".wav", length / 44100.0, 44100, 2, "-c:a pcm_s16le")));
        start();
        playToEnd();
        RunEventsFor(20);
        ASSERT_EQ(reports.size(), 1u) << "one end, one report";
        EXPECT_EQ(reports[0].value(MusciPlayfinishKey).toInt(), 1);
        EXPECT_FALSE(engine->isPlaying());
    }
}

} // namespace
