#pragma once
// The system volume control: a slider over the audio server's volume of the default output
// (sink). It reads the volume when it is created and once a second after that, so changes
// made elsewhere show; moving the slider sets the sink's volume on all its channels. With no
// audio server the slider is disabled and shows nothing.
//
// Threads: the widget lives on the main thread. Requests go to the audio server's own loop
// thread without waiting; their answers are queued back to the main thread and dropped when
// the widget is gone by then.

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class QSlider;

class MPVolumeView : public QWidget {
    Q_OBJECT

public:
    explicit MPVolumeView(QWidget* parent = nullptr);

    QSlider* slider() const { return mSlider; }
    // The last volume read from the server in percent of the sink's normal volume, or -1
    // while none was read.
    int systemVolume() const { return mVolume; }
    // Asks the server for the current volume (the answer arrives later).
    void refresh();

signals:
    void systemVolumeChanged(int percent);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setSystemVolume(int percent);
    void volumeRead(const QString& sink, int channels, int percent);

    QSlider* mSlider = nullptr;
    QTimer mPoll;
    QString mSink;
    int mChannels = 0;
    int mVolume = -1;
};
