#include "player/LetterIndex.h"

namespace {

const QString kThe = QStringLiteral("The ");
const QString kA = QStringLiteral("A ");
const QString kSmallA = QStringLiteral("a ");
constexpr qsizetype kArticleSpan = 4;  // an article counts only within the first four units

// The section letter as one code unit: 'A' to 'Z' or '#'. The scan starts at `start` and
// passes over every occurrence of `removed` (met from left to right, as a removal of all
// of them would leave the text), so a title's article never has to be cut out first.
char16_t scanForLetter(QStringView key, qsizetype start, QStringView removed = {})
{
    const qsizetype n = key.size();
    for (qsizetype i = start; i < n;) {
        if (!removed.isEmpty() && key.sliced(i).startsWith(removed)) {
            i += removed.size();
            continue;
        }
        const char16_t c = key[i].unicode();
        if (c >= u'A' && c <= u'Z')
            return c;
        if (c >= u'a' && c <= u'z')
            return char16_t(c - u'a' + u'A');
        if (c >= u'0' && c <= u'9')
            return u'#';
        const bool skipped = (c >= 0x21 && c <= 0xFF) || (c >= 0x2000 && c <= 0x206F);
        if (!skipped)
            return u'#';
        ++i;
    }
    return u'#';
}

// The article a title or album name loses, or none.
QStringView articleOf(QStringView name)
{
    if (name.size() <= kArticleSpan)
        return {};
    const QStringView head = name.left(kArticleSpan);
    for (const QString* article : {&kThe, &kA, &kSmallA}) {
        if (head.contains(*article))
            return *article;
    }
    return {};
}

char16_t headerUnit(uint32_t kind, const QString& name)
{
    if (name.isEmpty())
        return u'#';
    if (kind == ListKindArtists) {
        const qsizetype start = name.size() > kArticleSpan && name.startsWith(kThe) ? kArticleSpan : 0;
        return scanForLetter(name, start);
    }
    return scanForLetter(name, 0, articleOf(name));
}

} // namespace

// The header text of a letter unit, shared by every section with that letter.
const QString& headerText(char16_t unit)
{
    static const QList<QString> letters = [] {
        QList<QString> texts;
        for (char16_t c = u'A'; c <= u'Z'; ++c)
            texts.append(QString(QChar(c)));
        texts.append(QStringLiteral("#"));
        return texts;
    }();
    return unit == u'#' ? letters.last() : letters[unit - u'A'];
}

QString sectionHeader(uint32_t kind, const QString& name)
{
    return headerText(headerUnit(kind, name));
}

SectionList sectionsOfNames(uint32_t kind, const QStringList& names)
{
    SectionList sections;
    SectionRecord current;
    char16_t currentHeader = 0;
    const auto close = [&] {
        current.headerTitle = headerText(currentHeader);
        current.rowValues.squeeze();  // kept as long as the list: no room to grow into
        current.ListNumber.squeeze();
        sections.append(std::move(current));
        current = SectionRecord();
    };
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        const char16_t header = headerUnit(kind, name);
        if (i > 0 && header != currentHeader)
            close();
        currentHeader = header;
        // An entry without a name shows an empty row rather than none.
        current.rowValues.append(name.isNull() ? QStringLiteral("") : name);
        current.ListNumber.append(int(i));
    }
    if (!names.isEmpty())
        close();
    return sections;
}

void LetterIndex::InitIndexArray()
{
    SongsIndexArray.clear();
    ArtistsIndexArray.clear();
    GenreIndexArray.clear();
    AlbumIndexArray.clear();
}

void LetterIndex::clearIndexes()
{
    SongsIndexArray.clear();
    ArtistsIndexArray.clear();
    AlbumIndexArray.clear();
}

SectionList* LetterIndex::mutableIndex(uint32_t kind)
{
    switch (kind) {
    case ListKindTitles: return &SongsIndexArray;
    case ListKindArtists: return &ArtistsIndexArray;
    case ListKindAlbums: return &AlbumIndexArray;
    default: return nullptr;
    }
}

void LetterIndex::makeIndex(uint32_t kind, const QStringList& names, uint32_t shownKind)
{
    if (SectionList* index = mutableIndex(kind))
        index->append(sectionsOfNames(kind, names));
    LoadListIndex(shownKind);
}

void LetterIndex::showSections(uint32_t kind, const QStringList& names)
{
    g_content = mutableIndex(kind) ? sectionsOfNames(kind, names) : SectionList();
    showIndices();
}

const SectionList& LetterIndex::indexArray(uint32_t kind) const
{
    switch (kind) {
    case ListKindTitles: return SongsIndexArray;
    case ListKindArtists: return ArtistsIndexArray;
    case ListKindGenres: return GenreIndexArray;
    case ListKindAlbums: return AlbumIndexArray;
    default: {
        static const SectionList none;
        return none;
    }
    }
}

void LetterIndex::LoadListIndex(uint32_t kind)
{
    // A copy of the index array (shared until either side changes).
    g_content = indexArray(kind);
    showIndices();
}

void LetterIndex::showIndices()
{
    g_indices.clear();
    g_indices.reserve(g_content.size());
    for (const SectionRecord& section : std::as_const(g_content))
        g_indices.append(section.headerTitle);
}

int LetterIndex::numberOfRowsInSection(int section) const
{
    return section >= 0 && section < g_content.size() ? int(g_content[section].rowValues.size()) : 0;
}

QString LetterIndex::titleForHeaderInSection(int section) const
{
    if (section < 0 || section >= g_content.size())
        return QString();
    const QString& title = g_content[section].headerTitle;
    return title == QLatin1String("#") ? QStringLiteral("123") : title;
}

int LetterIndex::sectionForSectionIndexTitle(const QString& title) const
{
    return int(g_indices.indexOf(title));
}

int LetterIndex::listNumber(int section, int row) const
{
    if (section < 0 || section >= g_content.size())
        return -1;
    const QList<int>& numbers = g_content[section].ListNumber;
    return row >= 0 && row < numbers.size() ? numbers[row] : -1;
}

QString LetterIndex::rowValue(int section, int row) const
{
    if (section < 0 || section >= g_content.size())
        return QString();
    const QStringList& rows = g_content[section].rowValues;
    return row >= 0 && row < rows.size() ? rows[row] : QString();
}
