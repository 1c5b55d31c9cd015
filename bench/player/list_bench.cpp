// Timings of the library lists.
//
// Letter index: the sections of 100 000 names (Latin titles with and without articles,
// accents, digits, other scripts) in the library's order, as a query gives them; and the
// same names unsorted, where nearly every name starts a section of its own (the worst
// case). Against the peer of sorting the same names with QStringList::sort (code-point
// order), measured in the same run.
//
// Search: building the search index over a 100 000-song library (its song, artist and
// album lists), against the peer of the letter index of 100 000 titles above; and one
// keystroke in the search field of a player over that library until the list screen has
// been drawn, typing "night river" letter by letter and deleting it again, against the
// peer of filtering the same songs' titles, artists and albums with QString::contains
// (case-insensitive, no accent folding, any position).
//
// List switch: the list button of each top-level list pressed on a player over a device
// library of 20 000 songs held in memory (about 2 000 artists, 4 000 albums, 40 genres,
// 20 playlists), until the list screen has been drawn; against the peer of the list's
// query alone (MPMediaQuery collections), which the sync button runs for every list.
//
//   QT_QPA_PLATFORM=offscreen list_bench --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true

#include "player/LetterIndex.h"
#include "player/LibrarySearch.h"
#include "player/ListView.h"
#include "player/TavoroViewController.h"

#include "library/DTMusicModelController.h"
#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MPMediaQuery.h"
#include "platform/media/MediaCollation.h"
#include "platform/media/MediaItemPool.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kNames = 100000;
constexpr int kSongs = 20000;

QString randomName(std::mt19937& random, int i)
{
    static const char* const starts[] = {"The ", "A ", "", "", "", "", "(", "99 ", "", ""};
    static const char* const words[] = {"love", "Night", "river", "Blue", "fire", "Stone", "dream", "Road"};
    static const char* const others[] = {"Édith", "사랑", "Ёлка", "東京", "Ångström"};
    if (random() % 20 == 0)
        return QString::fromUtf8(others[random() % 5]) + QString::number(i);
    return QString::fromLatin1(starts[random() % 10]) + QLatin1String(words[random() % 8]) + QLatin1Char(' ')
           + QLatin1String(words[random() % 8]) + QLatin1Char(' ') + QString::number(i);
}

QStringList makeNames()
{
    std::mt19937 random(11);
    QStringList names;
    names.reserve(kNames);
    for (int i = 0; i < kNames; ++i)
        names.append(randomName(random, i));
    return names;
}

QStringList inLibraryOrder(const QStringList& names)
{
    std::vector<std::pair<QCollatorSortKey, QString>> keyed;
    keyed.reserve(size_t(names.size()));
    for (const QString& n : names)
        keyed.emplace_back(mediaLibrarySortKey(n), n);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    QStringList sorted;
    for (const auto& k : keyed)
        sorted.append(k.second);
    return sorted;
}

void indexTitles(benchmark::State& state, const QStringList& names)
{
    for (auto _ : state) {
        LetterIndex index;
        index.InitIndexArray();
        index.makeIndex(ListKindTitles, names, ListKindTitles);
        benchmark::DoNotOptimize(index.numberOfSections());
    }
    state.counters["sections"] = double(sectionsOfNames(ListKindTitles, names).size());
}

void BM_LetterIndex100k(benchmark::State& state)
{
    indexTitles(state, inLibraryOrder(makeNames()));
}
BENCHMARK(BM_LetterIndex100k)->Unit(benchmark::kMillisecond);

void BM_LetterIndex100kUnsorted(benchmark::State& state)
{
    indexTitles(state, makeNames());
}
BENCHMARK(BM_LetterIndex100kUnsorted)->Unit(benchmark::kMillisecond);

