#pragma once
// Keeps the controlling threads and the render callback apart without a lock the render
// thread could wait on. The render callback marks the span in which it touches the track
// file and the effect state (enter/leave: a counter that is odd inside). A controlling
// thread first publishes its change (a flag the callback tests after entering, such as
// SeekLock, a cleared effect flag or an empty file handle, stored with sequential
// consistency), then calls waitForRenderIdle(): when it returns, the callback that was
// inside has left, and every later one sees the change. The controlling thread waits; the
// render thread never does.

namespace RenderGate {

void enter();
void leave();

// Marks the whole render callback on its thread (also the parts outside enter/leave, such
// as stopping the graph at the end of a track).
class CallbackScope {
public:
    CallbackScope();
    ~CallbackScope();
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

private:
    bool mOuter;
};
// True on a thread that is inside the render callback.
bool onRenderThread();
// Waits until no render callback that may have missed a change published before this call
// is still inside. Returns at once on the render thread itself.
void waitForRenderIdle();

} // namespace RenderGate
