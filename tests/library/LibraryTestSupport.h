#pragma once
// A private home for each test with a device library of given songs, and the sqlite3
// command line for reading the store file from outside.

#include "MediaFixtures.h"
#include "SqliteShell.h"
#include "library/DTMusicModelController.h"
#include "platform/media/MPMediaLibrary.h"

#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

struct SongSpec {
    quint64 id;
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<QString> genre = std::nullopt;
    std::optional<QString> composer = std::nullopt;
    std::optional<int> track = std::nullopt;
    std::optional<int> trackCount = std::nullopt;
};

MPMediaItem makeItem(const SongSpec& song);

class LibraryTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the device library hold exactly these songs (in this order of the query, which
    // sorts them by title).
    void setDeviceSongs(const QList<SongSpec>& songs);
    QString storePath() const;
    QString sql(const QString& statement) const { return sqliteShell(storePath(), statement); }

    std::unique_ptr<TemporaryHome> home;
};
