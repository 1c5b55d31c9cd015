#include "player/LibrarySearch.h"

namespace {

// Scripts written without spaces between words: a query word in one of them may match
// anywhere in a text, not only at a word start.
bool isSpacelessScript(char32_t c)
{
    return (c >= 0x0E00 && c <= 0x0EFF)      // Thai, Lao
           || (c >= 0x3040 && c <= 0x30FF)   // Hiragana, Katakana
           || (c >= 0x3400 && c <= 0x4DBF)   // CJK extension A
           || (c >= 0x4E00 && c <= 0x9FFF)   // CJK unified ideographs
           || (c >= 0xF900 && c <= 0xFAFF)   // CJK compatibility ideographs
           || (c >= 0x20000 && c <= 0x2FFFF);
}

// Writes `c` as UTF-8 at `out`; answers the position after it.
char* putUtf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

// ASCII letters and digits as they are folded; 0 for a word break.
struct AsciiFold {
    char to[128] = {};
    constexpr AsciiFold()
    {
        for (int c = '0'; c <= '9'; ++c)
            to[c] = char(c);
        for (int c = 'a'; c <= 'z'; ++c)
            to[c] = char(c);
        for (int c = 'A'; c <= 'Z'; ++c)
            to[c] = char(c - 'A' + 'a');
    }
};
constexpr AsciiFold kAscii;

char32_t firstCodePoint(std::string_view utf8)
{
    const auto b = [&](size_t i) { return char32_t(static_cast<unsigned char>(utf8[i])); };
    if (utf8.empty())
        return 0;
    if (b(0) < 0x80)
        return b(0);
    if (b(0) < 0xE0 && utf8.size() >= 2)
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    if (b(0) < 0xF0 && utf8.size() >= 3)
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    if (utf8.size() >= 4)
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    return 0;
}

// Folds texts into a string, each word after one space. An ASCII unit takes at most 2
// bytes with its space, so room for 4 bytes a unit is made once per text and ASCII is
// written through a plain pointer; the other characters (whose decompositions can be
// long) make sure of their room as they go.
class Folder {
public:
    explicit Folder(std::string& out) : mOut(out) {}

    void text(QStringView text)
    {
        mInWord = false;
        const size_t start = mOut.size();
        mOut.resize(start + 4 * size_t(text.size()) + 8);
        mAt = mOut.data() + start;
        const char16_t* p = text.utf16();
        const char16_t* end = p + text.size();
        while (p < end) {
            char32_t c = *p++;
            if (c < 0x80) {
                if (const char folded = kAscii.to[c]) {
                    if (!mInWord)
                        *mAt++ = ' ';
                    mInWord = true;
                    *mAt++ = folded;
                } else {
                    mInWord = false;
                }
                continue;
            }
            if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p))
                c = QChar::surrogateToUcs4(char16_t(c), *p++);
            codePoint(c, 0);
            room(4 * size_t(end - p) + 8);
        }
        mOut.resize(size_t(mAt - mOut.data()));
    }

private:
    // At least `bytes` free after the write position.
    void room(size_t bytes)
    {
        const size_t at = size_t(mAt - mOut.data());
        if (mOut.size() - at < bytes)
            mOut.resize(at + bytes + 64);  // the string grows its capacity geometrically
        mAt = mOut.data() + at;
    }

    void letter(char32_t c)
    {
        room(8);
        if (!mInWord)
            *mAt++ = ' ';
        mInWord = true;
        mAt = putUtf8(mAt, c);
    }

    void codePoint(char32_t c, int depth)
    {
        if (c < 0x80) {
            if (const char folded = kAscii.to[c])
                letter(char32_t(folded));
            else
                mInWord = false;
            return;
        }
        // Letters that decompose into no base letter, spelt as their readers type them.
        static constexpr struct { char16_t c; char as[3]; } spelt[] = {
            {u'ß', "ss"}, {u'æ', "ae"}, {u'Æ', "ae"}, {u'œ', "oe"}, {u'Œ', "oe"}, {u'ø', "o"}, {u'Ø', "o"},
            {u'đ', "d"},  {u'Đ', "d"},  {u'ł', "l"},  {u'Ł', "l"},  {u'þ', "th"}, {u'Þ', "th"}, {u'ı', "i"},
        };
        if (c < 0x180) {
            for (const auto& s : spelt) {
                if (c == s.c) {
                    for (const char* a = s.as; *a; ++a)
                        letter(char32_t(*a));
                    return;
                }
            }
        }
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing)
            return;  // an accent: the word goes on
        const QChar::Decomposition tag = QChar::decompositionTag(c);
        if (depth < 4 && (tag == QChar::Canonical || tag == QChar::Compat || tag == QChar::Font
                          || tag == QChar::Wide || tag == QChar::Narrow)) {
            const QString parts = QChar::decomposition(c);
            for (qsizetype i = 0; i < parts.size(); ++i) {
                char32_t d = parts.at(i).unicode();
                if (QChar::isHighSurrogate(d) && i + 1 < parts.size())
                    d = QChar::surrogateToUcs4(char16_t(d), parts.at(++i).unicode());
                codePoint(d, depth + 1);
            }
            return;
        }
        if (QChar::isLetterOrNumber(c))
            letter(QChar::toCaseFolded(c));
        else
            mInWord = false;
    }

    std::string& mOut;
    char* mAt = nullptr;
    bool mInWord = false;
};

