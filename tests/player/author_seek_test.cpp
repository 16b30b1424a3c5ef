// Seeking in author mode shows the picture that playing to the same clock shows: the
// bundled show is played through twice (it loops) on a fine frame clock and pictures are
// kept at each part's start and middle; then the author clock seeks to those times
// backwards and forwards, into the scenes two parts share and after a loop, and its
// pictures must match within the reference frames' tolerance.
#include "demo/playback.h"
#include "demo/show.h"
#include "demo/timeline.h"
#include "desktop/desktop_platform.h"
#include "desktop/offscreen_context.h"
#include "desktop/shell_state.h"
#include "gpu/gl.h"
#include "gpu/gl_extensions.h"
#include "gpu/viewport.h"
#include "player/author_clock.h"
#include "player/author_mode.h"
#include "player/demo_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int Width = 320;
constexpr int Height = 180;

std::vector<unsigned char> readFrame()
{
    std::vector<unsigned char> pixels(static_cast<size_t>(Width) * Height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Pixels whose colour differs by more than 3 % of full scale in any channel, as the
// reference frames are compared.
int differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    int count = 0;
    for (size_t i = 0; i < a.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            if (std::abs(int(a[i + c]) - int(b[i + c])) > 255 * 3 / 100) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// Plays the timeline as the window does, on a clock of 33 ms steps that also reads each
// part's first millisecond (so that a part's time counts from where the author clock
// counts it), looping, and keeps the pictures at the wanted clock readings of each pass.
class ReferenceHost : public PlaybackHost {
public:
    ReferenceHost(Show& show, const std::set<int>& wanted, int passes) : show_(show), passes_(passes)
    {
        std::set<int> readings(wanted);
        const int end = static_cast<int>(ShowEnd(show_.Timeline));
        for (int ms = 0; ms <= end + 33; ms += 33)
            readings.insert(ms);
        for (int i = 0; i < show_.Timeline.size(); ++i)
            readings.insert(show_.Timeline[i].endTime + 1);
        readings_.assign(readings.begin(), readings.end());
        wanted_ = wanted;
    }

    std::map<std::pair<int, int>, std::vector<unsigned char>> pictures; // (pass, clock) -> pixels

    int startClock() override { return readings_[next_ = 0]; }
    int readClock() override { return readings_[std::min(++next_, readings_.size() - 1)]; }
    void restartClock() override
    {
        ++pass_;
        next_ = 0;
    }
    void drawFrame(const TimelineEntry& part, float partTime) override
    {
        const int clock = readings_[next_];
        if (wanted_.count(clock)) {
            SetViewport(Width, Height);
            show_.DrawPart(part, partTime, Width, Height);
            pictures[{pass_, clock}] = readFrame();
        } else if (std::unique_ptr<Scene>* scene = show_.SceneRegistry.find(part.sceneName)) {
            SelectCamera(**scene, part.cameraName);
            (*scene)->evaluateNodes(partTime);
        }
    }
    bool escapeDown() override { return pass_ >= passes_; }

private:
    Show& show_;
    std::vector<int> readings_;
    std::set<int> wanted_;
    size_t next_ = 0;
    int pass_ = 0;
    int passes_;
};

class SilentMusic : public AuthorMusic {
public:
    bool audible() override { return false; }
    double position() override { return 0; }
    void play(double) override {}
    void hold() override {}
};

} // namespace

TEST(AuthorSeek, SeekingShowsWhatPlayingToTheSameClockShows)
{
    const std::string bundled = std::string(TALDREX_BINARY_DIR) + "/show";
    if (!std::filesystem::exists(bundled + "/script.txt"))
        GTEST_SKIP() << "the bundled show is not built";
    OffscreenContext context;
    if (!context.create("taldrex test", Width, Height, 0))
        GTEST_SKIP() << "no off-screen OpenGL context: " << SDL_GetError();
    MainWindow = context.window();
    RenderContext = context.context();
    ASSERT_TRUE(LoadExtensions());
    InitGLState(Width, Height);

    DataFolder folder;
    ASSERT_EQ(openDemoFolder(bundled, false, folder), "");
    NoSound = 1;
    Show show(folder);
    SoundStream* stream = nullptr;
    ASSERT_TRUE(show.LoadScript(Desktop(), stream));
    ASSERT_GE(show.Timeline.size(), 3);

    // Playing shows a part from part time 0 at the first clock reading past its start,
    // at best its first millisecond: playing to C shows the part time that the author
    // clock shows at C - 1 ms, the least frame timing can give. So the pictures played at
    // each part's first millisecond are compared with the part jumps, which land on the
    // part's part time 0, and those played 1 ms after each part's middle with seeks to
    // the middle.
    // The middles sit 7 ms past the exact middle, off the whole frames where keys sit: there
    // a picture may change within the rounding of the played part time (a float summed
    // frame by frame).
    std::vector<int> firsts, middles;
    for (int i = 0; i < show.Timeline.size(); ++i) {
        const int start = static_cast<int>(PartStart(show.Timeline, i));
        firsts.push_back(i == 0 ? 0 : start + 1);
        middles.push_back((start + show.Timeline[i].endTime) / 2 + 7);
    }
    std::set<int> wanted(firsts.begin(), firsts.end());
    for (int middle : middles)
        wanted.insert(middle + 1);

    ReferenceHost reference(show, wanted, 2);
    PlayTimeline(show.Timeline, true, reference);
    ASSERT_EQ(reference.pictures.size(), 2 * wanted.size());

    SilentMusic music;
    AuthorTransport transport(show.Timeline, music);
    AuthorClock& clock = transport.clock();
    clock.start(0);
    clock.togglePause();
    int pass = 0;
    auto compare = [&](int playedAt) {
        const ShowPosition position = PositionAt(show.Timeline, clock.ms());
        SetViewport(Width, Height);
        DrawShowAt(show, position, true, Width, Height);
        const int differing = differingPixels(readFrame(), reference.pictures[{pass, playedAt}]);
        EXPECT_LE(differing, 32) << "at " << clock.ms() << " ms (part " << position.part + 1 << ", pass " << pass + 1
                                 << ")";
    };
    auto seekToMiddle = [&](size_t part) {
        clock.seek(middles[part]);
        compare(middles[part] + 1);
    };

    // Backwards through the middles, from the last part to the first, so that every scene
    // is met again after a later time; then forwards through the part starts with the
    // next-part key, the second part of each shared scene straight after the first.
    for (size_t i = middles.size(); i-- > 0;)
        seekToMiddle(i);
    transport.press(AuthorKey::Restart, false);
    compare(firsts[0]);
    for (size_t i = 1; i < firsts.size(); ++i) {
        transport.press(AuthorKey::NextPart, false);
        compare(firsts[i]);
    }
    // Back through the starts with the previous-part key from each part's middle.
    for (size_t i = firsts.size(); i-- > 1;) {
        seekToMiddle(i);
        transport.press(AuthorKey::PreviousPart, false);
        compare(firsts[i - 1]);
    }

    // Playing past the end with looping on goes back to 0, and the second pass shows what
    // the looping show shows in its second pass.
    clock.setLooping(true);
    clock.togglePause();
    clock.seek(ShowEnd(show.Timeline));
    clock.advance(100);
    EXPECT_LT(clock.ms(), 100);
    clock.togglePause();
    pass = 1;
    for (size_t i = 0; i < middles.size(); ++i) {
        seekToMiddle(i);
        transport.press(AuthorKey::NextPart, false);
        if (i + 1 < firsts.size())
            compare(firsts[i + 1]);
    }

    MainWindow = nullptr;
    RenderContext = nullptr;
}
