#pragma once
// The media picker: a dialog over the device library's songs with a prompt, in which the
// user ticks one or several songs and ends with Done (the ticked songs, in library order)
// or Cancel. It only reports; whoever presented it dismisses it.
//
// Threads: main thread only.

#include "platform/media/MPMediaItemCollection.h"

#include <QDialog>

class QLabel;
class QListView;
class QPushButton;
class QStandardItemModel;

enum MPMediaType { MPMediaTypeMusic = 1 };

class MPMediaPickerController : public QDialog {
    Q_OBJECT

public:
    // Lists the songs of the default device library of the given media type.
    explicit MPMediaPickerController(MPMediaType mediaTypes, QWidget* parent = nullptr);

    void setPrompt(const QString& prompt);
    QString prompt() const;
    void setAllowsPickingMultipleItems(bool allows);
    bool allowsPickingMultipleItems() const { return mMultiple; }

    // The songs offered, in the order shown; and ticking one by its row (as a tap does).
    const QList<MPMediaItem>& items() const { return mItems; }
    void setItemPicked(int row, bool picked);
    QListView* listView() const { return mList; }
    QPushButton* doneButton() const { return mDone; }
    QPushButton* cancelButton() const { return mCancel; }

signals:
    void didPickMediaItems(const MPMediaItemCollection& mediaItemCollection);
    void didCancel();

private:
    void finishPicking();

    QList<MPMediaItem> mItems;
    bool mMultiple = false;
    QLabel* mPrompt;
    QListView* mList;
    QStandardItemModel* mModel;
    QPushButton* mCancel;
    QPushButton* mDone;
};
