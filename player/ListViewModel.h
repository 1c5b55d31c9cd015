#pragma once
// The rows of the list view as a Qt item model. The list's owner answers the table's
// questions (sections, rows, titles, cells) through ListTableDataSource; the model lays the
// sections out as one flat run of rows, a header row before each titled section, and asks
// for a cell only when the view shows it, so a list of any length is ready at once.
//
// Threads: main thread only.

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

#include <vector>

struct ListIndexPath {
    int section = 0;
    int row = 0;
    bool operator==(const ListIndexPath&) const = default;
};

// What one row shows.
struct ListCell {
    QString reuseIdentifier;  // "titlesCell" (subtitle style) or "Cell" (plain style)
    bool subtitleStyle = false;
    QString text;
    QString detailText;
    QString accessoryImage;  // the now-playing mark ("speaker.png"), or empty
    int accessoryTag = 0;
};

class ListTableDataSource {
public:
    virtual ~ListTableDataSource() = default;
    virtual int numberOfSectionsInTableView() const = 0;
    virtual int numberOfRowsInSection(int section) const = 0;
    // A null text: the section has no header row.
    virtual QString titleForHeaderInSection(int section) const = 0;
    virtual QStringList sectionIndexTitlesForTableView() const = 0;
    virtual int sectionForSectionIndexTitle(const QString& title, int index) const = 0;
    virtual ListCell cellForRowAtIndexPath(ListIndexPath indexPath) const = 0;
    virtual void didSelectRowAtIndexPath(ListIndexPath indexPath) = 0;
};

class ListViewModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        DetailTextRole = Qt::UserRole + 1,
        AccessoryImageRole,
        AccessoryTagRole,
        SubtitleStyleRole,
        ReuseIdentifierRole,
        HeaderRole,  // true on a section's header row
    };

    explicit ListViewModel(ListTableDataSource* source, QObject* parent = nullptr);

    // Asks the source again for the sections and row counts (the table's reloadData).
    void reloadData();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool isHeaderRow(int flatRow) const;
    // The section and row of a flat row; {-1, -1} for a header row or outside the list.
    ListIndexPath indexPathForRow(int flatRow) const;
    // The flat row of a cell, and of a section's first row (its header when it has one).
    int rowForIndexPath(ListIndexPath indexPath) const;
    int rowOfSection(int section) const;
    int sectionOfRow(int flatRow) const;

private:
    ListTableDataSource* mSource;
    // For each section: its first flat row, and whether that row is its header.
    std::vector<int> mSectionStart;
    std::vector<bool> mHasHeader;
    int mRowCount = 0;
};
