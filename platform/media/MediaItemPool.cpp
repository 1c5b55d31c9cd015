#include "platform/media/MediaItemPool.h"

#include <algorithm>
#include <cstring>
#include <new>

template <typename T>
const T* MediaItemPool::Storage::Blocks<T>::add(T value)
{
    if (used == capacity) {
        // Small first (a pool of one song), then growing to blocks of a few kilobytes.
        const size_t size = blocks.empty() ? 4 : std::min<size_t>(capacity * 2, 256);
        blocks.push_back(std::make_unique<T[]>(size));
        used = 0;
        capacity = size;
    }
    T& slot = blocks.back()[used++];
    slot = std::move(value);
    return &slot;
}

MediaItemPool::Storage::~Storage()
{
    for (Text* entry : m_textEntries) {
        entry->~Text();
        ::operator delete(entry);
    }
}

const MediaItemPool::Text* MediaItemPool::text(const QString& text)
{
    const auto found = m_texts.constFind(text);
    if (found != m_texts.constEnd())
        return *found;
    const QString* stored = m_storage->m_texts.add(compactCopy(text));
    void* memory = ::operator new(sizeof(Text) + size_t(stored->size()) * sizeof(char16_t));
    Text* entry = new (memory) Text{stored, stored->size()};
    if (!stored->isEmpty())
        std::memcpy(static_cast<char*>(memory) + sizeof(Text), stored->utf16(), size_t(stored->size()) * sizeof(char16_t));
    m_storage->m_textEntries.push_back(entry);
    m_texts.insert(*stored, entry);
    return entry;
}

const QByteArray* MediaItemPool::folder(QByteArrayView folder)
{
    if (m_lastFolder && *m_lastFolder == folder)
        return m_lastFolder;
    const QByteArray key = folder.toByteArray();
    const auto found = m_folders.constFind(key);
    if (found != m_folders.constEnd())
        return m_lastFolder = *found;
    const QByteArray* stored = m_storage->m_folders.add(key);
    m_folders.insert(*stored, stored);
    return m_lastFolder = stored;
}

const CoverThumbnail* MediaItemPool::thumbnail(CoverThumbnail thumbnail)
{
    return m_storage->m_thumbnails.add(std::move(thumbnail));
}

QString MediaItemPool::compactCopy(const QString& text)
{
    return text.isNull() ? QString() : QString(text.constData(), text.size());
}
