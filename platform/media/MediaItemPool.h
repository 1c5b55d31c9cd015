#pragma once
// What the songs of one library read have in common, held once for all of them: equal
// texts (an album's title, an artist, a genre, each on many songs) as one copy, a folder's
// path once for all the files in it, and the songs' cover thumbnails. A song made through
// a pool points into its storage and keeps that storage alive (one reference per song);
// the pool's lookup tables serve only while songs are made and go with the pool.
//
// One thread makes songs through a pool; what the storage holds never changes once
// stored, so the songs may be read on any thread.

#include "platform/media/CoverThumbnail.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class MediaItemPool {
public:
    // A held text as a song points to it: the text itself, and a copy of its characters
    // right after its length, so that reading a song's texts in place (the search index
    // reads every song's) touches only the memory the characters lie in.
    struct Text {
        const QString* text;
        qsizetype size;
        const char16_t* characters() const { return reinterpret_cast<const char16_t*>(this + 1); }
        QStringView view() const { return QStringView(characters(), size); }
        // The held text whose characters() these are.
        static const Text* of(const char16_t* characters) { return reinterpret_cast<const Text*>(characters) - 1; }
    };

    // The held values: they keep their address for the storage's life.
    class Storage {
    public:
        static void retain(const Storage* storage) { storage->m_references.fetch_add(1, std::memory_order_relaxed); }
        static void release(const Storage* storage)
        {
            if (storage->m_references.fetch_sub(1, std::memory_order_acq_rel) == 1)
                delete storage;
        }

    private:
        friend class MediaItemPool;
        // Values in blocks that never move: a block is full before the next one is made.
        template <typename T>
        struct Blocks {
            std::vector<std::unique_ptr<T[]>> blocks;
            size_t used = 0, capacity = 0;
            const T* add(T value);
        };
        ~Storage();
        Blocks<QString> m_texts;
        std::vector<Text*> m_textEntries;  // each allocated with its characters
        Blocks<QByteArray> m_folders;
        Blocks<CoverThumbnail> m_thumbnails;
        mutable std::atomic<int> m_references{1};
    };

    MediaItemPool() : m_storage(new Storage) {}
    ~MediaItemPool() { Storage::release(m_storage); }
    MediaItemPool(const MediaItemPool&) = delete;
    MediaItemPool& operator=(const MediaItemPool&) = delete;

    // The storage the values below live in; a song retains it.
    const Storage* storage() const { return m_storage; }
    // The one copy of a text equal to `text`.
    const Text* text(const QString& text);
    // The one copy of a folder path equal to `folder`.
    const QByteArray* folder(QByteArrayView folder);
    // A place for a song's own thumbnail (not shared: each song's cover is its own).
    const CoverThumbnail* thumbnail(CoverThumbnail thumbnail);

    // A copy of `text` in memory of its own, exactly its size, null when `text` is null: a
    // text read along with much short-lived data would otherwise keep the pages of that
    // data from being given back once it is freed.
    static QString compactCopy(const QString& text);

private:
    Storage* m_storage;
    const QByteArray* m_lastFolder = nullptr;  // the files of a folder come one after another
    QHash<QString, const Text*> m_texts;
    QHash<QByteArray, const QByteArray*> m_folders;
};
