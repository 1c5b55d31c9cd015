#include "platform/media/MPMediaItemCollection.h"

MPMediaItemCollection::MPMediaItemCollection(QList<MPMediaItem> items)
{
    if (items.size() == 1)
        m_single = items.first();
    else
        m_data = std::make_shared<const Data>(Data{std::move(items), false, {}, 0});
}

QList<MPMediaItem> MPMediaItemCollection::items() const
{
    if (!m_single.isNull())
        return {m_single};
    return m_data ? m_data->items : QList<MPMediaItem>();
}

qsizetype MPMediaItemCollection::count() const
{
    if (!m_single.isNull())
        return 1;
    return m_data ? m_data->items.size() : 0;
}

MPMediaItem MPMediaItemCollection::representativeItem() const
{
    if (!m_single.isNull())
        return m_single;
    return m_data && !m_data->items.isEmpty() ? m_data->items.first() : MPMediaItem();
}

QVariant MPMediaItemCollection::valueForProperty(const QString& property) const
{
    if (!m_data || !m_data->isPlaylist)
        return {};
    if (property == MPMediaPlaylistPropertyName)
        return m_data->playlistName;
    if (property == MPMediaPlaylistPropertyPersistentID)
        return QVariant::fromValue<qulonglong>(m_data->playlistID);
    return {};
}

MPMediaPlaylist::MPMediaPlaylist(QString name, MPMediaEntityPersistentID persistentID,
                                 QList<MPMediaItem> items)
{
    m_data = std::make_shared<const Data>(Data{std::move(items), true, std::move(name), persistentID});
}

QString MPMediaPlaylist::name() const
{
    return m_data && m_data->isPlaylist ? m_data->playlistName : QString();
}

MPMediaEntityPersistentID MPMediaPlaylist::persistentID() const
{
    return m_data && m_data->isPlaylist ? m_data->playlistID : 0;
}
