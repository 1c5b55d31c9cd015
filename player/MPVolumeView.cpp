#include "player/MPVolumeView.h"

#include "platform/audio/PulseConnection.h"
#include "platform/foundation/RunLoop.h"

#include <QSlider>

#include <pulse/pulseaudio.h>

namespace {

// One volume query in flight: filled in on the server's loop thread, handed to the main
// thread when the sink has answered.
struct VolumeQuery {
    QPointer<MPVolumeView> view;
    std::function<void(const QString&, int, int)> deliver;
};

void sinkInfoReceived(pa_context*, const pa_sink_info* info, int eol, void* userdata)
{
    auto* query = static_cast<VolumeQuery*>(userdata);
    if (eol != 0) {
        delete query;
        return;
    }
    if (!info)
        return;
    const QString sink = QString::fromUtf8(info->name);
    const int channels = info->volume.channels;
    const int percent = int((uint64_t(pa_cvolume_avg(&info->volume)) * 100 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
    // Through the run loop's own queue (a lock the sanitizers see), not Qt's event queue.
    RunLoop::performOnMainThread(
        [query = *query, sink, channels, percent] {
            if (query.view)
                query.deliver(sink, channels, percent);
        },
        false);
}

void serverInfoReceived(pa_context* context, const pa_server_info* info, void* userdata)
{
    auto* query = static_cast<VolumeQuery*>(userdata);
    if (!info || !info->default_sink_name) {
        delete query;
        return;
    }
    pa_operation* op = pa_context_get_sink_info_by_name(context, info->default_sink_name, &sinkInfoReceived, query);
    if (op)
        pa_operation_unref(op);
    else
        delete query;
}

} // namespace

MPVolumeView::MPVolumeView(QWidget* parent) : QWidget(parent)
{
    mSlider = new QSlider(Qt::Horizontal, this);
    mSlider->setRange(0, 100);
    mSlider->setAccessibleName(tr("Volume"));
    mSlider->setFocusPolicy(Qt::TabFocus);  // a click leaves the arrow keys to seeking
    mSlider->setEnabled(false);
    connect(mSlider, &QSlider::valueChanged, this, [this](int value) {
        if (mSlider->isSliderDown() || mSlider->hasFocus())
            setSystemVolume(value);
    });
    connect(mSlider, &QSlider::sliderReleased, this, [this] { setSystemVolume(mSlider->value()); });
    refresh();
}

MPVolumeView::~MPVolumeView()
{
    if (!mSubscribed)
        return;
    PulseConnection& server = PulseConnection::instance();
    server.lock();
    server.unsubscribe(this);
    server.unlock();
}

void MPVolumeView::resizeEvent(QResizeEvent*)
{
    mSlider->setGeometry(rect());
}

void MPVolumeView::refresh()
{
    PulseConnection& server = PulseConnection::instance();
    const bool connected = server.ensureConnected(500);
    if (!connected)
        mSlider->setEnabled(false);
    if (!server.mainloop())
        return;
    server.lock();
    if (!mSubscribed) {
        mSubscribed = true;
        server.subscribe(
            this, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
            // A volume, a port or the default sink changed, or a sink came or went.
            [this](pa_context* context, pa_subscription_event_type_t, uint32_t) { askVolume(context); },
            [this](pa_context* context) { askVolume(context); });
    }
    if (connected)
        askVolume(server.context());
    server.unlock();
}

void MPVolumeView::askVolume(pa_context* context)
{
    auto* query = new VolumeQuery{this, [this](const QString& sink, int channels, int percent) {
                                      volumeRead(sink, channels, percent);
                                  }};
    pa_operation* op = pa_context_get_server_info(context, &serverInfoReceived, query);
    if (op)
        pa_operation_unref(op);
    else
        delete query;
}

void MPVolumeView::volumeRead(const QString& sink, int channels, int percent)
{
    mSink = sink;
    mChannels = channels;
    mSlider->setEnabled(true);
    if (!mSlider->isSliderDown()) {
        const QSignalBlocker quiet(mSlider);
        mSlider->setValue(percent);
    }
    if (percent != mVolume) {
        mVolume = percent;
        emit systemVolumeChanged(percent);
    }
}

void MPVolumeView::setSystemVolume(int percent)
{
    if (mSink.isEmpty() || mChannels <= 0)
        return;
    PulseConnection& server = PulseConnection::instance();
    if (!server.ensureConnected(500))
        return;
    pa_cvolume volume;
    pa_cvolume_set(&volume, unsigned(mChannels), pa_volume_t(uint64_t(percent) * PA_VOLUME_NORM / 100));
    const QByteArray sink = mSink.toUtf8();
    server.lock();
    pa_operation* op = pa_context_set_sink_volume_by_name(server.context(), sink.constData(), &volume, nullptr, nullptr);
    server.unlock();
    if (op)
        pa_operation_unref(op);
}
