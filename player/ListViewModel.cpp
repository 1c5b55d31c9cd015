#include "player/ListViewModel.h"

#include <algorithm>

ListViewModel::ListViewModel(ListTableDataSource* source, QObject* parent)
    : QAbstractListModel(parent), mSource(source)
{
}

void ListViewModel::reloadData()
{
    beginResetModel();
    const int sections = std::max(0, mSource->numberOfSectionsInTableView());
    mSectionStart.assign(size_t(sections), 0);
    mHasHeader.assign(size_t(sections), false);
    int next = 0;
    for (int s = 0; s < sections; ++s) {
        mSectionStart[size_t(s)] = next;
        const bool header = !mSource->titleForHeaderInSection(s).isNull();
        mHasHeader[size_t(s)] = header;
        next += (header ? 1 : 0) + std::max(0, mSource->numberOfRowsInSection(s));
    }
    mRowCount = next;
    endResetModel();
}

int ListViewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : mRowCount;
}

int ListViewModel::sectionOfRow(int flatRow) const
{
    if (flatRow < 0 || flatRow >= mRowCount)
        return -1;
    const auto after = std::upper_bound(mSectionStart.begin(), mSectionStart.end(), flatRow);
    return int(after - mSectionStart.begin()) - 1;
}

bool ListViewModel::isHeaderRow(int flatRow) const
{
    const int section = sectionOfRow(flatRow);
    return section >= 0 && mHasHeader[size_t(section)] && mSectionStart[size_t(section)] == flatRow;
}

ListIndexPath ListViewModel::indexPathForRow(int flatRow) const
{
    const int section = sectionOfRow(flatRow);
    if (section < 0)
        return {-1, -1};
    const int first = mSectionStart[size_t(section)] + (mHasHeader[size_t(section)] ? 1 : 0);
    if (flatRow < first)
        return {-1, -1};
    return {section, flatRow - first};
}

int ListViewModel::rowOfSection(int section) const
{
    return section >= 0 && size_t(section) < mSectionStart.size() ? mSectionStart[size_t(section)] : -1;
}

int ListViewModel::rowForIndexPath(ListIndexPath indexPath) const
{
    const int start = rowOfSection(indexPath.section);
    if (start < 0 || indexPath.row < 0)
        return -1;
    const int row = start + (mHasHeader[size_t(indexPath.section)] ? 1 : 0) + indexPath.row;
    const bool inSection = size_t(indexPath.section) + 1 < mSectionStart.size()
                               ? row < mSectionStart[size_t(indexPath.section) + 1]
                               : row < mRowCount;
    return inSection ? row : -1;
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return isHeaderRow(index.row()) ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= mRowCount)
        return {};
    const int flatRow = index.row();
    if (isHeaderRow(flatRow)) {
        switch (role) {
        case Qt::DisplayRole: return mSource->titleForHeaderInSection(sectionOfRow(flatRow));
        case HeaderRole: return true;
        default: return {};
        }
    }
    if (role == HeaderRole)
        return false;
    if (role != Qt::DisplayRole && role != DetailTextRole && role != AccessoryImageRole && role != AccessoryTagRole
        && role != SubtitleStyleRole && role != ReuseIdentifierRole && role != Qt::AccessibleTextRole)
        return {};
    const ListCell cell = mSource->cellForRowAtIndexPath(indexPathForRow(flatRow));
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return cell.text;
    case DetailTextRole: return cell.detailText;
    case AccessoryImageRole: return cell.accessoryImage;
    case AccessoryTagRole: return cell.accessoryTag;
    case SubtitleStyleRole: return cell.subtitleStyle;
    case ReuseIdentifierRole: return cell.reuseIdentifier;
    default: return {};
    }
}
