#include "platform/media/MPMediaItemCollection.h"

MPMediaItemCollection::MPMediaItemCollection(QList<MPMediaItem> items)
    : m_data(std::make_shared<const Data>(Data{std::move(items), false, {}, 0}))
{
}

const QList<MPMediaItem>& MPMediaItemCollection::items() const
{
    static const QList<MPMediaItem> none;
    return m_data ? m_data->items : none;
}

MPMediaItem MPMediaItemCollection::representativeItem() const
{
    return items().isEmpty() ? MPMediaItem() : items().first();
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