// Whether `word` begins a word of `text` (or, in a spaceless script, occurs in it) at or
// after `from`; the position of the first such place, or npos.
size_t findWord(std::string_view text, std::string_view word, size_t from, bool anywhere)
{
    size_t pos = from;
    while ((pos = text.find(word, pos)) != std::string_view::npos) {
        if (anywhere || (pos > 0 && text[pos - 1] == ' '))
            return pos;
        ++pos;
    }
    return pos;
}

} // namespace

std::string searchFolded(const QString& text)
{
    std::string folded;
    Folder(folded).text(text);
    return folded;
}

void LibrarySearch::FoldedList::add(std::initializer_list<QStringView> texts)
{
    if (starts.empty())
        starts.push_back(0);
    Folder folder(blob);
    for (QStringView text : texts)
        folder.text(text);
    starts.push_back(uint32_t(blob.size()));
}

QList<int> LibrarySearch::FoldedList::find(const std::vector<std::string>& words) const
{
    QList<int> found;
    if (words.empty() || starts.size() < 2)
        return found;
    // The longest word is the rarest: it is looked for through the whole list, the others
    // only in the entries it finds.
    size_t primary = 0;
    for (size_t i = 1; i < words.size(); ++i)
        if (words[i].size() > words[primary].size())
            primary = i;
    std::vector<bool> anywhere(words.size());
    for (size_t i = 0; i < words.size(); ++i)
        anywhere[i] = isSpacelessScript(firstCodePoint(words[i]));

    const std::string_view all(blob);
    size_t entry = 0;
    size_t pos = 0;
    while ((pos = findWord(all, words[primary], pos, anywhere[primary])) != std::string_view::npos) {
        while (starts[entry + 1] <= pos)
            ++entry;
        const std::string_view text = all.substr(starts[entry], starts[entry + 1] - starts[entry]);
        bool all_found = true;
        for (size_t i = 0; i < words.size() && all_found; ++i)
            all_found = i == primary || findWord(text, words[i], 0, anywhere[i]) != std::string_view::npos;
        if (all_found)
            found.append(int(entry));
        pos = starts[entry + 1];
    }
    return found;
}

void LibrarySearch::build(const MusicList& songs, const MusicList& artists, const MusicList& albums)
{
    // The texts are read in place from each entry's song (a collection's first one),
    // which the entry keeps alive while they are folded.
    mSongs = {};
    mArtists = {};
    mAlbums = {};
    mSongs.blob.reserve(size_t(songs.size()) * 64);
    for (const MusicListEntry& entry : songs) {
        const MPMediaItem song = entry.song();
        const MPMediaItem::TextViews t = song.textViews();
        mSongs.add({t.title, t.artist, t.albumTitle, t.albumArtist, t.genre, t.composer});
    }
    for (const MusicListEntry& entry : artists) {
        const MPMediaItem song = entry.song();
        mArtists.add({song.textViews().artist});
    }
    for (const MusicListEntry& entry : albums) {
        const MPMediaItem song = entry.song();
        const MPMediaItem::TextViews t = song.textViews();
        mAlbums.add({t.albumTitle, t.artist, t.albumArtist});
    }
    // The blobs grew in steps while being written: the index lives as long as the lists,
    // so it keeps only the room it uses.
    for (FoldedList* list : {&mSongs, &mArtists, &mAlbums}) {
        list->blob.shrink_to_fit();
        list->starts.shrink_to_fit();
    }
}

LibrarySearch::Results LibrarySearch::find(const QString& query) const
{
    std::vector<std::string> words;
    const std::string folded = searchFolded(query);
    for (size_t pos = 0; pos < folded.size();) {
        const size_t next = folded.find(' ', pos + 1);
        const size_t end = next == std::string::npos ? folded.size() : next;
        if (end > pos + 1)
            words.emplace_back(folded, pos + 1, end - pos - 1);
        pos = end;
    }
    Results results;
    results.songs = mSongs.find(words);
    results.artists = mArtists.find(words);
    results.albums = mAlbums.find(words);
    return results;
}
