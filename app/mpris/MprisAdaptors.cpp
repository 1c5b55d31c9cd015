#include "app/mpris/MprisAdaptors.h"

#include "app/mpris/MprisService.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), mService(service) {}

bool MprisRootAdaptor::canQuit() const { return mService->canQuit(); }
bool MprisRootAdaptor::canRaise() const { return mService->canRaise(); }
QString MprisRootAdaptor::desktopEntry() const { return mService->desktopEntry(); }
QStringList MprisRootAdaptor::supportedUriSchemes() const { return MprisService::supportedUriSchemes(); }
QStringList MprisRootAdaptor::supportedMimeTypes() const { return MprisService::supportedMimeTypes(); }
void MprisRootAdaptor::Raise() { mService->Raise(); }
void MprisRootAdaptor::Quit() { mService->Quit(); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), mService(service)
{
    connect(service, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
}

QString MprisPlayerAdaptor::playbackStatus() const { return mService->playbackStatus(); }
QString MprisPlayerAdaptor::loopStatus() const { return mService->loopStatus(); }
void MprisPlayerAdaptor::setLoopStatus(const QString& status) { mService->setLoopStatus(status); }
double MprisPlayerAdaptor::rate() const { return mService->rate(); }
void MprisPlayerAdaptor::setRate(double rate) { mService->setRate(rate); }
bool MprisPlayerAdaptor::shuffle() const { return mService->shuffle(); }
void MprisPlayerAdaptor::setShuffle(bool on) { mService->setShuffle(on); }
QVariantMap MprisPlayerAdaptor::metadata() const { return mService->metadata(); }
double MprisPlayerAdaptor::volume() const { return mService->volume(); }
void MprisPlayerAdaptor::setVolume(double volume) { mService->setVolume(volume); }
qlonglong MprisPlayerAdaptor::position() const { return mService->position(); }
bool MprisPlayerAdaptor::canGoNext() const { return mService->canGoNext(); }
bool MprisPlayerAdaptor::canGoPrevious() const { return mService->canGoPrevious(); }
bool MprisPlayerAdaptor::canPlay() const { return mService->canPlay(); }
bool MprisPlayerAdaptor::canPause() const { return mService->canPause(); }
bool MprisPlayerAdaptor::canSeek() const { return mService->canSeek(); }

void MprisPlayerAdaptor::Next() { mService->Next(); }
void MprisPlayerAdaptor::Previous() { mService->Previous(); }
void MprisPlayerAdaptor::Pause() { mService->Pause(); }
void MprisPlayerAdaptor::PlayPause() { mService->PlayPause(); }
void MprisPlayerAdaptor::Stop() { mService->Stop(); }
void MprisPlayerAdaptor::Play() { mService->Play(); }
void MprisPlayerAdaptor::Seek(qlonglong Offset) { mService->Seek(Offset); }
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
{
    mService->SetPosition(TrackId, Position);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri, const QDBusMessage& message)
{
    const QDBusError failure = mService->OpenUri(Uri);
    if (failure.isValid()) {
        message.setDelayedReply(true);
        mService->bus().send(message.createErrorReply(failure));
    }
}
