#pragma once
// The system volume control: a slider over the audio server's volume of the default output
// (sink). It reads the volume when it is created and again whenever the server reports a
// change of a sink or of the default sink, so changes made elsewhere show without asking the
// server over and over; moving the slider sets the sink's volume on all its channels. With
// no audio server the slider is disabled and shows nothing, until a connection made later
// (by the output) brings the subscription back.
//
// Threads: the widget lives on the main thread. Requests go to the audio server's own loop
// thread without waiting, and the server's events start new ones there; their answers are
// queued back to the main thread and dropped when the widget is gone by then.

#include <QPointer>
#include <QString>
#include <QWidget>

class QSlider;
struct pa_context;

class MPVolumeView : public QWidget {
    Q_OBJECT

public:
    explicit MPVolumeView(QWidget* parent = nullptr);
    ~MPVolumeView() override;

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
    // With the server's lock held, on any thread while the widget lives (the destructor
    // unsubscribes under that lock): asks for the default sink's volume.
    void askVolume(pa_context* context);
    void volumeRead(const QString& sink, int channels, int percent);

    QSlider* mSlider = nullptr;
    bool mSubscribed = false;
    QString mSink;
    int mChannels = 0;
    int mVolume = -1;
};