void BM_Peer_SortNames100k(benchmark::State& state)
{
    const QStringList names = makeNames();
    for (auto _ : state) {
        QStringList copy = names;
        copy.sort();
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_Peer_SortNames100k)->Unit(benchmark::kMillisecond);

// An engine that does nothing: the lists never play.
class SilentEngine final : public PlayerEngine {
public:
    void startAUGraph(int) override {}
    void stopAUGraph() override {}
    bool isPlaying() const override { return false; }
    bool InputStremFormatChange(int) override { return true; }
    void setOutputVolume(float) override {}
    void setInputVolume(int, float) override {}
    void setModeChange(int, int) override {}
    void setSpeedPitch(int, int) override {}
    void setEQMode(int) override {}
    void setUserEQBand(int, int) override {}
    void set3DStereoValue(int, int) override {}
    void setStageMode(int) override {}
    void QBSInit() override {}
    bool loadFiles(const QUrl&, int32_t) override { return false; }
    void setPlaybackGain(int32_t) override {}
    void CloseFile() override {}
    bool prepareNextFile(const QUrl&, int32_t) override { return false; }
    void discardNextFile() override {}
    int64_t frameCount() const override { return 0; }
    int64_t heardFrame() const override { return 0; }
    void FileSeek(int64_t) override {}
    void LockSeekChange(bool) override {}
    void setFileLoadStartFlag() override {}
    bool mfileLoadStateFlag() const override { return true; }
};

QList<MPMediaItem> makeSongs(int count)
{
    std::mt19937 random(5);
    static const char* const genres[] = {"Rock", "Pop", "Jazz", "Folk", "Soul", "Blues", "Metal", "Disco"};
    QList<MPMediaItem> items;
    items.reserve(count);
    MediaItemPool pool;  // shared texts held once, as the library's scan holds them
    for (int i = 0; i < count; ++i) {
        MediaItemProperties p;
        p.persistentID = quint64(i) + 1;
        p.title = randomName(random, i);
        p.artist = QStringLiteral("Artist %1").arg(i / 10);
        p.albumTitle = randomName(random, i / 5);
        p.genre = QString::fromLatin1(genres[i % 8]) + QString::number(i % 5);
        p.albumTrackNumber = i % 5 + 1;
        p.playbackDuration = 200.0;
        items.append(MPMediaItem(p, pool));
    }
    return items;
}

std::shared_ptr<MPMediaLibrary> makeLibrary(int count)
{
    const QList<MPMediaItem> items = makeSongs(count);
    QList<MPMediaPlaylist> playlists;
    for (int p = 0; p < 20; ++p)
        playlists.append(MPMediaPlaylist(QStringLiteral("Playlist %1").arg(p), quint64(p) + 1, items.mid(p * 50, 50)));
    return std::make_shared<MPMediaLibrary>(items, playlists);
}

struct Player {
    explicit Player(int songs)
    {
        MPMediaLibrary::setDefaultMediaLibrary(makeLibrary(songs));
        controller = std::make_unique<TavoroViewController>(std::make_unique<SilentEngine>(),
                                                            std::make_shared<DTMusicModelController>());
        controller->viewDidLoad();
        controller->show();
        QApplication::processEvents();
    }
    std::unique_ptr<TavoroViewController> controller;
};

Player& player()
{
    static Player p(kSongs);
    return p;
}

// Presses the list button of the kind and draws the screen, from another list each time.
void BM_SwitchList(benchmark::State& state)
{
    TavoroViewController& c = *player().controller;
    const int kind = int(state.range(0));
    const int other = (kind + 2) % 5;
    for (auto _ : state) {
        state.PauseTiming();
        c.ListTableButtonchange(other);
        QApplication::processEvents();
        state.ResumeTiming();
        c.ListTableButtonchange(kind);
        QApplication::processEvents();
        benchmark::DoNotOptimize(c.grab());
    }
    state.counters["rows"] = c.listTable()->model()->rowCount();
}
BENCHMARK(BM_SwitchList)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_Peer_ListQuery(benchmark::State& state)
{
    player();
    const int kind = int(state.range(0));
    for (auto _ : state) {
        MPMediaQuery q = kind == 0 ? MPMediaQuery::songsQuery()
                         : kind == 1 ? MPMediaQuery::artistsQuery()
                         : kind == 2 ? MPMediaQuery::genresQuery()
                         : kind == 3 ? MPMediaQuery::albumsQuery()
                                     : MPMediaQuery::playlistsQuery();
        benchmark::DoNotOptimize(q.collections());
    }
}
BENCHMARK(BM_Peer_ListQuery)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

constexpr int kSearchSongs = 100000;

MusicList entries(const QList<MPMediaItemCollection>& collections)
{
    MusicList list;
    for (const MPMediaItemCollection& c : collections)
        list.append(MusicListEntry(c));
    return list;
}

void BM_SearchIndex100k(benchmark::State& state)
{
    MPMediaLibrary::setDefaultMediaLibrary(makeLibrary(kSearchSongs));
    const MusicList songs = entries(MPMediaQuery::songsQuery().collections());
    const MusicList artists = entries(MPMediaQuery::artistsQuery().collections());
    const MusicList albums = entries(MPMediaQuery::albumsQuery().collections());
    for (auto _ : state) {
        LibrarySearch search;
        search.build(songs, artists, albums);
        benchmark::DoNotOptimize(search.find(QStringLiteral("zz")).songs.size());
    }
}
BENCHMARK(BM_SearchIndex100k)->Unit(benchmark::kMillisecond);

// The keystrokes of typing "night river" and deleting it again.
QStringList typedTexts()
{
    const QString typed = QStringLiteral("night river");
    QStringList texts;
    for (int i = 1; i <= typed.size(); ++i)
        texts.append(typed.left(i));
    for (int i = typed.size() - 1; i >= 0; --i)
        texts.append(typed.left(i));
    return texts;
}

void BM_SearchKeystroke100k(benchmark::State& state)
{
    static Player searchPlayer(kSearchSongs);
    TavoroViewController& c = *searchPlayer.controller;
    c.ListTableButtonchange(ListKindTitles);
    QApplication::processEvents();
    const QStringList texts = typedTexts();
    qsizetype next = 0;
    for (auto _ : state) {
        c.listTable()->searchField->setText(texts[next++ % texts.size()]);
        QApplication::processEvents();
        benchmark::DoNotOptimize(c.grab());
    }
    state.counters["songs"] = kSearchSongs;
}
BENCHMARK(BM_SearchKeystroke100k)->Unit(benchmark::kMillisecond)->Iterations(220);

void BM_Peer_ContainsFilter100k(benchmark::State& state)
{
    const QList<MPMediaItem> songs = makeSongs(kSearchSongs);
    const QStringList texts = typedTexts();
    qsizetype next = 0;
    for (auto _ : state) {
        const QString query = texts[next++ % texts.size()];
        QList<int> found;
        for (qsizetype i = 0; i < songs.size(); ++i) {
            const MediaItemProperties& p = songs[i].properties();
            if (p.title.contains(query, Qt::CaseInsensitive) || p.artist->contains(query, Qt::CaseInsensitive)
                || p.albumTitle->contains(query, Qt::CaseInsensitive))
                found.append(int(i));
        }
        benchmark::DoNotOptimize(found.size());
    }
}
BENCHMARK(BM_Peer_ContainsFilter100k)->Unit(benchmark::kMillisecond)->Iterations(220);

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tavoro");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
